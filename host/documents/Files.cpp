#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "support/Texts.h"

namespace pdfhost {

std::string absolutePath(const std::string& path)
{
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = std::filesystem::path(path);
  return absolute.lexically_normal().string();
}

int openRegularFile(const std::string& path, ReadRefusal* refusal)
{
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    *refusal = ReadRefusal::kMissing;
    return -1;
  }
  auto kindOf = [](const struct stat& file) {
    return S_ISDIR(file.st_mode)    ? ReadRefusal::kFolder
           : !S_ISREG(file.st_mode) ? ReadRefusal::kNotRegular
                                    : ReadRefusal::kNone;
  };
  if ((*refusal = kindOf(info)) != ReadRefusal::kNone)
    return -1;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *refusal = ReadRefusal::kUnreadable;
    return -1;
  }
  if (::fstat(fd, &info) != 0 || (*refusal = kindOf(info)) != ReadRefusal::kNone) {
    if (*refusal == ReadRefusal::kNone)
      *refusal = ReadRefusal::kUnreadable;
    int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

std::string documentPath(const std::string& path)
{
  std::filesystem::path absolute(absolutePath(path));
  std::filesystem::path name = absolute.filename();
  if (name.empty())
    return absolute.string();
  // The folder as the user named it: `..` after a link leads where the file system says.
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty())
    folder = ".";
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved) == nullptr)
    return absolute.string();
  return (std::filesystem::path(resolved) / name).string();
}

std::string deviceIndependentPath(const std::string& path, const std::string* base)
{
  std::string text = path;
  if (base != nullptr) {
    std::filesystem::path folder = std::filesystem::path(*base).parent_path();
    text = std::filesystem::path(path).lexically_relative(folder).string();
  }
  return toUtf8(text, kHostEncodingUTF8);
}

ASPathName PathNames::acquire(const std::string& absolute)
{
  paths_.push_back(std::make_unique<_t_ASPathName>(_t_ASPathName{absolute}));
  return paths_.back().get();
}

bool PathNames::release(ASPathName path)
{
  auto found =
      std::find_if(paths_.begin(), paths_.end(),
                   [path](const std::unique_ptr<_t_ASPathName>& p) { return p.get() == path; });
  if (found == paths_.end()) return false;
  paths_.erase(found);
  return true;
}

bool PathNames::contains(ASPathName path) const
{
  return std::any_of(paths_.begin(), paths_.end(),
                     [path](const std::unique_ptr<_t_ASPathName>& p) { return p.get() == path; });
}

}  // namespace pdfhost
