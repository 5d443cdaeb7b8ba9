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

// The update read by qpdf as any reader will read it, without the file's own objects: a sketch
// of the file holds its header, spaces, and at `previous` an empty section of the file's kind
// that ends the chain there. The update's own section must be where startxref says, name exactly
// the objects appended at their offsets, carry /Prev, /Size above every number it names, /Root,
// /Info and /ID as they are; each object must parse at its offset as what was meant, without a
// warning. Throws SaveFailure.
void checkUpdate(QPDF& pdf, const std::string& path, off_t header, off_t originalSize,
                 off_t previous, bool tableKind, const LaidOutUpdate& update,
                 const std::map<int, std::pair<off_t, int>>& offsets,
                 const std::string& catalog, QPDFObjGen metadata, std::size_t packetSize)
{
  std::map<qpdf_offset_t, std::string> pieces;
  pieces[header] = "%PDF-" + pdf.getPDFVersion() + "\n";
  pieces[header + previous] =
      tableKind ? "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 1 >>\n"
                : std::string("1 0 obj\n<< /Type /XRef /Size 1 /W [1 1 1] /Length 3 >>\nstream\n") +
                      std::string(3, '\0') + "\nendstream\nendobj\n";
  QPDF after;
  after.setSuppressWarnings(true);
  std::string problem;
  try {
    after.processInputSource(
        std::make_shared<FileSource>(path, originalSize, &pieces, &update.bytes));
    QPDFObjectHandle trailer = after.getTrailer();
    QPDFObjectHandle original = pdf.getTrailer();
    int highest = 0;
    std::map<int, std::pair<off_t, int>> named;
    for (const auto& [og, entry] : after.getXRefTable()) {
      highest = std::max(highest, og.getObj());
      if (entry.getType() == 1)
        named[og.getObj()] = {static_cast<off_t>(entry.getOffset()), og.getGen()};
    }
    // Written text is compared as qpdf reads it back in the same sketch.
    auto asRead = [&after](const std::string& written) {
      // In an array: a reference on its own is not an object qpdf parses.
      return QPDFObjectHandle::parse(&after, "[" + written + "]").getArrayItem(0).unparse();
    };
    auto same = [&](const char* key) {
      return trailer.getKey(key).unparse() == asRead(original.getKey(key).unparse());
    };
    QPDFObjectHandle stream = after.getRoot().getKey("/Metadata");
    if (named != offsets)
      problem = "its cross-reference section does not name what it appends";
    else if (!trailer.getKey("/Prev").isInteger() ||
             trailer.getKey("/Prev").getIntValue() != previous)
      problem = "its /Prev is not the previous section";
    else if (!trailer.getKey("/Size").isInteger() || trailer.getKey("/Size").getIntValue() <= highest)
      problem = "its /Size is not above every object number";
    else if (!same("/Info") || !same("/ID"))
      problem = "its /Info or /ID is not the file's";
    else if (after.getRoot().getObjGen() != pdf.getRoot().getObjGen() ||
             after.getRoot().unparseResolved() != asRead(catalog))
      problem = "the catalog is not what the update writes";
    else if (!stream.isStream() || stream.getObjGen() != metadata ||
             !stream.getDict().getKey("/Length").isInteger() ||
             stream.getDict().getKey("/Length").getUIntValue() != packetSize)
      problem = "the metadata stream is not where the update puts it";
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

// Whether the first `length` bytes read as a whole document, as the file did when the host
// opened it: the test before an unfinished update of ours is cut off.
bool readsAsWholeDocument(int fd, const std::string& path, off_t length)
{
  QPDF before;
  before.setSuppressWarnings(true);
  try {
    before.processInputSource(std::make_shared<FileSource>(::dup(fd), path, length, nullptr));
    return before.getRoot().getKey("/Pages").isDictionary() && !before.anyWarnings();
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception&) {
    return false;
  }
}

}  // namespace

AppendedUpdate appendMetadataUpdate(QPDF& pdf, const std::string& path, const FileIdentity& identity,
                          const std::string& packet)
{
  if (pdf.isEncrypted())
    throw SaveFailure(kASErrDocEncrypted, "encrypted documents are not changed");
  // Locked and checked before anything is read from the file: it holds still from here on.
  UpdateWriter file(path, identity);
  if (file.foundUnfinishedUpdate() && !readsAsWholeDocument(file.descriptor(), path,
                                                            file.contentLength()))
    file.keepEveryByte();
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
  // A number the file's cross-reference uses is passed over; looked up one by one, never by a
  // copy of the whole cross-reference.
  auto unused = [&pdf](int number) {
    while (!pdf.getObjectByID(number, 0).isNull())
      ++number;
    return number;
  };
  nextNumber = unused(std::max(nextNumber, 1));
  std::vector<AppendedObject> objects;
  // Always a new stream, and a new version of the catalog pointing at it: the old stream may be
  // another object's too (a page's or an image's metadata), which keeps it as it was.
  int number = nextNumber;
  nextNumber = unused(nextNumber + 1);
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
    int streamNumber = nextNumber;
    nextNumber = unused(nextNumber + 1);
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
  checkUpdate(pdf, path, header, originalSize, previous, tableKind, laidOut, offsets, text,
              metadata, packet.size());
  file.append(laidOut);
  // What the host holds of the document follows the file: its next save's numbers and /Prev
  // come after this update's.
  trailer.replaceKey("/Size", QPDFObjectHandle::newInteger(nextNumber));
  AppendedUpdate appended;
  appended.cutBack = file.foundUnfinishedUpdate();
  appended.identity = file.written();
  return appended;
}

}  // namespace pdfhost
