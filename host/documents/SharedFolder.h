// The Mac shared users folder, "/Users/Shared", as this host keeps it: a folder of its own that
// the environment variable PDFHOST_SHARED_DIR names, or by default
// $XDG_DATA_HOME/pdfhost/Shared (~/.local/share/pdfhost/Shared without XDG_DATA_HOME, the home
// being the account's own when HOME is unset).
#pragma once

#include <string>

#include "ASErrors.h"

namespace pdfhost {

// The folder that stands for "/Users/Shared" now (read from the environment at each call).
std::string sharedFolder();

// Whether the folder is the default one (PDFHOST_SHARED_DIR unset or empty).
bool sharedFolderIsDefault();

// A POSIX path as the host's files know it: "/Users/Shared" and everything below it move into
// the shared folder; other paths are made absolute. Runs of slashes count as one, so
// "//Users/Shared/x.pdf" is the shared folder's "x.pdf". Nothing on disk is touched.
std::string hostPathOfPosixPath(const std::string& posixPath, bool* inSharedFolder = nullptr);

// Creates the default shared folder (and its parents) when it is missing. A folder named by
// PDFHOST_SHARED_DIR is never created: a missing one is the user's to fix. Returns false, with
// the reason, when the folder does not exist afterwards.
bool prepareSharedFolder(std::string* why);

// Why a file cannot be written into the folder that holds `path`, and the host error that says
// so (kASErrNone and an empty text when it can): a missing folder, a file in its place, one
// without write permission, a read-only file system. A missing default shared folder is made
// first; kASErrFolderNotMade when that fails.
std::string folderProblem(const std::string& path, ASErrorCode* code);

}  // namespace pdfhost
