// Basic types, handles and records shared by the host and its plug-ins.
#ifndef TVP_SDK_ASTYPES_H
#define TVP_SDK_ASTYPES_H

#include <stddef.h>
#include <stdint.h>

// SCALARS
typedef int8_t ASInt8;
typedef int16_t ASInt16;
typedef int32_t ASInt32;
typedef uint8_t ASUns8;
typedef uint16_t ASUns16;
typedef uint32_t ASUns32;
typedef ASUns16 ASBool;
typedef ASInt32 ASErrorCode;
typedef ASUns16 ASAtom;          // a host-wide interned string
typedef ASInt32 ASHostEncoding;  // an encoding the host can convert texts from and to
typedef size_t ASSize_t;
typedef ASInt32 ASFixed;         // 16.16 fixed-point number

enum { kASFalse = 0, kASTrue = 1 };
#define ASAtomNull ((ASAtom)0xFFFF)  // the null atom: no string has it
#define fixedOne ((ASFixed)0x00010000)

typedef struct ASFixedPoint {
  ASFixed h, v;
} ASFixedPoint;
typedef struct ASFixedRect {
  ASFixed left, top, right, bottom;
} ASFixedRect;
typedef struct ASFixedMatrix {
  ASFixed a, b, c, d, h, v;
} ASFixedMatrix;

// OPAQUE HANDLES: each is released with its own host call by whoever acquired it.
typedef struct _t_ASExtension* ASExtension;
typedef struct _t_ASCallback* ASCallback;
typedef struct _t_ASText* ASText;
typedef struct _t_ASFile* ASFile;
typedef struct _t_ASPathName* ASPathName;
typedef struct _t_ASFileSys* ASFileSys;
typedef struct _t_PDDoc* PDDoc;
typedef struct _t_PDPage* PDPage;
typedef struct _t_AVDoc* AVDoc;
typedef struct _t_AVPageView* AVPageView;
typedef struct _t_AVMenubar* AVMenubar;
typedef struct _t_AVMenu* AVMenu;
typedef struct _t_AVMenuItem* AVMenuItem;
typedef struct _t_AVWindow* AVWindow;
typedef struct _t_AVWindowHandler* AVWindowHandler;
typedef void* AVIcon;
typedef ASInt32 AVMenuIndex;
typedef ASUns16 AVFlagBits16;
typedef ASInt32 AVWindowLayer;
typedef ASUns32 AVFlagBits32;
typedef ASUns32 PDSaveFlags;
// Save flags: 0 appends an incremental update; PDSaveFull writes the whole file anew.
enum { PDSaveIncremental = 0, PDSaveFull = 1 };

// CALLBACK SIGNATURES: what the host calls through an ASCallback of each kind.
typedef void (*AVExecuteProc)(void* clientData);
typedef ASBool (*AVComputeEnabledProc)(void* clientData);
typedef ASBool (*PIHandshakeProc)(ASUns32 handshakeVersion, void* handshakeData);
typedef ASBool (*PIExportHFTsProc)(void);
typedef ASBool (*PIImportReplaceAndRegisterProc)(void);
typedef ASBool (*PIInitProc)(void);
typedef ASBool (*PIUnloadProc)(void);
// Called by the host when an error is raised while a plug-in's exception frame is on top.
typedef void (*ACRestoreProc)(void* frame);

// ALERT ICONS
enum { ALERT_NOICON = 0, ALERT_STOP = 1, ALERT_CAUTION = 2, ALERT_NOTE = 3, ALERT_QUESTION = 4 };

// FILES
typedef ASUns16 ASFileMode;
enum { ASFILE_READ = 1, ASFILE_WRITE = 2, ASFILE_CREATE = 4 };

// OPEN AND SAVE DIALOGS
// One kind of file a dialog offers: its extension (no dot), and Mac type and creator (unused).
typedef struct _t_AVFileDescRec {
  char extension[32];
  ASUns32 macFileType;
  ASUns32 macFileCreator;
} AVFileDescRec;

// One entry of a dialog's type menu.
typedef struct _t_AVFileFilterRec {
  ASText filterDescription;
  AVFileDescRec* fileDescs;
  ASUns16 numFileDescs;
} AVFileFilterRec, *AVFileFilterRecP;

typedef ASUns32 AVOpenSaveDialogFlags;
enum { kAVOpenSaveAllowAllFlag = 1, kAVOpenSaveAllowMultiple = 2 };

typedef struct _t_AVOpenSaveDialogParamsRec {
  ASSize_t size;  // sizeof the record
  AVOpenSaveDialogFlags flags;
  AVWindow parentWindow;
  ASText windowTitle;
  ASText actionButtonTitle;
  ASText cancelButtonTitle;
  ASFileSys initialFileSys;
  ASPathName initialPathName;
  ASText initialFileName;
  AVFileFilterRecP* fileFilters;
  ASUns16 numFileFilters;
  void* settingsComputeEnabledProc;
  void* settingsExecuteProc;
  void* settingsProcData;
} AVOpenSaveDialogParamsRec, *AVOpenSaveDialogParams;

#endif
