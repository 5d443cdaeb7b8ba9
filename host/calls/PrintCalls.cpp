// The host's calls for views of new documents and printing (AcroView), and the path names and
// file system a plug-in saves them with (AcroSupport, ASExtra).
#include <memory>
#include <stdexcept>

#include "calls/CallSupport.h"
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

// A temporary copy of a document for a print job, written through checked writes (a full disk
// fails the job rather than printing half a document); removed when dropped.
class PrintCopy {
 public:
  explicit PrintCopy(_t_PDDoc& doc) : file_("/tmp", "the print copy")
  {
    writeWholePdf(*doc.pdf, host().pages.pdfVersionNeeded(doc),
                  [this](const char* bytes, std::size_t count) { file_.write(bytes, count); });
    file_.finish();
  }
  const std::string& path() const { return file_.path(); }

 private:
  TemporaryFile file_;
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
  _t_PDDoc& document = *view->pdDoc;
  // A document as it was saved is printed from its file; one changed since, from a copy.
  bool saved = !document.path.empty() && !document.metadataChanged &&
               !host().pages.changedSinceRead(document);
  std::unique_ptr<PrintCopy> copy;
  if (!saved) {
    try {
      copy = std::make_unique<PrintCopy>(document);
    } catch (std::exception& failure) {
      host().log.write("print job: " + titleOf(view) + " failed: " + failure.what());
      host().alertNote("The document could not be printed: " + std::string(failure.what()));
      return;
    }
  }
  host().printDocument(PrintRequest{titleOf(view), saved ? document.path : copy->path()});
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
    if (!prepareSharedFolder(&why))
      host().log.write("shared folder missing: " + why);
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
