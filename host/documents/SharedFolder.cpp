#include "SharedFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "documents/FileErrors.h"
#include "documents/Files.h"

namespace pdfhost {

namespace {

const char kMacSharedFolder[] = "/Users/Shared";

std::string environment(const char* name)
{
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Runs of slashes as one slash.
std::string collapseSlashes(const std::string& path)
{
  std::string out;
  for (char c : path)
    if (!(c == '/' && !out.empty() && out.back() == '/'))
      out += c;
  return out;
}

// The account's home: HOME, or the password database's entry when HOME is unset or empty.
std::string homeFolder()
{
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  const struct passwd* account = ::getpwuid(::geteuid());
  return account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "";
}

}  // namespace

bool sharedFolderIsDefault()
{
  return environment("PDFHOST_SHARED_DIR").empty();
}

std::string sharedFolder()
{
  std::string chosen = environment("PDFHOST_SHARED_DIR");
  if (!chosen.empty())
    return absolutePath(chosen);
  std::string data = environment("XDG_DATA_HOME");
  if (data.empty() || data[0] != '/')  // the XDG rules ignore a relative XDG_DATA_HOME
    data = homeFolder() + "/.local/share";
  return absolutePath(data + "/pdfhost/Shared");
}

std::string hostPathOfPosixPath(const std::string& posixPath, bool* inSharedFolder)
{
  std::string path = collapseSlashes(posixPath);
  std::size_t length = sizeof kMacSharedFolder - 1;
  bool shared = path.compare(0, length, kMacSharedFolder) == 0 &&
                (path.size() == length || path[length] == '/');
  if (inSharedFolder != nullptr)
    *inSharedFolder = shared;
  if (shared)
    return absolutePath(sharedFolder() + path.substr(length));
  return absolutePath(path);
}

bool prepareSharedFolder(std::string* why)
{
  std::string folder = sharedFolder();
  std::error_code error;
  if (sharedFolderIsDefault())
    std::filesystem::create_directories(folder, error);
  if (std::filesystem::is_directory(folder))
    return true;
  if (why != nullptr && std::filesystem::exists(folder))
    *why = folder + " is a file, not a folder";
  else if (why != nullptr)
    *why = folder + ": " + (error ? error.message() : std::string("no such folder"));
  return false;
}

std::string folderProblem(const std::string& path, ASErrorCode* code)
{
  std::string folder = std::filesystem::path(absolutePath(path)).parent_path().string();
  *code = kASErrNone;
  struct stat info {};
  int found = ::stat(folder.c_str(), &info);
  if (found != 0 && (errno == ENOENT || errno == ENOTDIR) && folder == sharedFolder() &&
      sharedFolderIsDefault()) {
    // The default folder is the host's to make: a failure says why it could not.
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
      *code = kASErrFolderNotMade;
      return folder + ": " + made.message();
    }
    found = ::stat(folder.c_str(), &info);
  }
  if (found != 0) {
    int error = errno;
    *code = error == EACCES ? kASErrFolderPermission : kASErrFolderMissing;
    return folder + ": " + (error == ENOENT ? std::string("no such folder") : std::strerror(error));
  }
  if (!S_ISDIR(info.st_mode)) {
    *code = kASErrFolderIsFile;
    return folder + " is a file, not a folder";
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    int error = errno;
    *code = errorForErrno(error, kASErrFolderPermission) == kASErrReadOnlyFileSystem
                ? kASErrReadOnlyFileSystem
                : kASErrFolderPermission;
    return folder + ": " + std::strerror(error);
  }
  return "";
}

}  // namespace pdfhost
