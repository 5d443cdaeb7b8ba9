// Files for the ticket-in-document tests: a minimal PDF written byte by byte (as another
// program would write one), XMP packets in the shapes other tools write, and external readers.
#pragma once

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../support/TestFiles.h"

namespace tickettest {

using testfiles::readFile;
using testfiles::shell;
using testfiles::writeFile;

// A PDF of the given objects, numbered from 1, with a cross-reference table; its trailer names
// object 1 as /Root and holds `trailer` besides.
inline std::string pdfOfObjects(const std::vector<std::string>& objects,
                                const std::string& trailer = "")
{
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char row[32];
    std::snprintf(row, sizeof row, "%010zu 00000 n \n", offset);
    pdf += row;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" + trailer +
         " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// A one-page PDF with a cross-reference table and, unless there is no `xmp`, a metadata stream
// (its bytes encoded as `filter` says; the page's metadata too when `shared`).
inline std::string minimalPdf(const std::optional<std::string>& xmp,
                              const std::string& filter = "", bool shared = false)
{
  std::vector<std::string> objects = {
      !xmp ? "<< /Type /Catalog /Pages 2 0 R >>"
                  : "<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842]") +
          (shared ? " /Metadata 4 0 R >>" : " >>"),
  };
  if (xmp)
    objects.push_back("<< /Type /Metadata /Subtype /XML" + filter + " /Length " +
                      std::to_string(xmp->size()) + " >>\nstream\n" + *xmp + "\nendstream");
  return pdfOfObjects(objects);
}

struct Property {
  std::string name;
  std::string value;
};

// An XMP packet with one description holding the properties as elements, under `prefix`, the
// namespace declared with `quote`.
inline std::string elementPacket(const std::string& uri, const std::string& prefix,
                                 const std::vector<Property>& properties, char quote = '\'')
{
  std::string packet =
      "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
      "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
      " <rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
      "  <rdf:Description rdf:about=''\n"
      "    xmlns:dc='http://purl.org/dc/elements/1.1/'\n"
      "    xmlns:" + prefix + "=" + quote + uri + quote + ">\n"
      "   <dc:format>application/pdf</dc:format>\n";
  for (const auto& property : properties)
    packet += "   <" + prefix + ":" + property.name + ">" + property.value + "</" + prefix + ":" +
              property.name + ">\n";
  packet += "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>";
  return packet;
}

}  // namespace tickettest
