// Writing a file in place of a target without ever costing the target: the new bytes go to a
// temporary file of our own in the target's folder, which is flushed, fsynced and checked before
// it is renamed over the target. A failure at any step leaves the target as it was and removes
// the temporary file.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

#include "FileErrors.h"

namespace pdfhost {

// TEMPORARY FILES

// A new file of our own naming (".pdfhost-XXXXXX") in a folder, made with mkostemp, so it is
// never opened through a planted link; removed when dropped unless it was kept.
class TemporaryFile {
 public:
  // Throws FileFailure when the folder does not take a new file. Failures name `name`, the file
  // the bytes are for.
  TemporaryFile(const std::string& folder, const std::string& name);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  int descriptor() const { return descriptor_; }
  // Writes every byte at the file's position or throws FileFailure with the real cause.
  void write(const char* bytes, std::size_t count);
  // Flushes to the disk, checks the size against what was written, and closes. Throws
  // FileFailure.
  void finish();
  // The file stays on disk (it was renamed into place).
  void keep() { kept_ = true; }

 private:
  std::string name_;
  std::string path_;
  int descriptor_ = -1;
  off_t end_ = 0;  // the furthest byte written
  bool kept_ = false;
};

// Removes temporary files of our own naming in a folder that a killed write left behind: regular
// files (not links) of this user's, untouched for an hour. Errors are ignored.
void removeStaleTemporaryFiles(const std::string& folder);

// REPLACING A FILE

class ReplacementFile {
 public:
  // How a target that is a symbolic link is taken.
  enum class Links {
    kFollow,   // the link stays a link; the file it names receives the bytes
    kReplace,  // the link itself is replaced: for folders others can write, where links are planted
  };

  // Checks that `target` may be written and makes the temporary file beside it (beside the file a
  // followed link names). Refused with FileFailure: a target that is a folder or not a regular
  // file, an existing one that is not writable (no write bit for anyone, or access(W_OK) fails),
  // and a folder that takes no new file.
  ReplacementFile(const std::string& target, Links links);

  int descriptor() const { return temporary_.descriptor(); }
  const std::string& temporaryPath() const { return temporary_.path(); }
  // The file that will be replaced: the target, or the file its link names.
  const std::string& destination() const { return destination_; }
  void write(const char* bytes, std::size_t count) { temporary_.write(bytes, count); }
  // Finishes the temporary file, runs `check` on its path (it throws to refuse the bytes), gives
  // it the mode (and owner, where allowed) of the file it replaces, or the mode `>` would give a
  // new file, and renames it over the destination. Throws FileFailure; the target is unchanged.
  void commit(const std::function<void(const std::string& path)>& check = {});

 private:
  // In this order: the destination's check fills in what the file it replaces was.
  bool existed_ = false;
  struct stat existing_ {};
  std::string destination_;
  TemporaryFile temporary_;
};

}  // namespace pdfhost
