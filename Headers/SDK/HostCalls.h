// The host's function tables, each declared once as a list of its calls.
//
// Every row is X(Table, ResultType, Name, MinimumVersion, (Parameters)). The lists generate the
// tables' structs (HostTables.h), the host's filling of them, and the plug-in's call objects
// (PIHost.h). A minimum version of 0 means the call carries no version assertion.
#ifndef TVP_SDK_HOSTCALLS_H
#define TVP_SDK_HOSTCALLS_H

#include "ASTypes.h"
#include "PDETypes.h"

// Table name, version the plug-in requires at load.
#define TVP_HOST_TABLES(T)      \
  T(AcroSupport, 0x00080000)    \
  T(Core, 0x00050000)           \
  T(Cos, 0x00060000)            \
  T(PDModel, 0x00060000)        \
  T(PDFEditWrite, 0x00060000)   \
  T(PDFEditRead, 0x00060000)    \
  T(PDSysFont, 0x00040000)      \
  T(PagePDEContent, 0x00060000) \
  T(AcroView, 0x00060000)       \
  T(PDSWrite, 0x00060000)       \
  T(PDSRead, 0x00060000)        \
  T(Macintosh, 0x00020002)      \
  T(ASExtra, 0x00060000)        \
  T(PDMetadata, 0x00060000)     \
  T(AcroColorHFT, 0x00060000)

// Exceptions, atoms, callbacks and table lookup.
#define TVP_CALLS_Core(X)                                                                    \
  X(Core, void, ASPushExceptionFrame, 0x00020000, (void* frame, ACRestoreProc restoreProc)) \
  X(Core, void, ASPopExceptionFrame, 0x00020000, (void))                                    \
  X(Core, void, ASRaise, 0x00020000, (ASErrorCode error))                                   \
  X(Core, ASErrorCode, ASGetExceptionErrorCode, 0x00020000, (void))                         \
  X(Core, ASAtom, ASAtomFromString, 0x00020000, (const char* name))                         \
  X(Core, const char*, ASAtomGetString, 0x00020000, (ASAtom atom))                          \
  X(Core, ASCallback, ASCallbackCreate, 0x00020000, (ASExtension owner, void* proc))        \
  X(Core, void, ASCallbackDestroy, 0x00020000, (ASCallback callback))                       \
  X(Core, const void*, ASExtensionMgrGetHFT, 0, (ASAtom name, ASUns32 version))

// Memory, error texts, files and path names carry no assertion.
#define TVP_CALLS_AcroSupport(X)                                                           \
  X(AcroSupport, void*, ASmalloc, 0, (ASSize_t size))                                      \
  X(AcroSupport, void, ASfree, 0, (void* block))                                           \
  X(AcroSupport, const char*, ASGetErrorString, 0,                                         \
    (ASErrorCode error, char* buffer, ASSize_t bufferSize))                                \
  X(AcroSupport, ASFileSys, ASGetDefaultFileSys, 0, (void))                                \
  X(AcroSupport, ASPathName, ASFileAcquirePathName, 0, (ASFile file))                      \
  X(AcroSupport, char*, ASFileSysDIPathFromPath, 0,                                        \
    (ASFileSys fileSys, ASPathName path, ASPathName relativeToThisPath))                   \
  X(AcroSupport, void, ASFileSysReleasePath, 0, (ASFileSys fileSys, ASPathName path))        \
  X(AcroSupport, ASErrorCode, ASFileSysOpenFile, 0,                                        \
    (ASFileSys fileSys, ASPathName path, ASFileMode mode, ASFile* file))                   \
  X(AcroSupport, void, ASFileSetPos, 0, (ASFile file, ASUns32 position))                    \
  X(AcroSupport, ASUns32, ASFileRead, 0, (ASFile file, char* buffer, ASUns32 count))         \
  X(AcroSupport, ASUns32, ASFileWrite, 0, (ASFile file, const char* bytes, ASUns32 count))   \
  X(AcroSupport, ASInt32, ASFileClose, 0, (ASFile file))                                    \
  X(AcroSupport, ASPathName, ASFileSysCreatePathName, 0,                                   \
    (ASFileSys fileSys, ASAtom pathSpecType, const void* pathSpec, const void* mustBeZero)) \
  X(AcroSupport, ASFixed, FloatToASFixed, 0x00050000, (double value))

