#include "Documents.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/Pl_Buffer.hh>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "FileSource.h"
#include "ReadWarnings.h"
#include "support/Errors.h"
#include "content/Pages.h"

// Pages handed out for the document outlive it only as orphans.
_t_PDDoc::~_t_PDDoc()
{
  pdfhost::content::forgetDocument(*this);
}

namespace pdfhost {

namespace {

// The packet of the catalog's metadata stream, decoded at every level qpdf can; nothing when
// there is none. A stream qpdf cannot decode, or decodes only with errors, gives nothing and says
// why in `unreadable`.
std::optional<std::string> readMetadata(QPDF& pdf, std::string* unreadable)
{
  unreadable->clear();
  QPDFObjectHandle stream = pdf.getRoot().getKey("/Metadata");
  if (stream.isNull())
    return std::nullopt;
  if (!stream.isStream()) {
    *unreadable = "the catalog's /Metadata is not a stream";
    return std::nullopt;
  }
  Pl_Buffer buffer("metadata");
  try {
    if (stream.pipeStreamData(&buffer, 0, qpdf_dl_all, true, false)) {
      std::unique_ptr<Buffer> data(buffer.getBuffer());
      return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    *unreadable = "its filters cannot be decoded";
  } catch (std::exception& e) {
    *unreadable = e.what();
  }
  return std::nullopt;
}

// Reads a file into a document; qpdf's exceptions say why it could not. Pages are looked up
// again only when a plug-in holds handles to some.
void readDocument(_t_PDDoc& doc, const std::string& path)
{
  std::string known = documentPath(path);
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  FileIdentity identity = FileIdentity::of(known);
  pdf->processInputSource(std::make_shared<FileSource>(known));
  // Told before the metadata is read: a metadata stream that does not decode is not a repair.
  // The catalog is read first, so that what qpdf makes of it is told with the file.
  pdf->getRoot();
  doc.damaged = hadToRepair(*pdf);
  doc.catalogConflict.clear();
  if (!doc.damaged && !pdf->isEncrypted()) {
    try {
      doc.catalogConflict = conflictingCatalogKey(*pdf, known);
    } catch (std::bad_alloc&) {
      throw;
    } catch (std::exception&) {
      // qpdf read a catalog that is not where the file says: it repaired the file.
      doc.damaged = true;
    }
  }
  doc.metadata = readMetadata(*pdf, &doc.metadataUnreadable);
  doc.editing.reset();
  doc.metadataWrittenByHost = false;
  doc.metadataChanged = false;
  doc.identity = identity;
  content::PagePositions pages = content::pagePositions(doc);
  doc.pdf = std::move(pdf);
  content::rebindPages(doc, pages);
  doc.path = known;
  // A plug-in may hold the file PDDocGetFile lent it: the same object names the new path.
  if (doc.file)
    doc.file->path = known;
  else
    doc.file = std::make_unique<_t_ASFile>(_t_ASFile{known});
}

}  // namespace

bool DocumentList::isDocumentFile(const _t_PDDoc& doc, const std::string& path)
{
  if (doc.path.empty())
    return false;
  if (documentPath(path) == doc.path)
    return true;  // even when the file is gone or was replaced: the save says so
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && info.st_dev == doc.identity.device &&
         info.st_ino == doc.identity.inode;
}

void DocumentList::reload(_t_PDDoc& doc, const std::string& path)
{
  try {
    readDocument(doc, path);
  } catch (SaveFailure&) {
    throw;
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception& e) {
    throw SaveFailure(kASErrDocDamaged, path + " cannot be read back: " + e.what());
  }
}

void DocumentList::updated(_t_PDDoc& doc, const FileIdentity& identity)
{
  doc.editing.reset();
  doc.metadataWrittenByHost = false;
  doc.metadataChanged = false;
  doc.identity = identity;
}

AVDoc DocumentList::open(const std::string& path, OpenFailure* failure)
{
  // Anywhere in the open, whatever reported it: the host's memory error, not a word on the file.
  try {
    return openFile(path, failure);
  } catch (std::bad_alloc&) {
    if (failure != nullptr)
      failure->message = path + ": " + errorText(kASErrNoMemory);
    return nullptr;
  }
}

AVDoc DocumentList::openFile(const std::string& path, OpenFailure* failure)
{
  auto fail = [&](const std::string& why) -> AVDoc {
    if (failure != nullptr)
      failure->message = path + ": " + why;
    return nullptr;
  };
  // Told apart before qpdf sees the file, in words about the file itself.
  ReadRefusal refusal = ReadRefusal::kNone;
  int probe = openRegularFile(path, &refusal);
  switch (refusal) {
    case ReadRefusal::kNone:
      ::close(probe);
      break;
    case ReadRefusal::kMissing:
      return fail(std::strerror(errno));
    case ReadRefusal::kFolder:
      return fail("is a folder, not a PDF file");
    case ReadRefusal::kNotRegular:
      return fail("is not a regular file, not a PDF file");
    case ReadRefusal::kUnreadable:
      return fail(std::string("cannot be read (") + std::strerror(errno) + ")");
  }
  // The host knows a document by its absolute path, which the system must be able to take.
  std::size_t absoluteLength = documentPath(path).size();
  if (absoluteLength >= PATH_MAX)
    return fail("cannot be opened: its absolute path is " + std::to_string(absoluteLength) +
                " bytes long, longer than the system's limit of " + std::to_string(PATH_MAX - 1));
  auto pdDoc = std::make_unique<_t_PDDoc>();
  try {
    readDocument(*pdDoc, path);
    // A file qpdf could only "recover" without a single page is not an ad.
    if (pdDoc->pdf->getRoot().getKey("/Pages").isNull())
      return fail("not a PDF file (no pages)");
  } catch (QPDFExc& e) {
    if (e.getErrorCode() == qpdf_e_password)
      return fail("is protected by a password and cannot be opened");
    return fail(std::string("not a PDF file (") + e.getMessageDetail() + ")");
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception& e) {
    return fail(std::string("not a PDF file (") + e.what() + ")");
  }
  auto doc = std::make_unique<_t_AVDoc>();
  doc->pdDoc = std::move(pdDoc);
  docs_.push_back(std::move(doc));
  return docs_.back().get();
}

void DocumentList::close(AVDoc doc)
{
  for (auto* list : {&docs_, &hidden_})
    list->erase(std::remove_if(list->begin(), list->end(),
                               [doc](const std::unique_ptr<_t_AVDoc>& d) { return d.get() == doc; }),
                list->end());
}

void DocumentList::closeAll()
{
  docs_.clear();
  hidden_.clear();
  withoutView_.clear();
}

PDDoc DocumentList::create()
{
  auto doc = std::make_unique<_t_PDDoc>();
  doc->pdf = std::make_unique<QPDF>();
  doc->pdf->emptyPDF();
  doc->made = true;
  withoutView_.push_back(std::move(doc));
  return withoutView_.back().get();
}

bool DocumentList::isWithoutView(PDDoc doc) const
{
  return std::any_of(withoutView_.begin(), withoutView_.end(),
                     [doc](const std::unique_ptr<_t_PDDoc>& d) { return d.get() == doc; });
}

bool DocumentList::releaseMade(PDDoc doc)
{
  auto found = std::find_if(withoutView_.begin(), withoutView_.end(),
                            [doc](const std::unique_ptr<_t_PDDoc>& d) { return d.get() == doc; });
  if (found == withoutView_.end())
    return false;
  withoutView_.erase(found);
  return true;
}

AVDoc DocumentList::openView(PDDoc doc, bool visible)
{
  auto found = std::find_if(withoutView_.begin(), withoutView_.end(),
                            [doc](const std::unique_ptr<_t_PDDoc>& d) { return d.get() == doc; });
  if (found == withoutView_.end())
    return nullptr;
  auto view = std::make_unique<_t_AVDoc>();
  view->pdDoc = std::move(*found);
  view->visible = visible;
  withoutView_.erase(found);
  auto& list = visible ? docs_ : hidden_;
  list.push_back(std::move(view));
  return list.back().get();
}

std::vector<AVDoc> DocumentList::all() const
{
  std::vector<AVDoc> docs;
  for (const auto& doc : docs_)
    docs.push_back(doc.get());
  return docs;
}

bool DocumentList::contains(AVDoc doc) const
{
  auto isIt = [doc](const std::unique_ptr<_t_AVDoc>& d) { return d.get() == doc; };
  return std::any_of(docs_.begin(), docs_.end(), isIt) ||
         std::any_of(hidden_.begin(), hidden_.end(), isIt);
}

bool DocumentList::holds(PDDoc doc) const
{
  auto shows = [doc](const std::unique_ptr<_t_AVDoc>& d) { return d->pdDoc.get() == doc; };
  return std::any_of(docs_.begin(), docs_.end(), shows) ||
         std::any_of(hidden_.begin(), hidden_.end(), shows) || isWithoutView(doc);
}

}  // namespace pdfhost
