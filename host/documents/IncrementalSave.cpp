#include "IncrementalSave.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "FileSource.h"
#include "ReadWarnings.h"

namespace pdfhost {

namespace {

// qpdf's test of a header: "%PDF-" and a version of digits, a dot and digits. A header that
// fails it is passed over for the next one.
class HeaderFinder : public InputSource::Finder {
 public:
  explicit HeaderFinder(InputSource& source) : source_(source) {}
  bool check() override
  {
    qpdf_offset_t at = source_.tell();
    char line[64] = {};
    source_.read(line, sizeof line - 1);
    source_.seek(at, SEEK_SET);
    const char* p = line + 5;
    std::string version;
    auto digits = [&] {
      while (std::isdigit(static_cast<unsigned char>(*p)))
        version += *p++;
    };
    if (!std::isdigit(static_cast<unsigned char>(*p)))
      return false;
    digits();
    if (*p != '.' || !std::isdigit(static_cast<unsigned char>(p[1])))
      return false;
    version += *p++;
    digits();
    offset_ = at;
    version_ = version;
    return true;
  }
  qpdf_offset_t offset() const { return offset_; }
  const std::string& version() const { return version_; }

 private:
  InputSource& source_;
  qpdf_offset_t offset_ = 0;
  std::string version_;
};

// Where qpdf's frame begins: the file's offsets count from its header, and qpdf reads past bytes
// before it. qpdf keeps the offset to itself, so its own search (the first header within 1024
// bytes, through its InputSource) is run again here, and the version found must be the one qpdf
// read; the update is then read back by qpdf before it is written (checkReadsBack).
off_t headerOffset(QPDF& pdf, int fd, const std::string& path, off_t length)
{
  FileSource source(::dup(fd), path, length, nullptr);
  HeaderFinder finder(source);
  if (!source.findFirst("%PDF-", 0, 1024, finder) || finder.version() != pdf.getPDFVersion())
    throw SaveFailure(kASErrDocDamaged, path + ": the header qpdf read is not found again");
  return static_cast<off_t>(finder.offset());
}

// The offset the file's last startxref names, counted from the header at `header`.
off_t previousCrossReference(const UpdateWriter& file, off_t size, off_t header)
{
  const off_t tailLength = std::min<off_t>(size, 4096);
  std::string tail = file.read(size - tailLength, static_cast<std::size_t>(tailLength));
  std::size_t at = tail.rfind("startxref");
  if (at == std::string::npos)
    throw SaveFailure(kASErrDocDamaged, "no startxref at the end of the file");
  const char* number = tail.c_str() + at + 9;
  char* end = nullptr;
  errno = 0;
  long long offset = std::strtoll(number, &end, 10);
  if (end == number || errno != 0 || offset <= 0 || offset + header >= size)
    throw SaveFailure(kASErrDocDamaged, "the startxref offset is not in the file");
  return static_cast<off_t>(offset);
}

struct AppendedObject {
  int number;
  int generation;
  std::string body;  // everything between "obj" and "endobj"
};

std::string metadataStreamBody(QPDFObjectHandle dictionary, const std::string& packet)
{
  dictionary.removeKey("/Filter");
  dictionary.removeKey("/DecodeParms");
  dictionary.removeKey("/DL");
  dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
  dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
  dictionary.replaceKey("/Length", QPDFObjectHandle::newInteger(static_cast<long long>(packet.size())));
  return dictionary.unparse() + "\nstream\n" + packet + "\nendstream";
}

// Bytes needed to write a number big-endian.
int widthOf(unsigned long long value)
{
  int width = 1;
  while (width < 8 && (value >> (8 * width)) != 0)
    ++width;
  return width;
}

void appendBigEndian(std::string& out, unsigned long long value, int width)
{
  for (int i = width - 1; i >= 0; --i)
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string trailerEntries(QPDF& pdf, int size, QPDFObjectHandle root, off_t previous)
{
  QPDFObjectHandle trailer = pdf.getTrailer();
  std::string entries = " /Size " + std::to_string(size) + " /Root " + root.unparse() +
                        " /Prev " + std::to_string(static_cast<long long>(previous));
  if (trailer.hasKey("/Info"))
    entries += " /Info " + trailer.getKey("/Info").unparse();
  if (trailer.hasKey("/ID") && trailer.getKey("/ID").isArray())
    entries += " /ID " + trailer.getKey("/ID").unparse();
  return entries;
}

// The file as it will be with the update, read by qpdf as any reader will read it: every object
// the update names, and the original /Info, resolve without a warning. Throws SaveFailure.
void checkReadsBack(int fd, const std::string& path, off_t length, const std::string& update,
                    QPDFObjGen metadata, std::size_t packetSize)
{
  QPDF after;
  after.setSuppressWarnings(true);
  std::string problem;
  try {
    after.processInputSource(std::make_shared<FileSource>(::dup(fd), path, length, &update));
    QPDFObjectHandle stream = after.getRoot().getKey("/Metadata");
    QPDFObjectHandle info = after.getTrailer().getKey("/Info");
    if (!stream.isStream() || stream.getObjGen() != metadata ||
        !stream.getDict().getKey("/Length").isInteger() ||
        stream.getDict().getKey("/Length").getUIntValue() != packetSize)
      problem = "the metadata stream is not where the update puts it";
    else if (!info.isNull() && !info.isDictionary())
      problem = "/Info is not a dictionary";
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception& e) {
    problem = e.what();
  }
  if (problem.empty() && hadToRepair(after))
    problem = after.getWarnings().front().what();
  if (!problem.empty())
    throw SaveFailure(kASErrDocDamaged, path + ": qpdf would not read the update: " + problem);
}

}  // namespace

bool appendMetadataUpdate(QPDF& pdf, const std::string& path, const FileIdentity& identity,
                          const std::string& packet)
{
  if (pdf.isEncrypted())
    throw SaveFailure(kASErrDocEncrypted, "encrypted documents are not changed");
  // Locked and checked before anything is read from the file: it holds still from here on.
  UpdateWriter file(path, identity);
  const off_t originalSize = file.contentLength();
  // Every offset read or written is counted from the header, as the file's own are.
  const off_t header = headerOffset(pdf, file.descriptor(), path, originalSize);
  const off_t previous = previousCrossReference(file, originalSize, header);
  const bool tableKind = file.read(header + previous, 4) == "xref";
  const off_t end = originalSize - header;  // the end of the file, in the file's own frame

  // The objects to append, and the numbers they take.
  QPDFObjectHandle root = pdf.getRoot();
  QPDFObjectHandle trailer = pdf.getTrailer();
  // The update carries /Info on: it must be what the file says it is.
  trailer.getKey("/Info").isDictionary();
  int nextNumber = trailer.getKey("/Size").isInteger() ? trailer.getKey("/Size").getIntValueAsInt()
                                                       : 0;
  // The file's own cross-reference, not getObjectCount(), which reads every object.
  std::map<QPDFObjGen, QPDFXRefEntry> crossReferenced = pdf.getXRefTable();
  if (!crossReferenced.empty())
    nextNumber = std::max<int>(nextNumber, crossReferenced.rbegin()->first.getObj() + 1);
  std::vector<AppendedObject> objects;
  // Always a new stream, and a new version of the catalog pointing at it: the old stream may be
  // another object's too (a page's or an image's metadata), which keeps it as it was.
  int number = nextNumber++;
  objects.push_back({number, 0, metadataStreamBody(QPDFObjectHandle::newDictionary(), packet)});
  QPDFObjectHandle catalog = root.shallowCopy();
  catalog.removeKey("/Metadata");
  std::string text = catalog.unparse();
  text = text.substr(0, text.rfind(">>")) + "/Metadata " + std::to_string(number) + " 0 R >>";
  objects.push_back({root.getObjectID(), root.getGeneration(), text});
  const QPDFObjGen metadata(number, 0);
  // Whatever qpdf had to repair, at the open or in what this save read, is left as it is.
  if (hadToRepair(pdf))
    throw SaveFailure(kASErrDocRepaired, path + " had to be repaired to be read");
  std::sort(objects.begin(), objects.end(),
            [](const AppendedObject& a, const AppendedObject& b) { return a.number < b.number; });

  // The update, laid out from the file's end.
  std::string update;
  std::string last = file.read(originalSize - 1, 1);
  if (last != "\n" && last != "\r")
    update += "\n";
  std::map<int, std::pair<off_t, int>> offsets;  // number -> offset, generation
  for (auto& object : objects) {
    offsets[object.number] = {end + static_cast<off_t>(update.size()), object.generation};
    update += std::to_string(object.number) + " " + std::to_string(object.generation) + " obj\n";
    update += object.body;
    update += "\nendobj\n";
    std::string().swap(object.body);  // a large packet is held once at a time
  }
  off_t crossReference = end + static_cast<off_t>(update.size());
  if (tableKind) {
    update += "xref\n";
    for (const auto& [number, place] : offsets) {
      char row[64];
      std::snprintf(row, sizeof row, "%d 1\n%010lld %05d n \n", number,
                    static_cast<long long>(place.first), place.second);
      update += row;
    }
    update += "trailer\n<<" + trailerEntries(pdf, nextNumber, root, previous) + " >>\n";
  } else {
    int streamNumber = nextNumber++;
    offsets[streamNumber] = {crossReference, 0};
    int offsetWidth = std::max(4, widthOf(static_cast<unsigned long long>(crossReference)));
    std::string rows;
    std::string index;
    for (const auto& [number, place] : offsets) {
      index += std::to_string(number) + " 1 ";
      rows += '\x01';
      appendBigEndian(rows, static_cast<unsigned long long>(place.first), offsetWidth);
      appendBigEndian(rows, static_cast<unsigned long long>(place.second), 2);
    }
    update += std::to_string(streamNumber) + " 0 obj\n<< /Type /XRef /W [1 " +
              std::to_string(offsetWidth) + " 2] /Index [" + index + "]" +
              trailerEntries(pdf, nextNumber, root, previous) + " /Length " +
              std::to_string(rows.size()) + " >>\nstream\n" + rows + "\nendstream\nendobj\n";
  }

  LaidOutUpdate laidOut = file.layOut(std::move(update), previous, crossReference);
  checkReadsBack(file.descriptor(), path, originalSize, laidOut.bytes, metadata, packet.size());
  file.append(laidOut);
  return file.foundUnfinishedUpdate();
}

}  // namespace pdfhost
