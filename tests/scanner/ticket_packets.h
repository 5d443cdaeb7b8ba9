// Sample Ad Ticket packets in the two serialisations the scanner meets; shared by the tests,
// the benchmark and the seed corpus generator.
#ifndef TOVARIN_TICKET_PACKETS_H
#define TOVARIN_TICKET_PACKETS_H

#include <string>
#include <vector>

#include "metadataValidator.h"

inline const char* const kTvpNamespace = "http://ns.tovarin.com/tvp/adticket/1.0/";

// Values of fields 1 to 24 (index 0 unused) as a filled-in ticket carries them.
inline std::vector<std::string> SampleTicketValues() {
  return {"",
          "EDI-2024-004711",
          "JOB-88213",
          "Nordsee Reisen GmbH",
          "Blau Media Agentur",
          "Prepress Service Hamburg",
          "Nordsee Reisen",
          "2024-05-17",
          "Hamburger Abendblatt",
          "Summer on the coast",
          "NO",
          "NO",
          "HKS 44 K",
          "Jana Petersen",
          "+49 40 1234567",
          "jana.petersen@example.com",
          "",
          "185",
          "4",
          "260",
          "YES",
          "Nordsee Reisen &amp; Meer",
          "+49 40 1234568",
          "Print",
          "Please check the spot colour against the proof."};
}

// Export order of the fields: 1-9, 13-15, 20-24, 10, 11, 12, 16-19.
inline std::vector<int> ExportFieldOrder() {
  return {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 15, 20, 21, 22, 23, 24, 10, 11, 12, 16, 17, 18, 19};
}

inline std::string PacketHeader() {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\r\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\" x:xmptk=\"XMP Core 4.1.1\">\r\n"
         " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\r\n";
}

// The compact packet that the export writes: one rdf:Description whose start tag carries the
// 24 fields as attributes, CR LF line ends, one-space indentation, 2048 bytes of padding.
inline std::string CompactExportPacket(const std::vector<std::string>& values) {
  std::string packet = PacketHeader();
  packet += "  <rdf:Description rdf:about=\"\"\r\n";
  packet += std::string("    xmlns:tvp=\"") + kTvpNamespace + "\"";
  for (int field : ExportFieldOrder()) {
    packet += "\r\n   " + std::string(tvpValidatorItems[field]) + "=\"" + values[field] + "\"";
  }
  packet += "/>\r\n </rdf:RDF>\r\n</x:xmpmeta>\r\n";
  for (int line = 0; line < 20; ++line) packet += std::string(100, ' ') + "\r\n";
  packet += std::string(6, ' ') + "\r\n";
  packet += "<?xpacket end=\"w\"?>";
  return packet;
}

// The 24 fields as indented elements inside rdf:Description, in table order, each value wrapped
// over two indented lines; the packet is padded with blank lines to exactly `size` bytes when it
// is shorter.
inline std::string ElementPacket(const std::vector<std::string>& values, size_t size) {
  std::string packet = PacketHeader();
  packet += "  <rdf:Description rdf:about=\"\"\n    xmlns:tvp=\"";
  packet += std::string(kTvpNamespace) + "\">\n";
  for (int field = 1; field <= kTvpItemCount; ++field) {
    const std::string name = tvpValidatorItems[field];
    packet += "   <" + name + ">\n      " + values[field] + "\n   </" + name + ">\n";
  }
  packet += "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n";
  const std::string trailer = "<?xpacket end=\"w\"?>";
  while (packet.size() + trailer.size() < size) {
    const size_t room = size - packet.size() - trailer.size();
    packet += room > 101 ? std::string(100, ' ') + "\n" : std::string(room - 1, ' ') + "\n";
  }
  return packet + trailer;
}

#endif  // TOVARIN_TICKET_PACKETS_H