// Host texts.
#define TVP_CALLS_ASExtra(X)                                                                    \
  X(ASExtra, ASText, ASTextNew, 0x00050000, (void))                                             \
  X(ASExtra, ASText, ASTextFromEncoded, 0x00050000, (const char* bytes, ASHostEncoding encoding)) \
  X(ASExtra, void, ASTextSetEncoded, 0x00050000,                                                \
    (ASText text, const char* bytes, ASHostEncoding encoding))                                  \
  X(ASExtra, char*, ASTextGetEncodedCopy, 0x00050000, (ASText text, ASHostEncoding encoding))   \
  X(ASExtra, char*, ASTextGetPDTextCopy, 0x00050000, (ASText text, ASInt32* length))    \
  X(ASExtra, void, ASTextDestroy, 0x00050000, (ASText text))                                   \
  X(ASExtra, ASFileSys, ASGetDefaultUnicodeFileSys, 0x00060000, (void))

// Application, menus, alerts and windows.
#define TVP_CALLS_AcroView(X)                                                                 \
  X(AcroView, AVMenubar, AVAppGetMenubar, 0x00020000, (void))                                 \
  X(AcroView, AVMenu, AVMenubarAcquireMenuByName, 0x00020000,                                 \
    (AVMenubar menubar, const char* name))                                                    \
  X(AcroView, void, AVMenubarAddMenu, 0x00020000,                                             \
    (AVMenubar menubar, AVMenu menu, AVMenuIndex position))                                   \
  X(AcroView, AVMenu, AVMenuNew, 0x00020000,                                                  \
    (const char* title, const char* name, ASExtension owner))                                 \
  X(AcroView, void, AVMenuRelease, 0x00020000, (AVMenu menu))                                 \
  X(AcroView, void, AVMenuAddMenuItem, 0x00020000,                                            \
    (AVMenu menu, AVMenuItem item, AVMenuIndex position))                                     \
  X(AcroView, AVMenuItem, AVMenuItemNew, 0x00020000,                                          \
    (const char* title, const char* name, AVMenu submenu, ASBool longMenusOnly,               \
     char shortcut, AVFlagBits16 flags, AVIcon icon, ASExtension owner))                      \
  X(AcroView, void, AVMenuItemRelease, 0x00020000, (AVMenuItem item))                         \
  X(AcroView, void, AVMenuItemSetExecuteProc, 0x00020000,                                     \
    (AVMenuItem item, ASCallback executeProc, void* clientData))                              \
  X(AcroView, void, AVMenuItemSetComputeEnabledProc, 0x00020000,                              \
    (AVMenuItem item, ASCallback computeEnabledProc, void* clientData))                       \
  X(AcroView, AVDoc, AVAppGetActiveDoc, 0x00020000, (void))                                   \
  X(AcroView, ASHostEncoding, AVAppGetLanguageEncoding, 0x00020000, (void))                   \
  X(AcroView, void, AVAlertNote, 0x00020000, (const char* message))                           \
  X(AcroView, ASInt32, AVAlert, 0x00020000,                                                   \
    (ASInt32 iconType, const char* message, const char* button1, const char* button2,        \
     const char* button3, ASBool beep))                                                       \
  X(AcroView, ASBool, AVAppOpenDialog, 0x00050000,                                            \
    (AVOpenSaveDialogParams params, ASFileSys* fileSys, ASPathName** paths, ASUns16* numPaths,   \
     ASUns16* chosenFilterIndex))                                                             \
  X(AcroView, ASBool, AVAppSaveDialog, 0x00050000,                                            \
    (AVOpenSaveDialogParams params, ASFileSys* fileSys, ASPathName* path,                      \
     ASUns16* chosenFilterIndex))                                                             \
  X(AcroView, PDDoc, AVDocGetPDDoc, 0x00020000, (AVDoc doc))                                  \
  X(AcroView, AVWindow, AVWindowNewFromPlatformThing, 0x00060000,                             \
    (AVWindowLayer layer, AVFlagBits32 flags, AVWindowHandler handler, ASExtension owner,     \
     void* platformThing))                                                                    \
  X(AcroView, void, AVWindowDestroy, 0x00020000, (AVWindow window))                          \
  X(AcroView, AVDoc, AVDocOpenFromPDDocWithParams, 0x00050000,                                \
    (PDDoc doc, ASText tempTitle, AVDocOpenParams params))                                    \
  X(AcroView, void, AVDocDoPrint, 0x00020000, (AVDoc doc))                                    \
  X(AcroView, ASBool, AVDocClose, 0x00020000, (AVDoc doc, ASBool noSave))

