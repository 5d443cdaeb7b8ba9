// Ticket sheet drawing: each primitive builds its page-content element, commits it to the page,
// releases what it made and shows its own error alert.
#include "AddText.h"

#include <wx/radiobox.h>
#include <wx/string.h>

#include <string.h>

#include "TovarinPluginInit.h"

const float a4_breedte = 595.35f;

// ---------------------------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------------------------

namespace {

// Size of the buffer that receives the host's text of an error.
const ASSize_t kErrorTextSize = 256;

// Whole points as 16.16 fixed point: a plain shift, no clamping.
ASFixed WholeToFixed(ASInt32 points)
{
  return static_cast<ASFixed>(static_cast<ASUns32>(points) << 16);
}

// A line width as 16.16 fixed point, held at the largest and smallest values beyond 32767.
ASFixed SaturatedWidth(ASInt32 points)
{
  if (points > 32767)
    return static_cast<ASFixed>(0x7FFFFFFF);
  if (points < -32767)
    return static_cast<ASFixed>(0x80000000u);
  return WholeToFixed(points);
}

// The graphic state of every text: black on DeviceGray, 1-point lines, miter limit 10.
PDEGraphicState TextGraphicState(PDEColorSpace gray)
{
  PDEGraphicState state;
  memset(&state, 0, sizeof state);
  state.fillColorSpec.space = gray;
  state.strokeColorSpec.space = gray;
  state.lineWidth = WholeToFixed(1);
  state.miterLimit = WholeToFixed(10);
  state.flatness = WholeToFixed(1);
  return state;
}

PDEColorSpace CreateDeviceColorSpace(const char* name)
{
  return PDEColorSpaceCreateFromName(ASAtomFromString(name));
}

// The graphic state of a path: a black stroke of the given width, and a fill of the grey level
// when the fill flag is set (white otherwise), on a DeviceRGB colour space that this makes and
// the caller releases (fillColorSpec.space).
PDEGraphicState SetGraphicState(ASFixed lineWidth, ASUns16 fill, ASFixed grey)
{
  PDEColorSpace rgb = CreateDeviceColorSpace("DeviceRGB");
  PDEGraphicState state;
  memset(&state, 0, sizeof state);
  state.fillColorSpec.space = rgb;
  for (int i = 0; i < 3; ++i)
    state.fillColorSpec.value.color[i] = fill != 0 ? grey : WholeToFixed(1);
  state.strokeColorSpec.space = rgb;
  state.lineWidth = lineWidth;
  state.miterLimit = WholeToFixed(10);
  state.flatness = WholeToFixed(1);
  return state;
}

// One line of text at (x, height) in the font at `size` points.
void DrawTextLine(const char* text, PDPage page, PDEFont font, ASInt32 size, ASInt32 x,
                  ASInt32 height)
{
  PDEColorSpace gray = CreateDeviceColorSpace("DeviceGray");
  PDEGraphicState state = TextGraphicState(gray);
  ASFixedMatrix matrix = {WholeToFixed(size), 0, 0, WholeToFixed(size), WholeToFixed(x),
                          WholeToFixed(height)};
  PDEText element = NULL;
  PDEContent content = NULL;
  ASErrorCode error = 0;
  try {
    _miExceptionPushPop frame;
    element = PDETextCreate();
    PDETextAdd(element, kPDETextRun, 0, reinterpret_cast<const ASUns8*>(text),
               static_cast<ASInt32>(strlen(text)), font, &state, sizeof state, NULL, 0, &matrix,
               NULL);
    content = PDPageAcquirePDEContent(page, gExtensionID);
    PDEContentAddElem(content, kPDEAfterLast, element);
    PDPageSetPDEContent(page, gExtensionID);
    PDPageNotifyContentsDidChange(page);
  } catch (_miExceptionInfo&) {
    error = ASGetExceptionErrorCode();
  }
  if (element != NULL)
    PDERelease(element);
  PDERelease(gray);
  if (content != NULL)
    PDPageReleasePDEContent(page, gExtensionID);
  if (error != 0)
    miShowErrorAlert(error, kErrorTextSize);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Titles and headings
// ---------------------------------------------------------------------------------------------

void AddTitle(const char* text, PDPage page, PDEFont font, ASInt32* height)
{
  DrawTextLine(text, page, font, 20, 60, *height);
}

void AddTableTitle(const char* text, PDPage page, PDEFont font, ASInt32* height)
{
  DrawTextLine(text, page, font, 12, 70, *height);
  // Also after a failure, so that the rest of the sheet keeps its place.
  *height -= 22;
}

// ---------------------------------------------------------------------------------------------
// Label/value rows
// ---------------------------------------------------------------------------------------------

namespace {

// What a row's value runs share.
struct ValueRuns {
  PDEText text;
  PDEFont font;
  PDEGraphicState* state;
  ASFixedMatrix* matrix;  // carries the pen
};

// Adds `length` bytes as run `index` at the pen and measures it on the page.
ASFixed AddMeasuredRun(const ValueRuns& runs, ASInt32 index, const char* bytes, size_t length)
{
  PDETextAdd(runs.text, kPDETextRun, index, reinterpret_cast<const ASUns8*>(bytes),
             static_cast<ASInt32>(length), runs.font, runs.state, sizeof *runs.state, NULL, 0,
             runs.matrix, NULL);
  ASFixedPoint advance;
  PDETextGetAdvanceWidth(runs.text, kPDETextRun | kPDETextPageSpace, index, &advance);
  return advance.h;
}

// The longest start of a word, shorter than the word, that fits in `room` when drawn at the
// pen as run `index`; 0 when not even one byte does. Each trial run is taken out again.
size_t FittingPrefix(const ValueRuns& runs, ASInt32 index, const char* word, size_t length,
                     ASFixed room)
{
  size_t fits = 0;
  size_t tooLong = length;
  while (tooLong - fits > 1) {
    size_t trial = fits + (tooLong - fits) / 2;
    ASFixed advance = AddMeasuredRun(runs, index, word, trial);
    PDETextRemove(runs.text, kPDETextRun, index, 1);
    if (advance <= room)
      fits = trial;
    else
      tooLong = trial;
  }
  return fits;
}

void DrawRow(const char* label, const char* value, PDPage page, PDEFont labelFont,
             PDEFont valueFont, ASInt32* height, ASInt32* leftEdge, ASUns16 separator)
{
  const ASFixed textRight = WholeToFixed(static_cast<ASInt32>(a4_breedte - 60 - 10));
  const ASInt32 lineRight = static_cast<ASInt32>(a4_breedte - 60);

  PDEColorSpace gray = CreateDeviceColorSpace("DeviceGray");
  PDEGraphicState state = TextGraphicState(gray);
  ASFixedMatrix matrix = {WholeToFixed(12), 0, 0, WholeToFixed(12), WholeToFixed(*leftEdge),
                          WholeToFixed(*height)};
  PDEText labelText = NULL;
  PDEText valueText = NULL;
  PDEContent content = NULL;
  ASInt32 lineBreaks = 0;
  ASErrorCode error = 0;
  try {
    _miExceptionPushPop frame;
    if (label[0] != '\0') {
      labelText = PDETextCreate();
      PDETextAdd(labelText, kPDETextRun, 0, reinterpret_cast<const ASUns8*>(label),
                 static_cast<ASInt32>(strlen(label)), labelFont, &state, sizeof state, NULL, 0,
                 &matrix, NULL);
      content = PDPageAcquirePDEContent(page, gExtensionID);
      PDEContentAddElem(content, kPDEAfterLast, labelText);
      ASFixedPoint advance;
      PDETextGetAdvanceWidth(labelText, kPDETextRun | kPDETextPageSpace, 0, &advance);
      matrix.h = WholeToFixed(*leftEdge) + advance.h + WholeToFixed(10);
    } else {
      content = PDPageAcquirePDEContent(page, gExtensionID);
    }
    const ASFixed h0 = matrix.h;

    valueText = PDETextCreate();
    ValueRuns runs = {valueText, valueFont, &state, &matrix};
    ASFixed width = AddMeasuredRun(runs, 0, value, strlen(value));
    if (h0 + width >= textRight) {
      // Word by word: the value is built anew, one run per word with its trailing space.
      PDERelease(valueText);
      valueText = NULL;
      valueText = PDETextCreate();
      runs.text = valueText;
      ASInt32 runIndex = 0;
      const char* cursor = value;
      while (*cursor != '\0') {
        const char* space = strchr(cursor, ' ');
        size_t length = space != NULL ? static_cast<size_t>(space - cursor) + 1 : strlen(cursor);
        ASFixed advance = AddMeasuredRun(runs, runIndex, cursor, length);
        if (matrix.h + advance <= textRight) {
          matrix.h += advance;
          cursor += length;
          ++runIndex;
          continue;
        }
        PDETextRemove(valueText, kPDETextRun, runIndex, 1);
        if (matrix.h == h0) {
          // A word wider than the whole column: moving it down would never help. It is cut
          // after its last byte that fits and goes on on the next line; when not one byte fits
          // (a label that reaches the limit) it stays whole on this line.
          size_t prefix = FittingPrefix(runs, runIndex, cursor, length, textRight - matrix.h);
          // A word that fits but for its trailing space keeps the space, which shows nothing.
          bool onlySpaceLeft = prefix + 1 == length && cursor[prefix] == ' ';
          size_t taken = prefix > 0 && !onlySpaceLeft ? prefix : length;
          advance = AddMeasuredRun(runs, runIndex, cursor, taken);
          matrix.h += advance;
          cursor += taken;
          ++runIndex;
          if (*cursor == '\0')
            break;
        }
        matrix.v -= WholeToFixed(16);
        matrix.h = h0;
        ++lineBreaks;
      }
    }
    PDEContentAddElem(content, kPDEAfterLast, valueText);
    PDPageSetPDEContent(page, gExtensionID);
    PDPageNotifyContentsDidChange(page);
  } catch (_miExceptionInfo&) {
    error = ASGetExceptionErrorCode();
  }
  if (labelText != NULL)
    PDERelease(labelText);
  if (valueText != NULL)
    PDERelease(valueText);
  PDERelease(gray);
  if (content != NULL)
    PDPageReleasePDEContent(page, gExtensionID);
  if (separator != 0) {
    ASInt32 y = *height - 16 * lineBreaks - 8;
    AddLine(60, y, lineRight, y, 1, page);
  }
  *height -= 16 * lineBreaks + 22;
  if (error != 0)
    miShowErrorAlert(error, kErrorTextSize);
}

// Windows-1252 bytes 0x80 to 0x9F and the characters they stand for; 0 where none.
const wxUniChar::value_type kWinAnsiHighRow[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char WinAnsiByte(wxUniChar::value_type c)
{
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
    return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kWinAnsiHighRow[i] != 0 && kWinAnsiHighRow[i] == c)
      return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string TVPWinAnsiBytes(const wxString& text)
{
  std::string bytes;
  bytes.reserve(text.length());
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
    bytes += WinAnsiByte((*it).GetValue());
  return bytes;
}

void AddTableTextElement(const char* label, const char* value, PDPage page, PDEFont labelFont,
                         PDEFont valueFont, ASInt32* height, ASInt32* leftEdge, ASUns16 separator)
{
  DrawRow(label, value, page, labelFont, valueFont, height, leftEdge, separator);
}

void AddTableElement(const char* label, wxString* value, PDPage page, PDEFont labelFont,
                     PDEFont valueFont, ASInt32* height, ASInt32* leftEdge, ASUns16 separator)
{
  // The value's bytes are taken once, before anything is drawn.
  std::string bytes = TVPWinAnsiBytes(*value);
  DrawRow(label, bytes.c_str(), page, labelFont, valueFont, height, leftEdge, separator);
}

// ---------------------------------------------------------------------------------------------
// Lines, rectangles and radio marks
// ---------------------------------------------------------------------------------------------

namespace {

// Commits the content in the order given, inside a frame; returns the host's error code or 0.
ASErrorCode CommitPath(PDPage page, bool notifyFirst)
{
  try {
    _miExceptionPushPop frame;
    if (notifyFirst) {
      PDPageNotifyContentsDidChange(page);
      PDPageSetPDEContentCanRaise(page, NULL);
    } else {
      PDPageSetPDEContentCanRaise(page, NULL);
      PDPageNotifyContentsDidChange(page);
    }
  } catch (_miExceptionInfo&) {
    return ASGetExceptionErrorCode();
  }
  return 0;
}

// Appends a path made and set up, commits it and releases what the primitive made.
void FinishPath(PDPage page, PDEContent content, PDEPath path, PDEGraphicState* state,
                bool notifyFirst)
{
  PDEContentAddElem(content, kPDEAfterLast, path);
  ASErrorCode error = CommitPath(page, notifyFirst);
  PDPageReleasePDEContent(page, NULL);
  PDERelease(path);
  PDERelease(state->fillColorSpec.space);
  if (state->extGState != NULL)
    PDERelease(state->extGState);
  if (error != 0)
    miShowErrorAlert(error, kErrorTextSize);
}

ASUns32 PaintBits(ASUns16 stroke, ASUns16 fill)
{
  return (stroke != 0 ? kPDEStroke : 0) | (fill != 0 ? kPDEFill : 0);
}

}  // namespace

void AddLine(ASInt32 x1, ASInt32 y1, ASInt32 x2, ASInt32 y2, ASInt32 width, PDPage page)
{
  PDEContent content = PDPageAcquirePDEContent(page, NULL);
  PDEPath path = PDEPathCreate();
  PDEPathSetPaintOp(path, kPDEStroke);
  PDEGraphicState state = SetGraphicState(SaturatedWidth(width), 0, 0);
  PDEElementSetGState(path, &state, sizeof state);
  PDEPathAddSegment(path, kPDEMoveTo, WholeToFixed(x1), WholeToFixed(y1), 0, 0, 0, 0);
  PDEPathAddSegment(path, kPDELineTo, WholeToFixed(x2), WholeToFixed(y2), 0, 0, 0, 0);
  FinishPath(page, content, path, &state, false);
}

void AddRect(ASInt32 x, ASInt32 y, ASInt32 width, ASInt32 height, ASInt32 lineWidth,
             ASUns16 stroke, ASUns16 fill, ASUns16 solid, PDPage page, PDDoc doc)
{
  PDEContent content = PDPageAcquirePDEContent(page, NULL);
  PDEPath path = PDEPathCreate();
  PDEPathSetPaintOp(path, PaintBits(stroke, fill));
  PDEGraphicState state;
  memset(&state, 0, sizeof state);
  if (fill != 0 && solid == 0) {
    // The translucent fill: light grey at opacity 0.4. Failing to make it abandons the
    // rectangle, silently.
    PDEExtGState translucent = NULL;
    try {
      _miExceptionPushPop frame;
      CosDoc cosDoc = PDDocGetCosDoc(doc);
      translucent = PDEExtGStateCreateNew(cosDoc);
      PDEExtGStateSetOpacityFill(translucent, FloatToASFixed(0.4));
      state = SetGraphicState(SaturatedWidth(lineWidth), fill, FloatToASFixed(0.75));
      state.extGState = translucent;
      state.wasSetFlags = kPDEExtGStateWasSet;
      PDEElementSetGState(path, &state, sizeof state);
    } catch (_miExceptionInfo&) {
      if (translucent != NULL)
        PDERelease(translucent);
      PDPageReleasePDEContent(page, NULL);
      PDERelease(path);
      if (state.fillColorSpec.space != NULL)
        PDERelease(state.fillColorSpec.space);
      return;
    }
  } else {
    state = SetGraphicState(SaturatedWidth(lineWidth), fill, 0);
    PDEElementSetGState(path, &state, sizeof state);
  }
  ASInt32 data[5] = {kPDERect, WholeToFixed(x), WholeToFixed(y), WholeToFixed(width),
                     WholeToFixed(height)};
  PDEPathSetData(path, data, sizeof data);
  FinishPath(page, content, path, &state, true);
}

void AddCircle(ASInt32 x, ASInt32 y, ASInt32 lineWidth, ASUns16 stroke, ASUns16 fill,
               PDPage page)
{
  PDEContent content = PDPageAcquirePDEContent(page, NULL);
  PDEPath path = PDEPathCreate();
  PDEPathSetPaintOp(path, PaintBits(stroke, fill));
  PDEGraphicState state = SetGraphicState(SaturatedWidth(lineWidth), fill, 0);
  PDEElementSetGState(path, &state, sizeof state);
  // Two Bézier arcs, upper then lower, through (x - 5, y) and (x + 5, y).
  const float cx = static_cast<float>(x);
  const float cy = static_cast<float>(y);
  const ASFixed left = FloatToASFixed(cx - 5.0f);
  const ASFixed right = FloatToASFixed(cx + 5.0f);
  const ASFixed middle = FloatToASFixed(cy);
  const ASFixed above = FloatToASFixed(cy + 7.0f);
  const ASFixed below = FloatToASFixed(cy - 7.0f);
  ASInt32 data[18] = {kPDEMoveTo,  left,  middle, kPDECurveTo, left,  above, right, above,
                      right,       middle, kPDECurveTo, right, below, left,  below, left,
                      middle,      kPDEClosePath};
  PDEPathSetData(path, data, sizeof data);
  FinishPath(page, content, path, &state, true);
}

// ---------------------------------------------------------------------------------------------
// The colour row
// ---------------------------------------------------------------------------------------------

void AddTableColourElement(wxRadioBox* colourBox, wxString* spotName, PDDoc doc, PDPage page,
                           PDEFont labelFont, PDEFont valueFont, ASInt32* height,
                           ASInt32* leftEdge)
{
  ASInt32 rowHeight = *height;
  ASInt32 penX = *leftEdge;
  AddTableTextElement("Colour:", "", page, labelFont, valueFont, &rowHeight, &penX, 1);

  // The squares and names stand on the label's baseline.
  rowHeight = *height;
  const int selection = colourBox->GetSelection();
  AddRect(150, rowHeight, -10, 10, 1, 1, selection == 0, 1, page, doc);
  penX = 160;
  AddTableTextElement("", "b/w", page, labelFont, valueFont, &rowHeight, &penX, 0);

  rowHeight = *height;
  AddRect(210, rowHeight, -10, 10, 1, 1, selection == 1, 1, page, doc);
  penX = 220;
  AddTableTextElement("", "full colour", page, labelFont, valueFont, &rowHeight, &penX, 0);

  rowHeight = *height;
  penX = 310;
  if (selection == 2) {
    AddRect(300, rowHeight, -10, 10, 1, 1, 1, 1, page, doc);
    AddTableElement("spotcolour:", spotName, page, valueFont, valueFont, &rowHeight, &penX, 0);
  } else {
    AddRect(300, rowHeight, -10, 10, 1, 1, 0, 1, page, doc);
    AddTableTextElement("", "spotcolour", page, labelFont, valueFont, &rowHeight, &penX, 0);
  }
  *height = rowHeight;
}
