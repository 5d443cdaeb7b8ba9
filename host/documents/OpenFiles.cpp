#include "OpenFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pdfhost {

namespace {

[[noreturn]] void failWithErrno(ASErrorCode otherwise, const std::string& path)
{
  int error = errno;
  throw FileFailure(errorForErrno(error, otherwise), path + ": " + std::strerror(error));
}

}  // namespace

ASFile OpenFiles::open(const std::string& path, bool writing)
{
  auto file = std::make_unique<_t_ASFile>();
  file->path = path;
  file->writing = writing;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    throw FileFailure(kASErrFileOpen, path + " is a folder");
  if (writing) {
    std::string folder = path.substr(0, path.rfind('/') + 1);
    std::string name = path.substr(path.rfind('/') + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    file->descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (file->descriptor < 0)
      failWithErrno(kASErrFileOpen, path);
    file->temporary = temporary.data();
    // A replaced file keeps the permissions it had; a new one gets the usual ones.
    ::fchmod(file->descriptor, ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644);
  } else {
    file->descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file->descriptor < 0)
      failWithErrno(kASErrFileOpen, path);
  }
  files_.push_back(std::move(file));
  return files_.back().get();
}

std::size_t OpenFiles::read(ASFile file, char* buffer, std::size_t count)
{
  for (;;) {
    ssize_t got = ::read(file->descriptor, buffer, count);
    if (got >= 0)
      return static_cast<std::size_t>(got);
    if (errno != EINTR)
      failWithErrno(kASErrFileRead, file->path);
  }
}

void OpenFiles::write(ASFile file, const char* bytes, std::size_t count)
{
  if (!file->writing)
    throw FileFailure(kASErrFileWrite, file->path + " is open for reading");
  std::size_t written = 0;
  while (written < count) {
    ssize_t n = ::write(file->descriptor, bytes + written, count - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      file->failed = true;
      failWithErrno(kASErrFileWrite, file->path);
    }
    written += static_cast<std::size_t>(n);
  }
}

void OpenFiles::setPosition(ASFile file, long long position)
{
  if (::lseek(file->descriptor, static_cast<off_t>(position), SEEK_SET) < 0)
    failWithErrno(kASErrFileRead, file->path);
}

std::unique_ptr<_t_ASFile> OpenFiles::take(ASFile file)
{
  auto found = std::find_if(files_.begin(), files_.end(),
                            [file](const std::unique_ptr<_t_ASFile>& f) { return f.get() == file; });
  if (found == files_.end())
    return nullptr;
  std::unique_ptr<_t_ASFile> taken = std::move(*found);
  files_.erase(found);
  return taken;
}

void OpenFiles::close(ASFile handle)
{
  std::unique_ptr<_t_ASFile> file = take(handle);
  if (!file)
    return;
  if (!file->writing) {
    ::close(file->descriptor);
    return;
  }
  bool kept = !file->failed && ::fsync(file->descriptor) == 0;
  int error = errno;
  kept = ::close(file->descriptor) == 0 && kept;
  if (kept && std::rename(file->temporary.c_str(), file->path.c_str()) == 0)
    return;
  if (kept)
    error = errno;
  std::remove(file->temporary.c_str());
  if (!file->failed)
    throw FileFailure(errorForErrno(error, kASErrFileWrite),
                      file->path + ": " + std::strerror(error));
}

bool OpenFiles::contains(ASFile file) const
{
  return std::any_of(files_.begin(), files_.end(),
                     [file](const std::unique_ptr<_t_ASFile>& f) { return f.get() == file; });
}

void OpenFiles::closeAll()
{
  for (auto& file : files_) {
    ::close(file->descriptor);
    if (file->writing)
      std::remove(file->temporary.c_str());
  }
  files_.clear();
}

}  // namespace pdfhost
