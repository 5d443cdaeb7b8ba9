// Writing an update at the end of a document's file: one writer at a time, and whole or not at
// all. A kill at any moment leaves a file that every reader reads as before or with the whole
// update, and any failure the writer sees cuts the file back to its original length.
#pragma once

#include <sys/stat.h>

#include <string>

#include "FileErrors.h"

namespace pdfhost {

// What a file was when the host read it, so a save can tell that it is still that file.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified {};

  // The identity of the file at a path now; throws FileFailure when there is none.
  static FileIdentity of(const std::string& path);
  // The identity of an open file.
  static FileIdentity of(const struct stat& info);
  bool operator==(const FileIdentity& other) const;
};

// An update laid out to be appended: the bytes, and where in them the tail that makes it count
// (its startxref and %%EOF) begins.
struct LaidOutUpdate {
  std::string bytes;
  std::size_t tailAt = 0;
  std::string pendingTail;  // what stands at tailAt until every byte before it is on disk
};

class UpdateWriter {
 public:
  // Opens `path` for writing and takes an advisory write lock on it (an open-file-description
  // lock: no other descriptor of this process can drop it); then checks, on the locked
  // descriptor, that the file is still as `identity` says, that `path` still names it, and that
  // it may be written. Throws FileFailure: kASErrFileChanged when another save holds the lock or
  // the file changed; the file is not touched either way. The lock lasts until destruction.
  // Where the file system gives no locks (NFS without a lock daemon, some FUSE and SMB mounts),
  // a lock file beside the document, made with O_EXCL, takes the lock's place.
  UpdateWriter(const std::string& path, const FileIdentity& identity);
  ~UpdateWriter();
  UpdateWriter(const UpdateWriter&) = delete;
  UpdateWriter& operator=(const UpdateWriter&) = delete;

  int descriptor() const { return fd_; }
  // Up to `length` bytes of the file at `offset`; fewer at its end or on a failed read.
  std::string read(off_t offset, std::size_t length) const;
  // Where the file's own bytes end: its size, less an update of ours that a kill left unfinished
  // (its bytes are unreachable from any cross-reference and are cut when the update is written).
  off_t contentLength() const { return contentLength_; }
  bool foundUnfinishedUpdate() const { return contentLength_ != size_; }
  // For a caller that finds that the bytes before an unfinished update's do not read as a whole
  // document: nothing is cut, and the update goes after the file's last byte.
  void keepEveryByte();

  // Lays out `body` (the objects and the cross-reference section, in the file's frame, starting
  // at contentLength()) with the tail that names `crossReference` as the last section; until the
  // update is whole the file's tail names `previous`, the section the file ends with now.
  LaidOutUpdate layOut(std::string body, off_t previous, off_t crossReference) const;
  // Appends the update at contentLength(): first the pending tail at the update's end, so that
  // the file keeps reading as before, flushed to disk; then the body, flushed to disk; then the final tail in one
  // write within one page, which makes the update count, flushed again. Cuts an unfinished update
  // of ours first. Throws FileFailure with the file cut back to contentLength().
  void append(const LaidOutUpdate& update);
  // The file as append() left it.
  const FileIdentity& written() const { return written_; }

 private:
  void cutBack();
  void takeLockFile();
  void releaseLockFile();
  std::string path_;
  int fd_ = -1;
  off_t size_ = 0;
  off_t contentLength_ = 0;
  FileIdentity written_;
  std::string lockFile_;  // made by this writer where the file system gives no locks
};

}  // namespace pdfhost
