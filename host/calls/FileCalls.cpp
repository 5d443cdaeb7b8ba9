// The host's calls for files plug-ins open, and its open and save dialogs.
#include <cstring>

#include "calls/CallSupport.h"
#include "support/Texts.h"

namespace pdfhost {
namespace calls {

namespace {

ASFile requireOpenFile(ASFile file)
{
  if (file == nullptr || !host().openFiles.contains(file))
    host().frames.raise(kASErrBadParameter);
  return file;
}

// Runs a file operation, turning its failure into a host error.
template <typename Operation>
auto fileOperation(Operation&& operation)
{
  try {
    return operation();
  } catch (FileFailure& failure) {
    host().log.write("file error: " + std::string(failure.what()));
    host().frames.raise(failure.code());
  }
}

// What a dialog request says, in the host's own terms.
FileDialogRequest requestOf(AVOpenSaveDialogParams params, const char* defaultTitle)
{
  FileDialogRequest request;
  request.title = params->windowTitle != nullptr ? params->windowTitle->utf8 : defaultTitle;
  if (params->initialPathName != nullptr)
    request.startFolder = params->initialPathName->path;
  if (params->initialFileName != nullptr)
    request.suggestedName = params->initialFileName->utf8;
  for (ASUns16 i = 0; i < params->numFileFilters && params->fileFilters != nullptr; ++i) {
    AVFileFilterRecP filter = params->fileFilters[i];
    if (filter == nullptr)
      continue;
    FileFilter entry;
    entry.name = filter->filterDescription != nullptr ? filter->filterDescription->utf8 : "";
    for (ASUns16 k = 0; k < filter->numFileDescs && filter->fileDescs != nullptr; ++k) {
      std::string extension(filter->fileDescs[k].extension,
                            strnlen(filter->fileDescs[k].extension, sizeof filter->fileDescs[k].extension));
      if (extension.empty())
        continue;
      entry.patterns.push_back("*." + extension);
      std::string lower;
      for (char c : extension)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if (lower != extension)
        entry.patterns.push_back("*." + lower);
    }
    request.filters.push_back(entry);
  }
  return request;
}

}  // namespace

ASErrorCode ASFileSysOpenFile(ASFileSys fileSys, ASPathName path, ASFileMode mode, ASFile* file)
{
  requireFileSys(fileSys);
  requirePath(path);
  require(file);
  *file = nullptr;
  bool writing = (mode & ASFILE_WRITE) != 0;
  try {
    *file = host().openFiles.open(path->path, writing);
  } catch (FileFailure& failure) {
    host().log.write("file not opened: " + std::string(failure.what()));
    return failure.code();
  }
  return kASErrNone;
}

void ASFileSetPos(ASFile file, ASUns32 position)
{
  requireOpenFile(file);
  fileOperation([&] {
    host().openFiles.setPosition(file, position);
    return 0;
  });
}

ASUns32 ASFileRead(ASFile file, char* buffer, ASUns32 count)
{
  requireOpenFile(file);
  require(buffer);
  return static_cast<ASUns32>(
      fileOperation([&] { return host().openFiles.read(file, buffer, count); }));
}

ASUns32 ASFileWrite(ASFile file, const char* bytes, ASUns32 count)
{
  requireOpenFile(file);
  if (count > 0)
    require(bytes);
  fileOperation([&] {
    host().openFiles.write(file, bytes, count);
    return 0;
  });
  return count;
}

ASInt32 ASFileClose(ASFile file)
{
  requireOpenFile(file);
  fileOperation([&] {
    host().openFiles.close(file);
    return 0;
  });
  return kASErrNone;
}

ASBool AVAppOpenDialog(AVOpenSaveDialogParams params, ASFileSys* fileSys, ASPathName** paths,
                       ASUns16* numPaths, ASUns16* chosenFilterIndex)
{
  require(params);
  require(paths);
  auto chosen = host().chooseFileToOpen(requestOf(params, "Open"));
  *paths = nullptr;
  if (numPaths != nullptr)
    *numPaths = 0;
  if (!chosen)
    return false;
  // The caller releases each path and frees the array with ASfree.
  auto* array = static_cast<ASPathName*>(ASmalloc(sizeof(ASPathName)));
  array[0] = host().pathNames.acquire(absolutePath(*chosen));
  ++host().live.paths;
  *paths = array;
  if (numPaths != nullptr)
    *numPaths = 1;
  if (fileSys != nullptr)
    *fileSys = &host().defaultFileSys;
  if (chosenFilterIndex != nullptr)
    *chosenFilterIndex = 0;
  return true;
}

ASBool AVAppSaveDialog(AVOpenSaveDialogParams params, ASFileSys* fileSys, ASPathName* path,
                       ASUns16* chosenFilterIndex)
{
  require(params);
  require(path);
  auto chosen = host().chooseFileToSave(requestOf(params, "Save"));
  *path = nullptr;
  if (!chosen)
    return false;
  *path = host().pathNames.acquire(absolutePath(*chosen));
  ++host().live.paths;
  if (fileSys != nullptr)
    *fileSys = &host().defaultFileSys;
  if (chosenFilterIndex != nullptr)
    *chosenFilterIndex = 0;
  return true;
}

}  // namespace calls
}  // namespace pdfhost
