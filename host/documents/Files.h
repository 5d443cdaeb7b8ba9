// Files and path names as the host hands them to plug-ins: one file system (the machine's POSIX
// paths), path names that whoever acquired them releases, and the file behind each document.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ASTypes.h"

// The host's one file system; its path names are absolute POSIX paths.
struct _t_ASFileSys {
  const char* name;
};

// A path name handed to a plug-in; released with ASFileSysReleasePath.
struct _t_ASPathName {
  std::string path;  // absolute, lexically normal
};

// A file: either the one a document was read from (it belongs to the document: PDDocGetFile
// lends it), or one a plug-in opened with ASFileSysOpenFile and closes with ASFileClose.
struct _t_ASFile {
  std::string path;       // absolute, lexically normal
  int descriptor = -1;    // open files only
  bool writing = false;
  std::string temporary;  // a file being written is written here and renamed over path on close
  bool failed = false;    // a write failed: closing throws away what was written
};

namespace pdfhost {

// PATHS

// An absolute, lexically normal form of a path (relative paths are taken from the current
// folder). The file need not exist; nothing on disk is touched.
std::string absolutePath(const std::string& path);

// READING FILES

// Why a path could not be opened for reading as a regular file.
enum class ReadRefusal {
  kNone,
  kMissing,     // it cannot be looked up (errno says why)
  kFolder,
  kNotRegular,  // a FIFO, a device, a socket
  kUnreadable,  // it cannot be opened (errno says why)
};

// Opens a regular file for reading. Anything else is refused without being opened, and the
// open itself never blocks and is checked on the descriptor, so a FIFO or a device put at the
// path meanwhile is refused unread too. Returns the descriptor, which the caller closes, or -1
// with *refusal saying why (and errno kept for kMissing and kUnreadable).
int openRegularFile(const std::string& path, ReadRefusal* refusal);

// The path the host knows a document's file by: absolute, its folder resolved through links and
// `..`, its last part kept, so that a link to the file stays the name the user gave. Falls back
// to absolutePath when the folder cannot be resolved.
std::string documentPath(const std::string& path);

// The device-independent text of a path: the absolute POSIX path itself, or, given a base path,
// the path relative to the folder that holds the base. Bytes that are not UTF-8 become U+FFFD,
// so the text is always valid in the host's language encoding.
std::string deviceIndependentPath(const std::string& path, const std::string* base);

// PATH NAMES HANDED OUT

class PathNames {
 public:
  // A new path name for an absolute path; the caller releases it.
  ASPathName acquire(const std::string& absolute);
  // Releases a path name this list handed out. Returns false, touching nothing, for any other
  // pointer (one released already, or one the host never made).
  bool release(ASPathName path);
  bool contains(ASPathName path) const;
  std::size_t count() const { return paths_.size(); }
  void clear() { paths_.clear(); }

 private:
  std::vector<std::unique_ptr<_t_ASPathName>> paths_;
};

}  // namespace pdfhost
