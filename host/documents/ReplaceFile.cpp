#include "ReplaceFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

namespace pdfhost {

namespace {

const char kTemporaryPrefix[] = ".pdfhost-";
const std::size_t kTemporaryNameLength = sizeof kTemporaryPrefix - 1 + 6;  // the XXXXXX
const int kMostLinks = 40;                                                 // the kernel's own limit
const time_t kStaleAfterSeconds = 3600;

[[noreturn]] void failWith(int error, ASErrorCode otherwise, const std::string& what)
{
  throw FileFailure(errorForErrno(error, otherwise), what + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path)
{
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a link was planted by someone else: it lies in a folder other users may add files to,
// and neither we nor the folder's owner made it (the rule the kernel's protected_symlinks uses
// for sticky folders).
bool plantedByAnother(const std::string& link, const struct stat& linkInfo)
{
  struct stat folder {};
  if (::stat(folderOf(link).c_str(), &folder) != 0)
    return true;
  bool othersMayWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return othersMayWrite && linkInfo.st_uid != ::geteuid() && linkInfo.st_uid != folder.st_uid;
}

// The file a chain of links ends at (which need not exist). A link someone else planted is not
// followed: the link itself is what gets replaced.
std::string followLinks(const std::string& target)
{
  std::string path = target;
  for (int followed = 0;; ++followed) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode) ||
        plantedByAnother(path, info))
      return path;
    if (followed == kMostLinks)
      failWith(ELOOP, kASErrFileOpen, target);
    std::vector<char> link(PATH_MAX + 1);
    ssize_t length = ::readlink(path.c_str(), link.data(), link.size() - 1);
    if (length < 0)
      failWith(errno, kASErrFileOpen, target);
    std::string next(link.data(), static_cast<std::size_t>(length));
    path = next[0] == '/' ? next : folderOf(path) + "/" + next;
  }
}

mode_t newFileMode()
{
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

// TEMPORARY FILES

TemporaryFile::TemporaryFile(const std::string& folder, const std::string& name) : name_(name)
{
  std::string pattern = (folder == "/" ? "" : folder) + "/" + kTemporaryPrefix + "XXXXXX";
  std::vector<char> made(pattern.begin(), pattern.end());
  made.push_back('\0');
  descriptor_ = ::mkostemp(made.data(), O_CLOEXEC);
  if (descriptor_ < 0) {
    // The new file is made in the folder: what failed is the folder, not the file.
    int error = errno;
    struct stat info {};
    if (error == ENOTDIR && ::stat(folder.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
      throw FileFailure(kASErrFolderIsFile,
                        folder + " is a file, not a folder (for " + name_ + ")");
    if (error == ENOENT || error == ENOTDIR)
      throw FileFailure(kASErrFolderMissing, folder + ": no such folder (for " + name_ + ")");
    if (error == EACCES || error == EPERM)
      throw FileFailure(kASErrFolderPermission, folder + ": " + std::strerror(error));
    failWith(error, kASErrFileOpen, name_);
  }
  path_ = made.data();
}

TemporaryFile::~TemporaryFile()
{
  if (descriptor_ >= 0)
    ::close(descriptor_);
  if (!kept_)
    ::unlink(path_.c_str());
}

void TemporaryFile::write(const char* bytes, std::size_t count)
{
  std::size_t written = 0;
  while (written < count) {
    ssize_t n = ::write(descriptor_, bytes + written, count - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      failWith(errno, kASErrFileWrite, name_);
    written += static_cast<std::size_t>(n);
  }
  end_ = std::max(end_, ::lseek(descriptor_, 0, SEEK_CUR));
}

void TemporaryFile::finish()
{
  if (::fsync(descriptor_) != 0)
    failWith(errno, kASErrFileWrite, name_);
  struct stat info {};
  if (::fstat(descriptor_, &info) != 0)
    failWith(errno, kASErrFileWrite, name_);
  if (info.st_size != end_)
    throw FileFailure(kASErrFileWrite, name_ + ": the new file holds " +
                                           std::to_string(info.st_size) + " of " +
                                           std::to_string(end_) + " bytes written");
  int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0)
    failWith(errno, kASErrFileWrite, name_);
}

void removeStaleTemporaryFiles(const std::string& folder)
{
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr)
    return;
  const time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(listing)) {
    std::string name = entry->d_name;
    if (name.size() != kTemporaryNameLength ||
        name.compare(0, sizeof kTemporaryPrefix - 1, kTemporaryPrefix) != 0)
      continue;
    struct stat info {};
    if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        now - info.st_mtime > kStaleAfterSeconds)
      ::unlinkat(::dirfd(listing), entry->d_name, 0);
  }
  ::closedir(listing);
}

// REPLACING A FILE

namespace {

// The destination of a replacement once it has been checked; throws FileFailure to refuse it.
std::string checkedDestination(const std::string& target, ReplacementFile::Links links,
                               struct stat* existing, bool* existed)
{
  std::string destination = links == ReplacementFile::Links::kFollow ? followLinks(target) : target;
  *existed = ::lstat(destination.c_str(), existing) == 0;
  if (!*existed) {
    // A missing folder, or a file in its place, is told by the temporary file's making.
    if (errno != ENOENT && errno != ENOTDIR) failWith(errno, kASErrFileOpen, destination);
    return destination;
  }
  if (S_ISLNK(existing->st_mode)) {  // a link not followed is replaced like a missing file
    *existed = false;
    return destination;
  }
  if (S_ISDIR(existing->st_mode))
    throw FileFailure(kASErrFileOpen, destination + " is a folder");
  if (!S_ISREG(existing->st_mode))
    throw FileFailure(kASErrFileOpen, destination + " is not a regular file");
  // Root may write anything: a file nobody may write is refused as read-only all the same.
  if ((existing->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    throw FileFailure(kASErrFilePermission, destination + " is read-only");
  if (::access(destination.c_str(), W_OK) != 0)
    failWith(errno, kASErrFilePermission, destination);
  return destination;
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target, Links links)
    : destination_(checkedDestination(target, links, &existing_, &existed_)),
      temporary_(folderOf(destination_), destination_)
{
  removeStaleTemporaryFiles(folderOf(destination_));
  if (existed_) {
    // The owner first: changing it clears set-user-ID bits that the mode then restores.
    if (::fchown(descriptor(), existing_.st_uid, existing_.st_gid) != 0) {
      // Only root may give a file away; a file of another user's becomes ours.
    }
    ::fchmod(descriptor(), existing_.st_mode & 07777);
  } else {
    ::fchmod(descriptor(), newFileMode());
  }
}

void ReplacementFile::commit(const std::function<void(const std::string& path)>& check)
{
  temporary_.finish();
  if (check) {
    try {
      check(temporary_.path());
    } catch (FileFailure&) {
      throw;
    } catch (std::exception& e) {
      throw FileFailure(kASErrFileWrite,
                        destination_ + ": the new file does not read back: " + e.what());
    }
  }
  if (::rename(temporary_.path().c_str(), destination_.c_str()) != 0)
    failWith(errno, kASErrFileWrite, destination_);
  temporary_.keep();
  // The rename itself is made durable with the folder.
  int folder = ::open(folderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace pdfhost
