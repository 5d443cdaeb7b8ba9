// Error codes the host raises; ASGetErrorString gives the host's text for each.
#ifndef TVP_SDK_ASERRORS_H
#define TVP_SDK_ASERRORS_H

#include "ASTypes.h"

enum {
  kASErrNone = 0,
  kASErrGeneral = 0x40000001,      // "An internal error occurred."
  kASErrNoMemory = 0x40000002,     // "Out of memory."
  kASErrBadParameter = 0x40000003, // "Bad parameter."
  kASErrCancelled = 0x40000004,    // "The operation was cancelled."
  kASErrNoMenubar = 0x40000005,    // "The application has no menu bar."
  kASErrFileNotFound = 0x40010001,
  kASErrFileOpen = 0x40010002,
  kASErrFileRead = 0x40010003,
  kASErrFileWrite = 0x40010004,
  kASErrFilePermission = 0x40010005,
  kASErrDiskFull = 0x40010006,
  kASErrFileChanged = 0x40010007,
  kASErrFolderMissing = 0x40010008,     // the folder to write a file in does not exist
  kASErrFolderPermission = 0x40010009,  // the folder to write a file in cannot be written
  kASErrReadOnlyFileSystem = 0x4001000A,  // the file or folder is on a read-only file system
  kASErrFolderIsFile = 0x4001000B,        // the folder to write a file in is a file
  kASErrFolderNotMade = 0x4001000C,       // the folder to write a file in could not be created
  kASErrDocDamaged = 0x40020001,
  kASErrDocEncrypted = 0x40020002,
  kASErrDocNoFile = 0x40020003,
  kASErrMetadata = 0x40020004,
  kASErrDocRepaired = 0x40020005,  // the file had to be repaired to be read: not changed in place
  kASErrMetadataUnreadable = 0x40020006,  // the metadata stream cannot be decoded: never replaced
  kASErrDocAmbiguous = 0x40020007,  // the catalog a save rewrites may be read differently by readers
  kASErrFontNotFound = 0x40030001,
  kASErrPageContent = 0x40030002,
};

#endif
