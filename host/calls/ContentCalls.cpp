// The host's calls of the PDFEditWrite, PDFEditRead and PagePDEContent tables: page-content
// elements, the objects they name, and a page's content acquired, set back and released.
#include <cmath>

#include "calls/CallSupport.h"
#include "content/FontMetrics.h"

namespace pdfhost {
namespace calls {

using content::Kind;

namespace {

template <typename T>
T& objectOf(const _t_PDEObject* handle, Kind kind, const char* call)
{
  T* object = host().pde.find<T>(handle, kind);
  if (object == nullptr)
    refuse(call, handle == nullptr ? "no object" : "not a live object of the right kind");
  return *object;
}

content::Text& textOf(PDEText text, const char* call)
{
  return objectOf<content::Text>(text, Kind::Text, call);
}

content::Path& pathOf(PDEPath path, const char* call)
{
  return objectOf<content::Path>(path, Kind::Path, call);
}

content::Element& elementOf(PDEElement element, const char* call)
{
  content::Object* object = host().pde.find(element);
  if (object == nullptr || (object->kind() != Kind::Text && object->kind() != Kind::Path))
    refuse(call, "not a live text or path");
  return *static_cast<content::Element*>(object);
}

content::Color colorOf(const PDEColorSpec& spec, const char* call)
{
  content::Color color;
  if (spec.space != nullptr)
    color.space = content::Ref<content::ColorSpace>(
        &objectOf<content::ColorSpace>(spec.space, Kind::ColorSpace, call));
  for (int i = 0; i < kPDEMaxColorComponents; ++i)
    color.values[static_cast<std::size_t>(i)] = spec.value.color[i];
  return color;
}

// A graphic-state record as the host keeps it, with references of its own to the objects the
// record names. No record: black on DeviceGray, 1-point lines.
content::GraphicState graphicStateOf(const PDEGraphicState* record, ASUns32 size, const char* call)
{
  content::GraphicState state;
  if (record == nullptr) return state;
  if (size < sizeof(PDEGraphicState))
    refuse(call, "a graphic state of " + std::to_string(size) + " bytes, not " +
                     std::to_string(sizeof(PDEGraphicState)));
  if (record->dash.dashLen < 0 || record->dash.dashLen > kPDEMaxDashes)
    refuse(call, "a dash of " + std::to_string(record->dash.dashLen) + " lengths");
  state.fill = colorOf(record->fillColorSpec, call);
  state.stroke = colorOf(record->strokeColorSpec, call);
  state.dash = record->dash;
  state.lineWidth = record->lineWidth;
  state.miterLimit = record->miterLimit;
  state.flatness = record->flatness;
  state.lineCap = record->lineCap;
  state.lineJoin = record->lineJoin;
  if (record->renderIntent != ASAtomNull && record->renderIntent != 0) {  // 0: a cleared record
    const char* intent = host().atoms.name(record->renderIntent);
    if (intent == nullptr) refuse(call, "a rendering intent that is no atom");
    state.renderIntent = intent;
  }
  if (record->extGState != nullptr)
    state.extGState = content::Ref<content::ExtGState>(
        &objectOf<content::ExtGState>(record->extGState, Kind::ExtGState, call));
  return state;
}

content::TextState textStateOf(const PDETextState* record, ASUns32 size, const char* call)
{
  content::TextState state;
  if (record == nullptr || size == 0) return state;
  if (size < sizeof(PDETextState))
    refuse(call, "a text state of " + std::to_string(size) + " bytes");
  state.charSpacing = record->charSpacing;
  state.wordSpacing = record->wordSpacing;
  state.renderMode = record->renderMode;
  state.fontSize = record->fontSize;
  state.hScale = record->hScale != 0 ? record->hScale : 100 * fixedOne;
  state.textRise = record->textRise;
  return state;
}

void requireRunIndex(const content::Text& text, ASUns32 flags, ASInt32 index, bool orEnd,
                     const char* call)
{
  if ((flags & kPDETextRun) == 0)
    refuse(call, "only runs can be named (flags " + std::to_string(flags) + ")");
  auto limit = static_cast<ASInt32>(text.runs.size()) + (orEnd ? 1 : 0);
  if (index < 0 || index >= limit)
    refuse(call, "no run " + std::to_string(index) + " (the text has " +
                     std::to_string(text.runs.size()) + ")");
}

ASFixed fixedOf(double value)
{
  double scaled = std::round(value * 65536.0);
  if (std::isnan(scaled)) return 0;
  if (scaled >= 2147483647.0) return 0x7FFFFFFF;
  if (scaled <= -2147483648.0) return static_cast<ASFixed>(0x80000000u);
  return static_cast<ASFixed>(scaled);
}

_t_PDPage& pageOf(PDPage page, const char* call)
{
  if (page == nullptr || !host().pages.holds(page)) refuse(call, "not a live page");
  if (page->doc == nullptr) refuse(call, "the page's document was closed");
  return *page;
}

}  // namespace

// PDFEDITWRITE: texts

PDEText PDETextCreate(void)
{
  return host().pde.make<content::Text>();
}

void PDETextAdd(PDEText text, ASUns32 flags, ASInt32 index, const ASUns8* bytes, ASInt32 length,
                PDEFont font, PDEGraphicStateP gstate, ASUns32 gstateSize, PDETextStateP tstate,
                ASUns32 tstateSize, ASFixedMatrix* textMatrix, ASFixedMatrix* /*strokeMatrix*/)
{
  const char* call = "PDETextAdd";
  content::Text& target = textOf(text, call);
  requireRunIndex(target, flags, index, true, call);
  if (length < 0 || (bytes == nullptr && length > 0))
    refuse(call, "no text of " + std::to_string(length) + " bytes");
  if (textMatrix == nullptr) refuse(call, "no text matrix");
  content::Run run;
  run.font = content::Ref<content::Font>(&objectOf<content::Font>(font, Kind::Font, call));
  run.graphics = graphicStateOf(gstate, gstateSize, call);
  run.text = textStateOf(tstate, tstateSize, call);
  run.matrix = *textMatrix;
  if (length > 0)
    run.bytes.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
  target.runs.insert(target.runs.begin() + index, std::move(run));
}

void PDETextRemove(PDEText text, ASUns32 flags, ASInt32 index, ASInt32 count)
{
  const char* call = "PDETextRemove";
  content::Text& target = textOf(text, call);
  requireRunIndex(target, flags, index, false, call);
  if (count < 0 ||
      static_cast<std::size_t>(index) + static_cast<std::size_t>(count) > target.runs.size())
    refuse(call, "no " + std::to_string(count) + " runs from run " + std::to_string(index));
  target.runs.erase(target.runs.begin() + index, target.runs.begin() + index + count);
}

// PDFEDITWRITE: paths

PDEPath PDEPathCreate(void)
{
  return host().pde.make<content::Path>();
}

void PDEPathSetPaintOp(PDEPath path, ASUns32 op)
{
  content::Path& target = pathOf(path, "PDEPathSetPaintOp");
  if ((op & ~static_cast<ASUns32>(kPDEStroke | kPDEFill | kPDEEoFill)) != 0)
    refuse("PDEPathSetPaintOp", "unknown paint bits " + hex(op));
  target.paintOp = op;
}

void PDEPathSetData(PDEPath path, const ASInt32* data, ASUns32 dataSize)
{
  const char* call = "PDEPathSetData";
  content::Path& target = pathOf(path, call);
  if ((data == nullptr && dataSize > 0) || dataSize % sizeof(ASInt32) != 0)
    refuse(call, "path data of " + std::to_string(dataSize) + " bytes");
  std::size_t words = dataSize / sizeof(ASInt32);
  std::string why;
  if (!content::isValidPathData(data, words, &why)) refuse(call, why);
  target.data.assign(data, data + words);
}

void PDEPathAddSegment(PDEPath path, ASUns32 segment, ASFixed x1, ASFixed y1, ASFixed x2,
                       ASFixed y2, ASFixed x3, ASFixed y3)
{
  const char* call = "PDEPathAddSegment";
  content::Path& target = pathOf(path, call);
  int coordinates = content::coordinatesOfSegment(static_cast<ASInt32>(segment));
  if (coordinates < 0) refuse(call, "unknown segment code " + std::to_string(segment));
  // A segment takes as many of the six numbers as it has coordinates, in order.
  const ASFixed numbers[] = {x1, y1, x2, y2, x3, y3};
  target.data.push_back(static_cast<ASInt32>(segment));
  target.data.insert(target.data.end(), numbers, numbers + coordinates);
}

// PDFEDITWRITE: graphic states, content, colour spaces, fonts

void PDEElementSetGState(PDEElement element, PDEGraphicStateP gstate, ASUns32 gstateSize)
{
  const char* call = "PDEElementSetGState";
  content::Element& target = elementOf(element, call);
  if (gstate == nullptr) refuse(call, "no graphic state");
  content::GraphicState state = graphicStateOf(gstate, gstateSize, call);
  if (target.kind() == Kind::Path) {
    static_cast<content::Path&>(target).graphics = state;
  } else {
    for (auto& run : static_cast<content::Text&>(target).runs) run.graphics = state;
  }
}

void PDEContentAddElem(PDEContent content, ASInt32 addAfterIndex, PDEElement element)
{
  const char* call = "PDEContentAddElem";
  auto& target = objectOf<content::Content>(content, Kind::Content, call);
  content::Element& added = elementOf(element, call);
  auto& elements = target.elements;
  std::size_t at = 0;
  if (addAfterIndex == kPDEAfterLast)
    at = elements.size();
  else if (addAfterIndex == kPDEBeforeFirst)
    at = 0;
  else if (addAfterIndex >= 0 && static_cast<std::size_t>(addAfterIndex) < elements.size())
    at = static_cast<std::size_t>(addAfterIndex) + 1;
  else
    refuse(call, "no element " + std::to_string(addAfterIndex) + " to add after");
  elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(at),
                  content::Ref<content::Element>(&added));
}

PDEColorSpace PDEColorSpaceCreateFromName(ASAtom name)
{
  const char* text = host().atoms.name(name);
  std::string space = text != nullptr ? text : "";
  int components = space == "DeviceGray"   ? 1
                   : space == "DeviceRGB"  ? 3
                   : space == "DeviceCMYK" ? 4
                                           : 0;
  if (components == 0)
    refuse("PDEColorSpaceCreateFromName", "no device colour space \"" + space + "\"");
  return host().pde.make<content::ColorSpace>(space, components);
}

PDEFont PDEFontCreate(PDEFontAttrsP attrs, ASUns32 attrsSize, ASInt32 firstChar, ASInt32 lastChar,
                      ASInt16* widths, char** encoding, ASAtom encodingBaseName, ASStm fontStm,
                      ASInt32 /*length1*/, ASInt32 /*length2*/, ASInt32 /*length3*/)
{
  const char* call = "PDEFontCreate";
  if (attrs == nullptr || attrsSize < sizeof(PDEFontAttrs))
    refuse(call, "no font attributes of " + std::to_string(sizeof(PDEFontAttrs)) + " bytes");
  if (firstChar < 0 || lastChar > 255 || firstChar > lastChar)
    refuse(call, "codes " + std::to_string(firstChar) + " to " + std::to_string(lastChar));
  // This host makes the standard fonts only, unembedded, with their own widths and encoding.
  if (widths != nullptr || encoding != nullptr || fontStm != nullptr)
    refuse(call, "widths, encodings and font programs of the caller's are not taken");
  const char* base = host().atoms.name(encodingBaseName);
  bool defaultEncoding = encodingBaseName == ASAtomNull || encodingBaseName == 0;
  if (!defaultEncoding && (base == nullptr || std::string(base) != "WinAnsiEncoding"))
    refuse(call, "the base encoding " + std::string(base != nullptr ? base : "?"));
  const char* type = host().atoms.name(attrs->type);
  const char* name = host().atoms.name(attrs->name);
  if (type == nullptr || std::string(type) != "Type1")
    refuse(call, "font type " + std::string(type != nullptr ? type : "?"), kASErrFontNotFound);
  try {
    const content::FontMetrics& metrics = content::standardFontMetrics(name != nullptr ? name : "");
    if (metrics.symbolic && !defaultEncoding)
      refuse(call, metrics.baseFont + " has its own encoding");
    return host().pde.make<content::Font>(metrics);
  } catch (content::FontFailure& failure) {
    refuse(call, failure.what(), kASErrFontNotFound);
  }
}

PDEExtGState PDEExtGStateCreateNew(CosDoc cosDoc)
{
  if (cosDoc == nullptr || !host().documents.holds(reinterpret_cast<PDDoc>(cosDoc)))
    refuse("PDEExtGStateCreateNew", "not the object layer of an open document");
  return host().pde.make<content::ExtGState>();
}

void PDEExtGStateSetOpacityFill(PDEExtGState extGState, ASFixed opacity)
{
  const char* call = "PDEExtGStateSetOpacityFill";
  auto& target = objectOf<content::ExtGState>(extGState, Kind::ExtGState, call);
  if (opacity < 0 || opacity > fixedOne) refuse(call, "an opacity outside 0 to 1");
  target.fillOpacity = opacity;
}

// PDFEDITREAD

void PDERelease(PDEObject object)
{
  if (object == nullptr) return;
  content::Object* target = host().pde.find(object);
  if (target == nullptr) refuse("PDERelease", "not a live object");
  // A page's content is given back with PDPageReleasePDEContent, never here.
  if (target->kind() == Kind::Content) refuse("PDERelease", "a page's content");
  host().pde.release(target);
}

void PDETextGetAdvanceWidth(PDEText text, ASUns32 flags, ASInt32 index, ASFixedPoint* advance)
{
  const char* call = "PDETextGetAdvanceWidth";
  content::Text& target = textOf(text, call);
  requireRunIndex(target, flags, index, false, call);
  if (advance == nullptr) refuse(call, "nowhere to put the advance");
  const content::Run& run = target.runs[static_cast<std::size_t>(index)];
  double width = content::runAdvance(run);
  if ((flags & kPDETextPageSpace) != 0) {
    advance->h = fixedOf(width * run.matrix.a / 65536.0);
    advance->v = fixedOf(width * run.matrix.b / 65536.0);
  } else {
    advance->h = fixedOf(width);
    advance->v = 0;
  }
}

// PAGEPDECONTENT

PDEContent PDPageAcquirePDEContent(PDPage page, ASExtension /*owner*/)
{
  return host().pages.acquireContent(&pageOf(page, "PDPageAcquirePDEContent"));
}

ASInt32 PDPageReleasePDEContent(PDPage page, ASExtension /*owner*/)
{
  const char* call = "PDPageReleasePDEContent";
  if (page == nullptr || !host().pages.holds(page)) refuse(call, "not a live page");
  try {
    return host().pages.releaseContent(page);
  } catch (content::PageFailure& failure) {
    refuse(call, failure.what());
  }
}

namespace {

void setPageContent(PDPage page, const char* call)
{
  _t_PDPage& target = pageOf(page, call);
  try {
    host().pages.setContent(&target);
  } catch (content::PageFailure& failure) {
    refuse(call, failure.what());
  } catch (std::exception& failure) {
    refuse(call, failure.what(), kASErrPageContent);
  }
}

}  // namespace

ASBool PDPageSetPDEContent(PDPage page, ASExtension /*owner*/)
{
  setPageContent(page, "PDPageSetPDEContent");
  return kASTrue;
}

void PDPageSetPDEContentCanRaise(PDPage page, ASExtension /*owner*/)
{
  setPageContent(page, "PDPageSetPDEContentCanRaise");
}

// ACROSUPPORT: numbers

ASFixed FloatToASFixed(double value)
{
  return fixedOf(value);
}

}  // namespace calls
}  // namespace pdfhost