// Documents.
#define TVP_CALLS_PDModel(X)                                                               \
  X(PDModel, ASFile, PDDocGetFile, 0x00020000, (PDDoc doc))                                \
  X(PDModel, void, PDDocSave, 0x00020000,                                                  \
    (PDDoc doc, PDSaveFlags flags, ASPathName path, ASFileSys fileSys, void* progressMonitor, \
     void* monitorData))                                                                   \
  X(PDModel, PDDoc, PDDocCreate, 0x00020000, (void))                                       \
  X(PDModel, void, PDDocRelease, 0x00020000, (PDDoc doc))                                  \
  X(PDModel, CosDoc, PDDocGetCosDoc, 0x00020000, (PDDoc doc))                              \
  X(PDModel, PDPage, PDDocCreatePage, 0x00020000,                                          \
    (PDDoc doc, PDPageNumber afterPage, ASFixedRect mediaBox))                             \
  X(PDModel, void, PDPageSetMediaBox, 0x00020000, (PDPage page, ASFixedRect mediaBox))     \
  X(PDModel, void, PDPageNotifyContentsDidChange, 0x00020000, (PDPage page))               \
  X(PDModel, void, PDPageRelease, 0x00020000, (PDPage page))

// A document's XMP metadata.
#define TVP_CALLS_PDMetadata(X)                                                             \
  X(PDMetadata, ASText, PDDocGetXAPMetadata, 0x00060000, (PDDoc doc))                       \
  X(PDMetadata, void, PDDocSetXAPMetadata, 0x00060000, (PDDoc doc, ASText packet))          \
  X(PDMetadata, void, PDDocSetXAPMetadataProperty, 0x00060000,                              \
    (PDDoc doc, ASText namespaceUri, ASText prefix, ASText name, ASText value))

