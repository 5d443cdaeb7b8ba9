// The host's calls for views of new documents and printing (AcroView), and the path names and
// file system a plug-in saves them with (AcroSupport, ASExtra).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "calls/CallSupport.h"
#include "documents/Files.h"
#include "documents/IncrementalSave.h"
#include "documents/ReplaceFile.h"
#include "documents/SharedFolder.h"
#include "documents/WholePdf.h"
#include "support/Texts.h"

namespace pdfhost {
namespace calls {

namespace {

AVDoc openView(AVDoc view, const char* call)
{
  if (view == nullptr || !host().documents.contains(view))
    refuse(call, "not an open view");
  return view;
}

std::string titleOf(AVDoc view)
{
  const std::string& path = view->pdDoc->path;
  if (!path.empty())
    return path.substr(path.find_last_of('/') + 1);
  return view->title.empty() ? "Untitled" : view->title;
}

// The system's folder for temporary files: TMPDIR when it names one, else /tmp.
std::string temporaryFolder()
{
  const char* chosen = std::getenv("TMPDIR");
  return chosen != nullptr && chosen[0] == '/' ? chosen : "/tmp";
}

// What a print job reads: a descriptor taken before the print dialog opens, so that whatever
// another process puts at the document's path meanwhile is never printed. Closed when dropped.
class PrintSource {
 public:
  explicit PrintSource(_t_PDDoc& doc)
  {
    // A document as it was saved is read from its file, if that is still the file it read.
    bool saved = !doc.path.empty() && !doc.metadataChanged && !host().pages.changedSinceRead(doc);
    if (saved && openSavedFile(doc)) return;
    // Otherwise from a copy of its own: written through checked writes (a full disk fails the
    // job rather than printing half a document), and removed from its folder as soon as it is
    // open, so that a run killed during the dialog leaves nothing behind. A copy killed while
    // it was written is swept by a later print, as saves sweep theirs.
    std::string folder = temporaryFolder();
    removeStaleTemporaryFiles(folder);
    TemporaryFile copy(folder, "the print copy");
    writeWholePdf(*doc.pdf, host().pages.pdfVersionNeeded(doc),
                  [&copy](const char* bytes, std::size_t count) { copy.write(bytes, count); });
    copy.finish();
    ReadRefusal refusal = ReadRefusal::kNone;
    descriptor_ = openRegularFile(copy.path(), &refusal);
    if (descriptor_ < 0) throw FileFailure(kASErrFileRead, "the print copy cannot be read back");
  }
  ~PrintSource()
  {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  PrintSource(const PrintSource&) = delete;
  PrintSource& operator=(const PrintSource&) = delete;

  int descriptor() const { return descriptor_; }

 private:
  bool openSavedFile(const _t_PDDoc& doc)
  {
    ReadRefusal refusal = ReadRefusal::kNone;
    int fd = openRegularFile(doc.path, &refusal);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && FileIdentity::of(info) == doc.identity) {
      descriptor_ = fd;
      return true;
    }
    if (fd >= 0) ::close(fd);
    return false;
  }

  int descriptor_ = -1;
};

}  // namespace

// ACROVIEW: views of documents, printing

AVDoc AVDocOpenFromPDDocWithParams(PDDoc doc, ASText tempTitle, AVDocOpenParams params)
{
  const char* call = "AVDocOpenFromPDDocWithParams";
  if (doc == nullptr || !host().documents.isWithoutView(doc))
    refuse(call, "not a document without a view");
  if (params != nullptr && params->size < sizeof(AVDocOpenParamsRec))
    refuse(call, "open parameters of " + std::to_string(params->size) + " bytes");
  bool visible = !(params != nullptr && params->useVisible && !params->visible);
  AVDoc view = host().documents.openView(doc, visible);
  if (tempTitle != nullptr)
    view->title = tempTitle->utf8;
  ++host().live.views;
  host().log.write("view opened: " + titleOf(view) + (visible ? "" : " (without a window)"));
  return view;
}

void AVDocDoPrint(AVDoc doc)
{
  AVDoc view = openView(doc, "AVDocDoPrint");
  std::unique_ptr<PrintSource> source;
  try {
    source = std::make_unique<PrintSource>(*view->pdDoc);
  } catch (std::exception& failure) {
    host().log.write("print job: " + titleOf(view) + " failed: " + failure.what());
    host().alertNote("The document could not be printed: " + std::string(failure.what()));
    return;
  }
  host().printDocument(PrintRequest{titleOf(view), source->descriptor()});
}

ASBool AVDocClose(AVDoc doc, ASBool /*noSave*/)
{
  AVDoc view = openView(doc, "AVDocClose");
  // This host asks nothing on closing: changes not saved are dropped with the document.
  std::string title = titleOf(view);
  bool counted = view->pdDoc->made;
  host().documents.close(view);
  if (counted)
    --host().live.views;
  host().log.write("view closed: " + title);
  return kASTrue;
}

// ACROSUPPORT, ASEXTRA: path names and the file system

ASPathName ASFileSysCreatePathName(ASFileSys fileSys, ASAtom pathSpecType, const void* pathSpec,
                                   const void* /*mustBeZero*/)
{
  const char* call = "ASFileSysCreatePathName";
  requireFileSys(fileSys);
  const char* type = host().atoms.name(pathSpecType);
  if (type == nullptr || std::string(type) != "POSIXPath")
    refuse(call, "path type " + std::string(type != nullptr ? type : "?"));
  if (pathSpec == nullptr)
    refuse(call, "no path");
  std::string posix = static_cast<const char*>(pathSpec);
  if (posix.empty())
    refuse(call, "an empty path");
  bool shared = false;
  std::string path = hostPathOfPosixPath(posix, &shared);
  if (shared) {
    std::string why;
    if (!prepareSharedFolder(&why)) host().log.write("shared folder not usable: " + why);
    host().log.write("shared folder: " + posix + " -> " + path);
  }
  ++host().live.paths;
  return host().pathNames.acquire(path);
}

ASFileSys ASGetDefaultUnicodeFileSys(void)
{
  // The host's one file system takes UTF-8 paths: it is its Unicode file system too.
  return &host().defaultFileSys;
}

}  // namespace calls
}  // namespace pdfhost
