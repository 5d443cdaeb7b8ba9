// Saving a document's new XMP metadata as an incremental update: the file's bytes stay as they
// are and the changed objects are appended with a cross-reference section of the file's own kind.
#pragma once

#include <string>

#include "UpdateWriter.h"

class QPDF;

namespace pdfhost {

// A save that did not happen; the code is the host error to raise.
using SaveFailure = FileFailure;

// Appends to the file at `path` (the one `pdf` was read from, still as `identity` says) an update
// that gives the document `packet` as its XMP metadata: a new metadata stream and a new version
// of the catalog pointing at it (the old stream is left to any other object using it), then one
// cross-reference section covering only those objects, with /Prev, /Size, /Root and the original
// /Info and /ID, then startxref and %%EOF. Offsets count from the header qpdf found. Refused
// (SaveFailure, the file byte-identical): another save holds the file, the file changed, qpdf had
// to repair it at any point, or qpdf would not read the update as it is meant without a warning.
// An unfinished update of ours is cut off only when the bytes before it read as a whole document.
// A kill or a failure leaves the file as it was or with the whole update (see UpdateWriter).
struct AppendedUpdate {
  bool cutBack = false;    // an update a killed save left unfinished was cut off first
  FileIdentity identity;   // the file as the update left it
};

// The trailer `pdf` holds is brought up to the update's (/Size), so that `pdf` serves the next
// save without reading the file again.
AppendedUpdate appendMetadataUpdate(QPDF& pdf, const std::string& path, const FileIdentity& identity,
                          const std::string& packet);

}  // namespace pdfhost