// Page content: making and changing texts, paths, fonts, colour spaces and graphic states.
#define TVP_CALLS_PDFEditWrite(X)                                                           \
  X(PDFEditWrite, PDEText, PDETextCreate, 0x00040000, (void))                              \
  X(PDFEditWrite, void, PDETextAdd, 0x00040000,                                            \
    (PDEText text, ASUns32 flags, ASInt32 index, const ASUns8* bytes, ASInt32 length,      \
     PDEFont font, PDEGraphicStateP gstate, ASUns32 gstateSize, PDETextStateP tstate,      \
     ASUns32 tstateSize, ASFixedMatrix* textMatrix, ASFixedMatrix* strokeMatrix))          \
  X(PDFEditWrite, void, PDETextRemove, 0x00040000,                                         \
    (PDEText text, ASUns32 flags, ASInt32 index, ASInt32 count))                           \
  X(PDFEditWrite, PDEPath, PDEPathCreate, 0x00040000, (void))                              \
  X(PDFEditWrite, void, PDEPathSetPaintOp, 0x00040000, (PDEPath path, ASUns32 op))         \
  X(PDFEditWrite, void, PDEPathSetData, 0x00040000,                                        \
    (PDEPath path, const ASInt32* data, ASUns32 dataSize))                                 \
  X(PDFEditWrite, void, PDEPathAddSegment, 0x00050000,                                     \
    (PDEPath path, ASUns32 segment, ASFixed x1, ASFixed y1, ASFixed x2, ASFixed y2,        \
     ASFixed x3, ASFixed y3))                                                              \
  X(PDFEditWrite, void, PDEElementSetGState, 0x00040000,                                   \
    (PDEElement element, PDEGraphicStateP gstate, ASUns32 gstateSize))                     \
  X(PDFEditWrite, void, PDEContentAddElem, 0x00040000,                                     \
    (PDEContent content, ASInt32 addAfterIndex, PDEElement element))                       \
  X(PDFEditWrite, PDEColorSpace, PDEColorSpaceCreateFromName, 0x00040000, (ASAtom name))   \
  X(PDFEditWrite, PDEFont, PDEFontCreate, 0x00040000,                                      \
    (PDEFontAttrsP attrs, ASUns32 attrsSize, ASInt32 firstChar, ASInt32 lastChar,          \
     ASInt16* widths, char** encoding, ASAtom encodingBaseName, ASStm fontStm,             \
     ASInt32 length1, ASInt32 length2, ASInt32 length3))                                   \
  X(PDFEditWrite, PDEExtGState, PDEExtGStateCreateNew, 0x00050000, (CosDoc cosDoc))        \
  X(PDFEditWrite, void, PDEExtGStateSetOpacityFill, 0x00050000,                            \
    (PDEExtGState extGState, ASFixed opacity))

// Page content: reading it back and dropping references.
#define TVP_CALLS_PDFEditRead(X)                                                            \
  X(PDFEditRead, void, PDERelease, 0x00040000, (PDEObject object))                         \
  X(PDFEditRead, void, PDETextGetAdvanceWidth, 0x00040000,                                 \
    (PDEText text, ASUns32 flags, ASInt32 index, ASFixedPoint* advance))

// A page's content as elements: acquired, set back on the page, released.
#define TVP_CALLS_PagePDEContent(X)                                                         \
  X(PagePDEContent, PDEContent, PDPageAcquirePDEContent, 0x00040000,                       \
    (PDPage page, ASExtension owner))                                                      \
  X(PagePDEContent, ASInt32, PDPageReleasePDEContent, 0x00040000,                          \
    (PDPage page, ASExtension owner))                                                      \
  X(PagePDEContent, ASBool, PDPageSetPDEContent, 0x00040000,                               \
    (PDPage page, ASExtension owner))                                                      \
  X(PagePDEContent, void, PDPageSetPDEContentCanRaise, 0x00060000,                         \
    (PDPage page, ASExtension owner))

// Tables required at load whose calls the plug-in does not use yet.
#define TVP_CALLS_Cos(X)
#define TVP_CALLS_PDSysFont(X)
#define TVP_CALLS_PDSWrite(X)
#define TVP_CALLS_PDSRead(X)
#define TVP_CALLS_Macintosh(X)
#define TVP_CALLS_AcroColorHFT(X)

// Every call of every table, for code that treats them alike.
#define TVP_ALL_HOST_CALLS(X)  \
  TVP_CALLS_AcroSupport(X)     \
  TVP_CALLS_Core(X)            \
  TVP_CALLS_Cos(X)             \
  TVP_CALLS_PDModel(X)         \
  TVP_CALLS_PDFEditWrite(X)    \
  TVP_CALLS_PDFEditRead(X)     \
  TVP_CALLS_PDSysFont(X)       \
  TVP_CALLS_PagePDEContent(X)  \
  TVP_CALLS_AcroView(X)        \
  TVP_CALLS_PDSWrite(X)        \
  TVP_CALLS_PDSRead(X)         \
  TVP_CALLS_Macintosh(X)       \
  TVP_CALLS_ASExtra(X)         \
  TVP_CALLS_PDMetadata(X)      \
  TVP_CALLS_AcroColorHFT(X)

#endif
