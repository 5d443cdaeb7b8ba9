#include "UpdateWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace pdfhost {

namespace {

// The comment that opens a pending tail; the number after it is where the file's own bytes end.
const char kPendingMark[] = "%pdfhost-unfinished-save ";
// The final tail is written in one call that stays within one page: the kernel copies a page at
// a time and stops between pages for a kill, never inside one.
const off_t kPage = 4096;
// Body bytes per write call.
const std::size_t kChunk = 1 << 20;

[[noreturn]] void failWith(int error, ASErrorCode otherwise, const std::string& what)
{
  throw FileFailure(errorForErrno(error, otherwise), what + ": " + std::strerror(error));
}

std::string finalTail(off_t crossReference)
{
  return "startxref\n" + std::to_string(static_cast<long long>(crossReference)) + "\n%%EOF\n";
}

std::string pendingTail(off_t contentLength, off_t previous)
{
  return kPendingMark + std::to_string(static_cast<long long>(contentLength)) + "\n" +
         finalTail(previous);
}

void writeAt(int fd, const char* bytes, std::size_t count, off_t at, const std::string& path)
{
  std::size_t written = 0;
  while (written < count) {
    std::size_t part = std::min(kChunk, count - written);
    ssize_t n = ::pwrite(fd, bytes + written, part, at + static_cast<off_t>(written));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failWith(errno, kASErrFileWrite, path);
    written += static_cast<std::size_t>(n);
  }
}

// The offset the last startxref within the first `length` bytes names; -1 when there is none.
long long lastStartxref(const UpdateWriter& file, off_t length)
{
  const off_t look = std::min<off_t>(length, 1024);
  std::string tail = file.read(length - look, static_cast<std::size_t>(look));
  std::size_t at = tail.rfind("startxref");
  if (at == std::string::npos)
    return -1;
  const char* number = tail.c_str() + at + 9;
  char* end = nullptr;
  long long offset = std::strtoll(number, &end, 10);
  return end == number ? -1 : offset;
}

// Where the file's own bytes end when it ends in the pending tail of an update a kill left
// unfinished: only a tail exactly as this writer makes it, whose startxref names the section the
// first N bytes end with (so that the bytes after N are unreachable from any cross-reference), is
// taken for one. `size` otherwise.
off_t ownContentLength(const UpdateWriter& file, off_t size)
{
  const off_t look = std::min<off_t>(size, 160);
  std::string tail = file.read(size - look, static_cast<std::size_t>(look));
  std::size_t mark = tail.rfind(kPendingMark);
  if (mark == std::string::npos) return size;
  const char* text = tail.c_str() + mark + sizeof kPendingMark - 1;
  char* end = nullptr;
  long long length = std::strtoll(text, &end, 10);
  std::size_t xref = tail.find("startxref\n", mark);
  if (end == text || xref == std::string::npos) return size;
  long long previous = std::strtoll(tail.c_str() + xref + 10, nullptr, 10);
  if (length <= 0 || length >= size || tail.substr(mark) != pendingTail(length, previous))
    return size;
  if (lastStartxref(file, static_cast<off_t>(length)) != previous)
    return size;
  return static_cast<off_t>(length);
}

// Where a file system gives no locks, a file beside the document stands for the lock: made only
// when there is none (O_EXCL, which NFS, SMB and FUSE keep), removed when the save ends.
std::string lockFileFor(const std::string& path)
{
  char resolved[PATH_MAX];
  std::string real = ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  std::size_t slash = real.rfind('/');
  std::string folder = slash == std::string::npos ? "." : real.substr(0, slash);
  std::string name = slash == std::string::npos ? real : real.substr(slash + 1);
  return folder + "/." + name + ".pdfhost-saving";
}

}  // namespace

FileIdentity FileIdentity::of(const std::string& path)
{
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) failWith(errno, kASErrFileOpen, path);
  return of(info);
}

