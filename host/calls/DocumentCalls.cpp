// The host's calls of the PDModel and PDMetadata tables, and the texts of packets: documents,
// their files, their XMP metadata, and saving.
#include <qpdf/QPDF.hh>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "calls/CallSupport.h"
#include "documents/IncrementalSave.h"
#include "documents/ReadWarnings.h"
#include "documents/ReplaceFile.h"
#include "documents/SharedFolder.h"
#include "documents/WholePdf.h"
#include "documents/XmpPacket.h"
#include "support/Texts.h"

namespace pdfhost {
namespace calls {

namespace {

_t_PDDoc& documentOf(PDDoc doc)
{
  if (doc == nullptr || !host().documents.holds(doc))
    host().frames.raise(kASErrBadParameter);
  return *doc;
}

const std::string& textOf(ASText text)
{
  if (text == nullptr)
    host().frames.raise(kASErrBadParameter);
  return text->utf8;
}

[[noreturn]] void raiseSaveFailure(const SaveFailure& failure)
{
  host().log.write("save failed: " + std::string(failure.what()));
  host().frames.raise(failure.code(), failure.detail());
}

// Names the folder that holds `target`; the shared folder's name comes with the setting that
// chooses it, since that is what a user changes.
std::string folderDetail(const std::string& target)
{
  std::string folder = std::filesystem::path(absolutePath(target)).parent_path().string();
  if (folder == sharedFolder())
    return "The folder is " + folder +
           ", the shared folder; the environment variable PDFHOST_SHARED_DIR chooses it.";
  return "The folder is " + folder + ".";
}

// Writes the whole document in place of the target (see ReplacementFile): a crash, a full disk
// or a planted link never costs the file that was there.
void saveWhole(_t_PDDoc& doc, const std::string& target)
{
  ASErrorCode folderError = kASErrNone;
  std::string problem = folderProblem(target, &folderError);
  if (!problem.empty()) throw SaveFailure(folderError, problem, folderDetail(target));
  // The shared folder is others' to write: a link found there was planted, and is replaced.
  bool shared = absolutePath(target).rfind(sharedFolder() + "/", 0) == 0;
  ReplacementFile file(target, shared ? ReplacementFile::Links::kReplace
                                      : ReplacementFile::Links::kFollow);
  QPDF& pdf = *doc.pdf;
  if (doc.metadata) {
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, *doc.metadata);
    stream.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
    stream.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
    pdf.getRoot().replaceKey("/Metadata", stream);
  }
  try {
    writeWholePdf(pdf, host().pages.pdfVersionNeeded(doc),
                  [&](const char* bytes, std::size_t count) { file.write(bytes, count); });
  } catch (FileFailure&) {
    throw;
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception& e) {
    throw SaveFailure(kASErrFileWrite, target + ": " + e.what());
  }
  file.commit(checkPdfReadsBack);
}

[[noreturn]] void refuseMetadata(const XmpFailure& failure)
{
  host().log.write("metadata refused: " + std::string(failure.what()));
  host().frames.raise(kASErrMetadata);
}

// A metadata stream the host could not decode is never replaced.
void requireReadableMetadata(const _t_PDDoc& document)
{
  if (document.metadataUnreadable.empty())
    return;
  host().log.write("metadata refused: the metadata stream of " + document.path +
                   " cannot be read: " + document.metadataUnreadable);
  host().frames.raise(kASErrMetadataUnreadable);
}

// The catalog entry that refuses a save in place, in the user's words.
std::string catalogConflictDetail(const _t_PDDoc& document)
{
  return "The entry is " + document.catalogConflict + ".";
}

// A document read from a file whose state makes a save in place impossible refuses a change of
// its metadata at the first property call, before anything else is asked of the user.
void requireSavableInPlace(const _t_PDDoc& document)
{
  if (document.path.empty())
    return;
  ASErrorCode refusal = document.pdf->isEncrypted()             ? kASErrDocEncrypted
                        : document.damaged                       ? kASErrDocRepaired
                        : !document.catalogConflict.empty()      ? kASErrDocAmbiguous
                                                                 : kASErrNone;
  if (refusal == kASErrNone)
    return;
  host().log.write("metadata refused: " + document.path + " cannot be saved in place: " +
                   errorText(refusal));
  host().frames.raise(refusal,
                      refusal == kASErrDocAmbiguous ? catalogConflictDetail(document) : "");
}

// The document's packet as it stands: the property calls made since it was read or set, written
// out once. A packet that cannot be written raises the metadata alert; the calls stay applied.
const std::optional<std::string>& currentMetadata(_t_PDDoc& document)
{
  if (!document.editing)
    return document.metadata;
  try {
    document.metadata = document.editing->write();
  } catch (XmpFailure& failure) {
    refuseMetadata(failure);
  }
  document.editing.reset();
  document.metadataWrittenByHost = true;
  return document.metadata;
}

}  // namespace

// PDMETADATA
ASText PDDocGetXAPMetadata(PDDoc doc)
{
  _t_PDDoc& document = documentOf(doc);
  const std::optional<std::string>& metadata = currentMetadata(document);
  if (!metadata)
    return nullptr;
  ASText text = ASTextNew();
  // The plug-in reads UTF-8, whatever encoding the document's stream is in.
  text->utf8 = document.metadataWrittenByHost ? *metadata : packetAsUtf8(*metadata);
  return text;
}

void PDDocSetXAPMetadata(PDDoc doc, ASText packet)
{
  _t_PDDoc& document = documentOf(doc);
  const std::string& text = textOf(packet);
  requireReadableMetadata(document);
  // The host's own writing handed back unchanged needs no second check.
  bool own = document.metadataWrittenByHost && document.metadata && *document.metadata == text;
  if (!own) {
    try {
      checkXmpPacket(text);
    } catch (XmpFailure& failure) {
      refuseMetadata(failure);
    }
  }
  // The packet replaces whatever the property calls before it set.
  document.editing.reset();
  document.metadata = text;
  document.metadataWrittenByHost = own;
  document.metadataChanged = true;
}

void PDDocSetXAPMetadataProperty(PDDoc doc, ASText namespaceUri, ASText prefix, ASText name,
                                 ASText value)
{
  _t_PDDoc& document = documentOf(doc);
  XmpProperty property{textOf(namespaceUri), textOf(prefix), textOf(name), textOf(value)};
  requireReadableMetadata(document);
  requireSavableInPlace(document);
  // The packet is read at the first call; each call is applied as it is made, so one that
  // cannot be raises here and the calls before it stay applied.
  try {
    static const std::string kNoPacket;
    if (!document.editing)
      document.editing =
          std::make_unique<XmpEditor>(document.metadata ? *document.metadata : kNoPacket);
    document.editing->set(property);
  } catch (XmpFailure& failure) {
    refuseMetadata(failure);
  }
  document.metadataChanged = true;
}

// ASEXTRA
char* ASTextGetPDTextCopy(ASText text, ASInt32* length)
{
  const std::string& bytes = textOf(text);
  auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (copy == nullptr)
    host().frames.raise(kASErrNoMemory);
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  if (length != nullptr)
    *length = static_cast<ASInt32>(bytes.size());
  return copy;
}

// PDMODEL
void PDDocSave(PDDoc doc, PDSaveFlags flags, ASPathName path, ASFileSys /*fileSys*/,
               void* /*progressMonitor*/, void* /*monitorData*/)
{
  _t_PDDoc& document = documentOf(doc);
  std::string target = path != nullptr ? path->path : document.path;
  if (target.empty())
    host().frames.raise(kASErrDocNoFile);
  if (document.pdf->isEncrypted())
    host().frames.raise(kASErrDocEncrypted);
  // Flags 0 on the document's own file, however the path names it, is an update in place or a
  // refusal that leaves the file as it is; never a new file.
  bool incremental = (flags & PDSaveFull) == 0 && DocumentList::isDocumentFile(document, target);
  const std::optional<std::string>& metadata = currentMetadata(document);
  AppendedUpdate appended;
  try {
    if (incremental) {
      if (document.damaged || hadToRepair(*document.pdf))
        throw SaveFailure(kASErrDocRepaired, document.path + " was repaired when it was read");
      if (!document.catalogConflict.empty())
        throw SaveFailure(kASErrDocAmbiguous,
                          document.path + ": the catalog names " + document.catalogConflict +
                              " twice, not alike",
                          catalogConflictDetail(document));
      // The update checks itself that the file is still the one read; with nothing to write,
      // the save still refuses a file that changed or went away.
      if (document.metadataChanged)
        appended = appendMetadataUpdate(*document.pdf, document.path, document.identity,
                                       metadata.value_or(""));
      else if (!(FileIdentity::of(document.path) == document.identity))
        throw SaveFailure(kASErrFileChanged, document.path + " changed since it was opened");
      target = document.path;
    } else {
      saveWhole(document, target);
    }
    if (appended.cutBack)
      host().log.write("an unfinished save was cut off first: " + target);
    // After an update the document is what the host holds, the file being read only for what
    // was already there; a whole file written anew is read again.
    if (incremental)
      DocumentList::updated(document, document.metadataChanged ? appended.identity
                                                               : document.identity);
    else
      host().documents.reload(document, target);
  } catch (SaveFailure& failure) {
    raiseSaveFailure(failure);
  } catch (std::bad_alloc&) {
    throw;  // the memory error, at the call's boundary
  } catch (std::exception& e) {
    raiseSaveFailure(SaveFailure(kASErrFileRead, e.what()));
  }
  host().log.write(std::string(incremental ? "document saved incrementally: " : "document saved: ") +
                   target);
}

// PDMODEL
ASFile PDDocGetFile(PDDoc doc)
{
  require(doc);
  if (!host().documents.holds(doc))
    host().frames.raise(kASErrBadParameter);
  return doc->file.get();
}

}  // namespace calls
}  // namespace pdfhost
