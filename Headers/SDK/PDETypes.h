// Page content as the host's PDF editing interface hands it out: elements (texts and paths), the
// objects they name (fonts, colour spaces, extended graphic states), the records that describe
// them, and the records of new documents and their views.
#ifndef TVP_SDK_PDETYPES_H
#define TVP_SDK_PDETYPES_H

#include "ASTypes.h"

// OBJECT HANDLES
// Every page-content object is a PDEObject; texts and paths are also elements. The empty bases
// let a text or a path be passed wherever an element or an object is asked for. Each handle is
// released with PDERelease by whoever made or acquired it.
struct _t_PDEObject {};
struct _t_PDEElement : _t_PDEObject {};
struct _t_PDEText : _t_PDEElement {};
struct _t_PDEPath : _t_PDEElement {};
struct _t_PDEContent : _t_PDEObject {};
struct _t_PDEFont : _t_PDEObject {};
struct _t_PDEColorSpace : _t_PDEObject {};
struct _t_PDEExtGState : _t_PDEObject {};

typedef struct _t_PDEObject* PDEObject;
typedef struct _t_PDEElement* PDEElement;
typedef struct _t_PDEText* PDEText;
typedef struct _t_PDEPath* PDEPath;
typedef struct _t_PDEContent* PDEContent;
typedef struct _t_PDEFont* PDEFont;
typedef struct _t_PDEColorSpace* PDEColorSpace;
typedef struct _t_PDEExtGState* PDEExtGState;

// A document's low-level (object) layer; it lives as long as its document.
typedef struct _t_CosDoc* CosDoc;
typedef ASInt32 PDPageNumber;

// POSITIONS IN A CONTENT'S ELEMENT LIST (PDEContentAddElem)
enum { kPDEBeforeFirst = -1, kPDEAfterLast = 0x7FFFFFFE };

// TEXT: what an index or an advance refers to
enum { kPDETextRun = 0x0001, kPDETextChar = 0x0002, kPDETextPageSpace = 0x0004 };

// PATHS: segment codes of PDEPathAddSegment and of path data
enum {
  kPDEMoveTo = 0,
  kPDELineTo = 1,
  kPDECurveTo = 2,  // two control points and the end point
  kPDECurveToV = 3, // the current point is the first control point
  kPDECurveToY = 4, // the end point is the second control point
  kPDERect = 5,     // x, y, width, height
  kPDEClosePath = 6
};
// Paint operation bits; 0 paints nothing.
enum { kPDEInvisible = 0, kPDEStroke = 0x0001, kPDEFill = 0x0002, kPDEEoFill = 0x0004 };

// GRAPHIC STATE
#define kPDEMaxColorComponents 4

typedef struct _t_PDEColorValue {
  ASFixed color[kPDEMaxColorComponents];  // the first n are used, n from the colour space
  PDEObject colorObj;                     // unused slots of this host: null
  PDEObject colorObj2;
} PDEColorValue;

typedef struct _t_PDEColorSpec {
  PDEColorSpace space;  // null reads as DeviceGray
  PDEColorValue value;
} PDEColorSpec;

#define kPDEMaxDashes 11
typedef struct _t_PDEDash {
  ASFixed dashPhase;
  ASInt32 dashLen;  // 0: a solid line
  ASFixed dashes[kPDEMaxDashes];
} PDEDash;

// Which fields a graphic state sets on purpose.
enum {
  kPDEFillCSpaceWasSet = 0x0001,
  kPDEFillValueWasSet = 0x0002,
  kPDEStrokeCSpaceWasSet = 0x0004,
  kPDEStrokeValueWasSet = 0x0008,
  kPDEDashWasSet = 0x0010,
  kPDELineWidthWasSet = 0x0020,
  kPDEMiterLimitWasSet = 0x0040,
  kPDEFlatnessWasSet = 0x0080,
  kPDELineCapWasSet = 0x0100,
  kPDELineJoinWasSet = 0x0200,
  kPDERenderIntentWasSet = 0x0400,
  kPDEExtGStateWasSet = 0x0800
};

typedef struct _t_PDEGraphicState {
  PDEColorSpec fillColorSpec;
  PDEColorSpec strokeColorSpec;
  PDEDash dash;
  ASFixed lineWidth;
  ASFixed miterLimit;
  ASFixed flatness;
  ASInt32 lineCap;
  ASInt32 lineJoin;
  ASAtom renderIntent;        // ASAtomNull: none
  PDEExtGState extGState;     // null: none
  ASUns32 wasSetFlags;
} PDEGraphicState, *PDEGraphicStateP;

// Text state of a run; without one a run has font size 1 and everything else at its default,
// so its text matrix alone scales it.
typedef struct _t_PDETextState {
  ASUns32 wasSetFlags;
  ASFixed charSpacing;
  ASFixed wordSpacing;
  ASInt32 renderMode;
  ASFixed fontSize;
  ASFixed hScale;  // 100 (as fixed) is normal width; 0 reads as 100
  ASFixed textRise;
} PDETextState, *PDETextStateP;

// FONTS
typedef struct _t_PDEFontAttrs {
  ASAtom name;      // the base font, such as "Helvetica"
  ASAtom type;      // "Type1"
  ASAtom charSet;
  ASAtom encoding;
  ASUns32 flags;
  ASFixedRect fontBBox;
  ASInt16 missingWidth;
  ASInt16 stemV;
  ASInt16 stemH;
  ASInt16 capHeight;
  ASInt16 xHeight;
  ASInt16 ascent;
  ASInt16 descent;
  ASInt16 leading;
  ASInt16 maxWidth;
  ASInt16 avgWidth;
  ASInt16 italicAngle;
  ASInt16 cantEmbed;
  ASInt16 protection;
  ASInt16 reserved;
  ASUns8 panose[12];
} PDEFontAttrs, *PDEFontAttrsP;

// An embedded font's program; this host embeds none, so only null is accepted.
typedef struct _t_ASStm* ASStm;

// VIEWS
typedef ASUns32 AVDocOpenParamsFlags;
typedef struct _t_AVDocOpenParamsRec {
  ASSize_t size;        // sizeof the record as the caller knows it
  ASBool useFrame;
  ASFixedRect frame;
  ASBool useVisible;
  ASBool visible;       // with useVisible set, 0 opens the view without a window
  ASBool useServerType;
  const char* serverType;
  void* serverCreationData;
  ASBool useSourceDoc;
  AVDoc sourceDoc;
  ASBool useReadOnly;
  ASBool readOnly;
  ASBool useViewType;
  const char* viewType;
  ASBool useViewDef;
  void* viewDef;
  ASBool usePermReqProc;
  void* permReqProc;
} AVDocOpenParamsRec, *AVDocOpenParams;

#endif