FileIdentity FileIdentity::of(const struct stat& info)
{
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

UpdateWriter::UpdateWriter(const std::string& path, const FileIdentity& identity) : path_(path)
{
  // Never blocks on a FIFO put in the file's place; a regular file is written all the same.
  fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    int error = errno;
    struct stat now {};
    if (::stat(path.c_str(), &now) == 0 && !(FileIdentity::of(now) == identity))
      throw FileFailure(kASErrFileChanged, path + " changed since it was opened");
    failWith(error, kASErrFileOpen, path);
  }
  try {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;  // the whole file, however long it grows
    if (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
      if (errno == EAGAIN || errno == EACCES)
        throw FileFailure(kASErrFileChanged, path + " is being saved by another program");
      if (errno != ENOLCK && errno != EINVAL && errno != ENOSYS)
        failWith(errno, kASErrFileOpen, path);
      takeLockFile();
    }
    // From here on no writer that locks can change the file; checked on what is written.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd_, &held) != 0) failWith(errno, kASErrFileOpen, path);
    if (!(FileIdentity::of(held) == identity) || ::stat(path.c_str(), &named) != 0 ||
        named.st_dev != held.st_dev || named.st_ino != held.st_ino)
      throw FileFailure(kASErrFileChanged, path + " changed since it was opened");
    if ((held.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      throw FileFailure(kASErrFilePermission, path + " is read-only");
    size_ = held.st_size;
    contentLength_ = ownContentLength(*this, size_);
  } catch (...) {
    releaseLockFile();
    ::close(fd_);
    throw;
  }
}

void UpdateWriter::takeLockFile()
{
  std::string name = lockFileFor(path_);
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EEXIST)
    throw FileFailure(kASErrFileChanged, path_ + " is being saved by another program (" + name +
                                             " exists)",
                      "If no other program is saving it, a save was cut off: delete " + name +
                          " and save again.");
  if (fd < 0)
    failWith(errno, kASErrFileOpen, name + " (the file system has no locks)");
  ::close(fd);
  lockFile_ = name;
}

void UpdateWriter::releaseLockFile()
{
  if (!lockFile_.empty())
    ::unlink(lockFile_.c_str());
  lockFile_.clear();
}

void UpdateWriter::keepEveryByte()
{
  contentLength_ = size_;
}

std::string UpdateWriter::read(off_t offset, std::size_t length) const
{
  std::string bytes(length, '\0');
  ssize_t got = ::pread(fd_, bytes.data(), length, offset);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

UpdateWriter::~UpdateWriter()
{
  releaseLockFile();
  if (fd_ >= 0) ::close(fd_);  // and with it the lock
}

LaidOutUpdate UpdateWriter::layOut(std::string body, off_t previous, off_t crossReference) const
{
  LaidOutUpdate update;
  update.pendingTail = pendingTail(contentLength_, previous);
  std::string tail = finalTail(crossReference);
  // The two tails are the same length, so the final one replaces the pending one exactly.
  tail.insert(0, update.pendingTail.size() - tail.size(), ' ');
  off_t tailAt = contentLength_ + static_cast<off_t>(body.size());
  if (tailAt % kPage + static_cast<off_t>(tail.size()) > kPage)
    body.append(static_cast<std::size_t>(kPage - tailAt % kPage), ' ');
  update.tailAt = body.size();
  update.bytes = std::move(body);
  update.bytes += tail;
  return update;
}

void UpdateWriter::append(const LaidOutUpdate& update)
{
  try {
    if (foundUnfinishedUpdate()) {
      if (::ftruncate(fd_, contentLength_) != 0 || ::fsync(fd_) != 0)
        failWith(errno, kASErrFileWrite, path_);
    }
    const off_t tailAt = contentLength_ + static_cast<off_t>(update.tailAt);
    // The file keeps ending in a tail that names its own last section, whatever is cut short.
    writeAt(fd_, update.pendingTail.data(), update.pendingTail.size(), tailAt, path_);
    // On disk before any byte of the body: a power cut then leaves the file longer, ending in
    // a tail that names its own last section, never ending inside the body.
    if (::fsync(fd_) != 0) failWith(errno, kASErrFileWrite, path_);
    writeAt(fd_, update.bytes.data(), update.tailAt, contentLength_, path_);
    if (::fsync(fd_) != 0) failWith(errno, kASErrFileWrite, path_);
    const std::string& tail = update.bytes;
    writeAt(fd_, tail.data() + update.tailAt, tail.size() - update.tailAt, tailAt, path_);
    if (::fsync(fd_) != 0) failWith(errno, kASErrFileWrite, path_);
  } catch (...) {
    cutBack();
    throw;
  }
  // Saved: what follows is no reason to cut it back.
  struct stat now {};
  if (::fstat(fd_, &now) == 0) written_ = FileIdentity::of(now);
}

void UpdateWriter::cutBack()
{
  // A half-written update must not look like a save.
  if (::ftruncate(fd_, contentLength_) == 0) ::fsync(fd_);
}

}  // namespace pdfhost
