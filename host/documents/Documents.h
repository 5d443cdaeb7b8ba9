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

class QPDF;

struct _t_PDDoc {
  std::string path;  // the file it was read from; empty for a document never saved
  std::unique_ptr<_t_ASFile> file;  // that file as PDDocGetFile lends it; null when path is empty
  std::unique_ptr<QPDF> pdf;
  // The XMP packet as the host holds it: read from the catalog's metadata stream, then edited in
  // memory until a save writes it. Nothing when the document has none.
  std::optional<std::string> metadata;
  bool metadataChanged = false;
  pdfhost::FileIdentity identity;  // the file as it was read, so a save can tell it is unchanged
  bool damaged = false;            // qpdf had to repair the file to read it
  ~_t_PDDoc();
};

struct _t_AVDoc {
  std::unique_ptr<_t_PDDoc> pdDoc;
};

namespace pdfhost {

// Why a file could not be opened as a document.
struct OpenFailure {
  std::string message;  // one line that names the file
};

class DocumentList {
 public:
  // Opens a PDF file as the new active document. On failure nothing is added and the reason is
  // returned; nothing is written to the file either way.
  AVDoc open(const std::string& path, OpenFailure* failure);
  // Reads a document's file again after a save to `path`, which becomes its file. Throws
  // SaveFailure when the saved file cannot be read back.
  void reload(_t_PDDoc& doc, const std::string& path);
  // Closes a document; the one opened before it becomes active. Unknown documents are ignored.
  void close(AVDoc doc);
  void closeAll() { docs_.clear(); }
  // The active document, or null when none is open.
  AVDoc active() const { return docs_.empty() ? nullptr : docs_.back().get(); }
  bool contains(AVDoc doc) const;
  // Whether a document is one of the open documents' own.
  bool holds(PDDoc doc) const;
  std::size_t count() const { return docs_.size(); }
  // The open documents, oldest first; the last one is the active one. Borrowed.
  std::vector<AVDoc> all() const;

 private:
  std::vector<std::unique_ptr<_t_AVDoc>> docs_;
};

}  // namespace pdfhost
