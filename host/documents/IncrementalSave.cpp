#include "IncrementalSave.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

namespace pdfhost {

namespace {

// Closes a descriptor on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor()
  {
    if (fd_ >= 0)
      ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, so that a failing close is seen; returns false when it failed.
  bool close()
  {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string readAt(int fd, off_t offset, std::size_t length)
{
  std::string bytes(length, '\0');
  ssize_t got = ::pread(fd, bytes.data(), length, offset);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

// Where "%PDF-" begins: the file's offsets count from there, as qpdf reads them, when bytes come
// before it (within the first 1024, the most a reader looks at).
off_t headerOffset(int fd)
{
  std::string start = readAt(fd, 0, 1024);
  std::size_t at = start.find("%PDF-");
  return at == std::string::npos ? 0 : static_cast<off_t>(at);
}

// The offset the file's last startxref names, counted from the header at `header`.
off_t previousCrossReference(int fd, off_t size, off_t header)
{
  const off_t tailLength = std::min<off_t>(size, 4096);
  std::string tail = readAt(fd, size - tailLength, static_cast<std::size_t>(tailLength));
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

void writeAll(int fd, off_t at, const std::string& bytes)
{
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = ::pwrite(fd, bytes.data() + written, bytes.size() - written,
                         at + static_cast<off_t>(written));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw SaveFailure(errorForErrno(errno, kASErrFileWrite), std::strerror(errno));
    }
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace

FileIdentity FileIdentity::of(const std::string& path)
{
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    throw SaveFailure(errorForErrno(errno, kASErrFileOpen), path + ": " + std::strerror(errno));
  FileIdentity identity;
  identity.device = info.st_dev;
  identity.inode = info.st_ino;
  identity.size = info.st_size;
  identity.modified = info.st_mtim;
  return identity;
}

bool FileIdentity::operator==(const FileIdentity& other) const
{
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

void appendMetadataUpdate(QPDF& pdf, const std::string& path, const FileIdentity& identity,
                          const std::string& packet)
{
  if (pdf.isEncrypted())
    throw SaveFailure(kASErrDocEncrypted, "encrypted documents are not changed");
  if (!(FileIdentity::of(path) == identity))
    throw SaveFailure(kASErrFileChanged, path + " changed since it was opened");
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    throw SaveFailure(kASErrFilePermission, path + " is read-only");

  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (file.get() < 0)
    throw SaveFailure(errorForErrno(errno, kASErrFileOpen), path + ": " + std::strerror(errno));
  const off_t originalSize = identity.size;
  // Every offset read or written is counted from the header, as the file's own are.
  const off_t header = headerOffset(file.get());
  const off_t previous = previousCrossReference(file.get(), originalSize, header);
  const bool tableKind = readAt(file.get(), header + previous, 4) == "xref";
  const off_t end = originalSize - header;  // the end of the file, in the file's own frame

  // The objects to append, and the numbers they take.
  QPDFObjectHandle root = pdf.getRoot();
  QPDFObjectHandle trailer = pdf.getTrailer();
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
  std::sort(objects.begin(), objects.end(),
            [](const AppendedObject& a, const AppendedObject& b) { return a.number < b.number; });

  // The update, laid out from the file's end.
  std::string update;
  std::string last = readAt(file.get(), originalSize - 1, 1);
  if (last != "\n" && last != "\r")
    update += "\n";
  std::map<int, std::pair<off_t, int>> offsets;  // number -> offset, generation
  for (const auto& object : objects) {
    offsets[object.number] = {end + static_cast<off_t>(update.size()), object.generation};
    update += std::to_string(object.number) + " " + std::to_string(object.generation) + " obj\n" +
              object.body + "\nendobj\n";
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
  update += "startxref\n" + std::to_string(static_cast<long long>(crossReference)) + "\n%%EOF\n";

  try {
    writeAll(file.get(), originalSize, update);
    if (::fsync(file.get()) != 0)
      throw SaveFailure(errorForErrno(errno, kASErrFileWrite), std::strerror(errno));
  } catch (SaveFailure&) {
    // Cut back to the original bytes: a half-written update must not look like a save.
    if (::ftruncate(file.get(), originalSize) == 0)
      ::fsync(file.get());
    throw;
  }
  if (!file.close())
    throw SaveFailure(kASErrFileWrite, std::string("closing the file: ") + std::strerror(errno));
}

}  // namespace pdfhost
