#include "FileSource.h"

#include "Files.h"

#include <qpdf/QPDFSystemError.hh>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <stdexcept>

namespace pdfhost {

namespace {

constexpr size_t kBlockSize = 64 * 1024;

// As qpdf's own file source says it, so that callers tell the cause by the same exception.
[[noreturn]] void fail(const std::string& name, const char* what)
{
  throw QPDFSystemError(std::string(what) + " " + name, errno);
}

}  // namespace

FileSource::FileSource(const std::string& path) : name_(path), block_(kBlockSize)
{
  // A FIFO or a device put in the file's place is refused, never waited on or read.
  ReadRefusal refusal = ReadRefusal::kNone;
  fd_ = openRegularFile(path, &refusal);
  if (refusal == ReadRefusal::kFolder || refusal == ReadRefusal::kNotRegular)
    throw std::runtime_error(name_ + " is not a regular file");
  if (fd_ < 0)
    fail(name_, "open");
}

FileSource::FileSource(int fd, const std::string& name, qpdf_offset_t length,
                       const std::string* appended)
    : name_(name), fd_(fd), block_(kBlockSize), length_(length), appended_(appended)
{
}

FileSource::FileSource(const std::string& name, qpdf_offset_t length,
                       const std::map<qpdf_offset_t, std::string>* pieces,
                       const std::string* appended)
    : name_(name), block_(kBlockSize, ' '), length_(length), appended_(appended), pieces_(pieces)
{
}

FileSource::~FileSource()
{
  if (fd_ >= 0)
    ::close(fd_);
}

const char* FileSource::bytesAt(qpdf_offset_t offset, size_t* available)
{
  if (length_ >= 0 && offset >= length_) {
    size_t into = static_cast<size_t>(offset - length_);
    size_t size = appended_ != nullptr ? appended_->size() : 0;
    *available = into < size ? size - into : 0;
    return *available > 0 ? appended_->data() + into : nullptr;
  }
  if (pieces_ != nullptr) {
    auto next = pieces_->upper_bound(offset);
    if (next != pieces_->begin()) {
      auto piece = std::prev(next);
      auto into = static_cast<size_t>(offset - piece->first);
      if (into < piece->second.size()) {
        *available = std::min(piece->second.size() - into, static_cast<size_t>(length_ - offset));
        return piece->second.data() + into;
      }
    }
    qpdf_offset_t until = next == pieces_->end() ? length_ : std::min(next->first, length_);
    *available = std::min(block_.size(), static_cast<size_t>(until - offset));
    return block_.data();  // spaces
  }
  if (offset < blockStart_ || offset >= blockStart_ + static_cast<qpdf_offset_t>(blockLength_)) {
    ssize_t got;
    do {
      size_t wanted = block_.size();
      if (length_ >= 0)
        wanted = std::min<size_t>(wanted, static_cast<size_t>(length_ - offset));
      got = ::pread(fd_, block_.data(), wanted, offset);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
      fail(name_, "read");
    blockStart_ = offset;
    blockLength_ = static_cast<size_t>(got);
  }
  qpdf_offset_t into = offset - blockStart_;
  *available = blockLength_ - static_cast<size_t>(into);
  return block_.data() + into;
}

size_t FileSource::read(char* buffer, size_t length)
{
  last_offset = position_;
  size_t done = 0;
  while (done < length) {
    size_t available = 0;
    const char* bytes = bytesAt(position_, &available);
    if (available == 0)
      break;
    size_t n = std::min(available, length - done);
    std::memcpy(buffer + done, bytes, n);
    done += n;
    position_ += static_cast<qpdf_offset_t>(n);
  }
  return done;
}

void FileSource::seek(qpdf_offset_t offset, int whence)
{
  qpdf_offset_t base = 0;
  if (whence == SEEK_CUR) {
    base = position_;
  } else if (whence == SEEK_END && length_ >= 0) {
    base = length_ + static_cast<qpdf_offset_t>(appended_ != nullptr ? appended_->size() : 0);
  } else if (whence == SEEK_END) {
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
      fail(name_, "read");
    base = info.st_size;
  }
  if (base + offset < 0)
    throw std::runtime_error(name_ + ": seek before the start of the file");
  position_ = base + offset;
}

void FileSource::unreadCh(char /*ch*/)
{
  if (position_ > 0)
    --position_;
}

qpdf_offset_t FileSource::findAndSkipNextEOL()
{
  // The offset of the next end of line; the position after it and any that follow it.
  for (;;) {
    size_t available = 0;
    const char* bytes = bytesAt(position_, &available);
    if (available == 0)
      return position_;
    const char* end = std::find_if(bytes, bytes + available, [](char c) { return c == '\r' || c == '\n'; });
    if (end == bytes + available) {
      position_ += static_cast<qpdf_offset_t>(available);
      continue;
    }
    qpdf_offset_t result = position_ + (end - bytes);
    position_ = result;
    for (;;) {
      const char* next = bytesAt(position_, &available);
      if (available == 0 || (*next != '\r' && *next != '\n'))
        return result;
      ++position_;
    }
  }
}

}  // namespace pdfhost
