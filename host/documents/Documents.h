// Documents the host has open: a PDF document (PDDoc) read with qpdf, and the view of it the
// user works in (AVDoc). The last document opened is the active one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ASTypes.h"
#include "Files.h"
#include "IncrementalSave.h"
#include "XmpPacket.h"

class QPDF;

struct _t_PDDoc {
  // The file it was read from (absolute, see documentPath); empty for a document never saved.
  std::string path;
  std::unique_ptr<_t_ASFile> file;  // that file as PDDocGetFile lends it; null when path is empty
  std::unique_ptr<QPDF> pdf;
  // The XMP packet as the host holds it: the catalog's metadata stream decoded, or the packet a
  // plug-in set or the host wrote last, until a save writes it. Nothing when there is none.
  std::optional<std::string> metadata;
  // The packet with the property calls made since `metadata` was read or set, applied one by one;
  // written out into `metadata` at the next read of the packet or save. Null when there are none.
  // It borrows `metadata`, which stays unchanged while it lives.
  std::unique_ptr<pdfhost::XmpEditor> editing;
  bool metadataChanged = false;
  bool metadataWrittenByHost = false;  // `metadata` is the host's own writing of the packet
  // Why the catalog's metadata stream cannot be decoded; empty when it can or there is none. Such
  // a stream is never replaced.
  std::string metadataUnreadable;
  // The file as it was read: a save compares it to tell that a path names this document's file
  // and that the file is unchanged.
  pdfhost::FileIdentity identity;
  bool damaged = false;            // qpdf had to repair the file to read it
  // How a save in place would change what some readers see: the catalog, which the save writes
  // anew, names this key twice (see conflictingCatalogKey); empty when it does not.
  std::string catalogConflict;
  bool made = false;               // made by PDDocCreate, not read from a file
  ~_t_PDDoc();
};

struct _t_AVDoc {
  std::unique_ptr<_t_PDDoc> pdDoc;
  bool visible = true;  // false: opened without a window; never the active document
  std::string title;    // the name a view opened on a document without a file goes by
};

namespace pdfhost {

// Why a file could not be opened as a document.
struct OpenFailure {
  std::string message;  // one line that names the file
};

class DocumentList {
 public:
  // Opens a PDF file as the new active document. On failure nothing is added and the reason is
  // returned (the host's memory error when memory ran out); nothing is written to the file
  // either way.
  AVDoc open(const std::string& path, OpenFailure* failure);
  // Reads a document's file again after a save to `path`, which becomes its file. Throws
  // SaveFailure when the saved file cannot be read back.
  void reload(_t_PDDoc& doc, const std::string& path);
  // A document whose file an update was appended to, or left as it was: the host's own state
  // stands for the file as it now is (`identity`), without reading it again, and a save that
  // happened is never reported as a failure of reading it back.
  static void updated(_t_PDDoc& doc, const FileIdentity& identity);
  // Whether a path names the document's own file: the path it is known by, or any other path to
  // the same file (device and inode), through links, `..` or a relative path.
  static bool isDocumentFile(const _t_PDDoc& doc, const std::string& path);
  // Closes a document; the one opened before it becomes active. Unknown documents are ignored.
  void close(AVDoc doc);
  void closeAll();

  // DOCUMENTS WITHOUT A VIEW
  // A new, empty document (no pages, no file) that no view shows yet. The caller holds it until
  // it releases it or hands it to a view.
  PDDoc create();
  // Closes a document that create() made and no view has taken; false for any other.
  bool releaseMade(PDDoc doc);
  bool isWithoutView(PDDoc doc) const;
  // Hands a document without a view to a new view, which then owns it. A visible view becomes
  // the active document; a hidden one never does. Null for a document that is not without a
  // view.
  AVDoc openView(PDDoc doc, bool visible);

  // The active document, or null when none is open.
  AVDoc active() const { return docs_.empty() ? nullptr : docs_.back().get(); }
  // Whether a view is open, shown or hidden.
  bool contains(AVDoc doc) const;
  // Whether a document is open: one a view shows (or hides), or one without a view.
  bool holds(PDDoc doc) const;
  // The documents shown in a window.
  std::size_t count() const { return docs_.size(); }
  // The open documents, oldest first; the last one is the active one. Borrowed.
  std::vector<AVDoc> all() const;

 private:
  AVDoc openFile(const std::string& path, OpenFailure* failure);

  std::vector<std::unique_ptr<_t_AVDoc>> docs_;
  std::vector<std::unique_ptr<_t_AVDoc>> hidden_;
  std::vector<std::unique_ptr<_t_PDDoc>> withoutView_;
};

}  // namespace pdfhost
