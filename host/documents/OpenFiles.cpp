#include "OpenFiles.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
  if (writing) {
    auto replacement = std::make_unique<ReplacementFile>(path, ReplacementFile::Links::kFollow);
    file->descriptor = replacement->descriptor();
    file->temporary = replacement->temporaryPath();
    replacements_[file.get()] = std::move(replacement);
  } else {
    ReadRefusal refusal = ReadRefusal::kNone;
    file->descriptor = openRegularFile(path, &refusal);
    if (refusal == ReadRefusal::kFolder)
      throw FileFailure(kASErrFileOpen, path + " is a folder");
    if (refusal == ReadRefusal::kNotRegular)
      throw FileFailure(kASErrFileOpen, path + " is not a regular file");
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
  try {
    replacements_.at(file)->write(bytes, count);
  } catch (FileFailure&) {
    file->failed = true;
    throw;
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
  // Dropped on every path: an unfinished replacement removes its temporary file.
  std::unique_ptr<ReplacementFile> replacement = std::move(replacements_.at(handle));
  replacements_.erase(handle);
  if (!file->failed)
    replacement->commit();
}

bool OpenFiles::contains(ASFile file) const
{
  return std::any_of(files_.begin(), files_.end(),
                     [file](const std::unique_ptr<_t_ASFile>& f) { return f.get() == file; });
}

void OpenFiles::closeAll()
{
  for (auto& file : files_)
    if (!file->writing)
      ::close(file->descriptor);
  replacements_.clear();
  files_.clear();
}

}  // namespace pdfhost
