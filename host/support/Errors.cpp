#include "Errors.h"

#include <cstdio>
#include <cstring>

#include "support/Texts.h"

namespace pdfhost {

namespace {

struct ErrorTextRow {
  ASErrorCode code;
  const char* text;
};

const ErrorTextRow kErrorTexts[] = {
    {kASErrNone, "No error."},
    {kASErrGeneral, "An internal error occurred."},
    {kASErrNoMemory, "Out of memory."},
    {kASErrBadParameter, "A bad parameter was passed to the host."},
    {kASErrCancelled, "The operation was cancelled."},
    {kASErrNoMenubar, "The application has no menu bar."},
    {kASErrFileNotFound, "The file could not be found."},
    {kASErrFileOpen, "The file could not be opened."},
    {kASErrFileRead, "The file could not be read."},
    {kASErrFileWrite, "The file could not be written."},
    {kASErrFilePermission, "You do not have permission to access the file."},
    {kASErrDiskFull, "The disk is full."},
    {kASErrFileChanged, "The file was changed or replaced by another program since it was opened."},
    {kASErrFolderMissing, "The folder to save the file in does not exist."},
    {kASErrFolderPermission, "You do not have permission to save files in the folder."},
    {kASErrReadOnlyFileSystem, "The file system is read-only: nothing can be saved on it."},
    {kASErrFolderIsFile, "The folder to save the file in is a file, not a folder."},
    {kASErrFolderNotMade, "The folder to save the file in could not be made."},
    {kASErrDocDamaged, "The document is damaged and could not be repaired."},
    {kASErrDocEncrypted, "The document is encrypted and cannot be changed."},
    {kASErrDocNoFile, "The document has not been saved to a file yet."},
    {kASErrMetadata, "The document's metadata could not be read or written."},
    {kASErrDocRepaired,
     "The file had to be repaired to be read, so it is left as it is. Save a repaired copy of it "
     "with another program and open that."},
    {kASErrMetadataUnreadable,
     "The document's metadata cannot be read, so it is left as it is and the document is not "
     "saved."},
    {kASErrDocAmbiguous,
     "The document's catalog, which a save writes anew, names an entry twice in a way that PDF "
     "readers may read differently, so the file is left as it is. Save a corrected copy of it with "
     "another program and open that."},
    {kASErrFontNotFound, "The font could not be found."},
    {kASErrPageContent, "The page content could not be changed."},
};

}  // namespace

std::string errorText(ASErrorCode error, const std::string& detail)
{
  for (const auto& row : kErrorTexts)
    if (row.code == error)
      return detail.empty() ? row.text : row.text + (" " + detail);
  char text[64];
  std::snprintf(text, sizeof text, "An unknown error occurred (0x%08X).",
                static_cast<unsigned>(error));
  return text;
}

const char* copyErrorText(ASErrorCode error, const std::string& detail, char* buffer,
                          std::size_t bufferSize)
{
  if (buffer == nullptr || bufferSize == 0)
    return buffer;
  // A long path in the detail is shortened in its middle; no character is ever cut in two.
  std::string text = fitText(errorText(error, detail), bufferSize - 1);
  std::size_t length = text.size();
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return buffer;
}

HostError::HostError(ASErrorCode error) : std::runtime_error(errorText(error)), code_(error) {}

void ExceptionFrames::pushPluginFrame(void* record, ACRestoreProc restore)
{
  frames_.push_back(Frame{true, record, restore});
}

void ExceptionFrames::pop()
{
  if (!frames_.empty())
    frames_.pop_back();
}

void ExceptionFrames::truncate(std::size_t depth)
{
  if (frames_.size() > depth)
    frames_.resize(depth);
}

void ExceptionFrames::raise(ASErrorCode error, const std::string& detail)
{
  lastError_ = error;
  lastDetail_ = detail;
  bool toPlugin = !frames_.empty() && frames_.back().plugin && frames_.back().restore != nullptr;
  if (observer_)
    observer_(error, toPlugin);
  raiseInFlight_ = toPlugin;
  if (toPlugin)
    frames_.back().restore(frames_.back().record);  // throws to the plug-in's handler
  // No plug-in frame, or a restore procedure that returned: the host's frame takes it.
  throw HostError(error);
}

ExceptionFrames::HostFrame::HostFrame(ExceptionFrames& frames)
    : frames_(frames), depth_(frames.depth())
{
  frames_.frames_.push_back(Frame{false, nullptr, nullptr});
}

ExceptionFrames::HostFrame::~HostFrame()
{
  frames_.truncate(depth_);
}

}  // namespace pdfhost
