// Files plug-ins open for reading or writing. A file opened for writing replaces its target when
// it is closed (see ReplacementFile), so the target never holds half a file and no old tail
// survives; a failed write throws the new bytes away.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FileErrors.h"
#include "Files.h"
#include "ReplaceFile.h"

namespace pdfhost {

class OpenFiles {
 public:
  OpenFiles() = default;
  ~OpenFiles() { closeAll(); }
  OpenFiles(const OpenFiles&) = delete;
  OpenFiles& operator=(const OpenFiles&) = delete;

  // Opens a file: for reading (a regular file only, opened without blocking, so a FIFO or a
  // device is refused unread), or (writing) a new temporary file beside the target, which must
  // be writable. Throws FileFailure.
  ASFile open(const std::string& path, bool writing);
  // Reads up to `count` bytes at the file's position; 0 at the end. Throws FileFailure.
  std::size_t read(ASFile file, char* buffer, std::size_t count);
  // Writes every byte or throws FileFailure (and marks the file failed).
  void write(ASFile file, const char* bytes, std::size_t count);
  void setPosition(ASFile file, long long position);
  // Closes and forgets the file; a written one replaces its target unless a write failed. Throws
  // FileFailure when the new content could not be put in place (the file is closed anyway).
  void close(ASFile file);
  // Whether a handle is one of the open files.
  bool contains(ASFile file) const;
  std::size_t count() const { return files_.size(); }
  // Closes every file, throwing away unfinished writes.
  void closeAll();

 private:
  std::unique_ptr<_t_ASFile> take(ASFile file);
  std::vector<std::unique_ptr<_t_ASFile>> files_;
  std::map<ASFile, std::unique_ptr<ReplacementFile>> replacements_;  // the files open for writing
};

}  // namespace pdfhost
