// A PDF file as qpdf reads it: through one descriptor and a block of the file held in memory.
// qpdf's own file source seeks and reads the file anew for every line of a cross-reference
// table: with this one, a document of many objects opens at memory speed, in memory that does
// not grow with the file.
#pragma once

#include <qpdf/InputSource.hh>

#include <map>
#include <string>
#include <vector>

namespace pdfhost {

class FileSource : public InputSource {
 public:
  // Opens the file for reading; throws QPDFSystemError naming it when it cannot, and
  // std::runtime_error when it is not a regular file.
  explicit FileSource(const std::string& path);
  // The first `length` bytes of an open file followed by `appended` (borrowed; it outlives the
  // source): a file as it will be once those bytes are written. Takes the descriptor.
  FileSource(int fd, const std::string& name, qpdf_offset_t length, const std::string* appended);
  // A sketch of a file of `length` bytes followed by `appended`: in the first `length` bytes
  // only `pieces` (offset -> bytes; borrowed), spaces elsewhere. For reading what is appended
  // without reading the file's own objects again.
  FileSource(const std::string& name, qpdf_offset_t length,
             const std::map<qpdf_offset_t, std::string>* pieces, const std::string* appended);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  qpdf_offset_t findAndSkipNextEOL() override;
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return position_; }
  void seek(qpdf_offset_t offset, int whence) override;
  void rewind() override { position_ = 0; }
  size_t read(char* buffer, size_t length) override;
  void unreadCh(char ch) override;

 private:
  // The bytes at `offset` in the block, the block read first when they are not in it; empty at
  // the end of the file.
  const char* bytesAt(qpdf_offset_t offset, size_t* available);

  std::string name_;
  int fd_ = -1;
  qpdf_offset_t position_ = 0;
  qpdf_offset_t blockStart_ = 0;
  std::vector<char> block_;
  size_t blockLength_ = 0;
  qpdf_offset_t length_ = -1;               // the file's own bytes taken; -1: all of them
  const std::string* appended_ = nullptr;  // what follows them
  const std::map<qpdf_offset_t, std::string>* pieces_ = nullptr;  // a sketch's own bytes
};

}  // namespace pdfhost
