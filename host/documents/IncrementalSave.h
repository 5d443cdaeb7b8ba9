// Saving a document's new XMP metadata as an incremental update: the file's bytes stay as they
// are and the changed objects are appended with a cross-reference section of the file's own kind.
#pragma once

#include <string>
#include <sys/stat.h>

#include "FileErrors.h"

class QPDF;

namespace pdfhost {

// A save that did not happen; the code is the host error to raise.
using SaveFailure = FileFailure;

// What a file was when the host read it, so a save can tell that it is still that file.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified {};

  // The identity of the file at a path now; throws SaveFailure when there is none.
  static FileIdentity of(const std::string& path);
  bool operator==(const FileIdentity& other) const;
};

// Appends to the file at `path` (the one `pdf` was read from, still as `identity` says) an update
// that gives the document `packet` as its XMP metadata: a new metadata stream and a new version
// of the catalog pointing at it (the old stream is left to any other object using it), then one
// cross-reference section covering only those objects, with /Prev, /Size, /Root and the original
// /Info and /ID, then startxref and %%EOF. On any failure the file is cut back to its original
// length, so it stays byte-identical, and SaveFailure says why.
void appendMetadataUpdate(QPDF& pdf, const std::string& path, const FileIdentity& identity,
                          const std::string& packet);

}  // namespace pdfhost
