#include "FileErrors.h"

#include <cerrno>

namespace pdfhost {

ASErrorCode errorForErrno(int error, ASErrorCode otherwise)
{
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kASErrFileNotFound;
    case EROFS:
      return kASErrReadOnlyFileSystem;
    case EACCES:
    case EPERM:
    case ETXTBSY:
      return kASErrFilePermission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kASErrDiskFull;
    default:
      return otherwise;
  }
}

}  // namespace pdfhost
