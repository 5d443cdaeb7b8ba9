#include "SharedFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

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
    data = environment("HOME") + "/.local/share";
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
  if (why != nullptr)
    *why = folder + ": " + (error ? error.message() : std::string("no such folder"));
  return false;
}

std::string folderProblem(const std::string& path, bool* missing)
{
  std::string folder = std::filesystem::path(absolutePath(path)).parent_path().string();
  *missing = false;
  std::error_code error;
  bool isFolder = std::filesystem::is_directory(folder, error);
  if (error == std::errc::permission_denied)
    return folder + ": " + error.message();
  if (!isFolder) {
    *missing = true;
    return folder + ": no such folder";
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return folder + ": " + std::strerror(errno);
  return "";
}

}  // namespace pdfhost
