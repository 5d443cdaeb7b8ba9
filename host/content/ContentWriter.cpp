#include "ContentWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace pdfhost {
namespace content {

// Numbers go through to_chars and from_chars, which never look at the locale: a plug-in that
// sets one with a decimal comma must not change a single byte of the content.
namespace {

std::string fixedDecimals(double value, int decimals)
{
  char text[64];
  auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, written.ptr);
}

double readNumber(const std::string& text)
{
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

std::string formatNumber(double value)
{
  std::string number = fixedDecimals(value, 5);
  while (number.back() == '0')
    number.pop_back();
  if (number.back() == '.')
    number.pop_back();
  if (number == "-0")
    number = "0";
  return number;
}

std::string formatFixed(ASFixed value)
{
  double exact = static_cast<double>(value) / 65536.0;
  // Five decimals always read back exactly (1e-5 is finer than 1/65536); fewer often do.
  for (int decimals = 0; decimals < 5; ++decimals) {
    double shorter = readNumber(fixedDecimals(exact, decimals));
    if (std::llround(shorter * 65536.0) == value) return formatNumber(shorter);
  }
  return formatNumber(exact);
}

std::string literalString(const std::string& bytes)
{
  std::string out = "(";
  for (unsigned char byte : bytes) {
    if (byte == '(' || byte == ')' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte > 0x7E) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      out += octal;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out + ")";
}

namespace {

class Operators {
 public:
  Operators& number(ASFixed value)
  {
    text_ += formatFixed(value) + ' ';
    return *this;
  }
  Operators& raw(const std::string& word)
  {
    text_ += word + ' ';
    return *this;
  }
  void op(const char* name)
  {
    text_ += name;
    text_ += '\n';
  }
  std::string text() const { return text_; }

 private:
  std::string text_;
};

// Colour operators of one colour; a missing space reads as DeviceGray.
void writeColor(Operators& out, const Color& color, bool stroke)
{
  int components = color.space ? color.space->components : 1;
  for (int i = 0; i < components; ++i)
    out.number(color.values[static_cast<std::size_t>(i)]);
  switch (components) {
    case 3:
      out.op(stroke ? "RG" : "rg");
      break;
    case 4:
      out.op(stroke ? "K" : "k");
      break;
    default:
      out.op(stroke ? "G" : "g");
      break;
  }
}

void writeGraphicState(Operators& out, const GraphicState& state, ResourceNames& names)
{
  if (state.extGState)
    out.raw("/" + names.extGStateName(*state.extGState)).op("gs");
  writeColor(out, state.fill, false);
  writeColor(out, state.stroke, true);
  out.number(state.lineWidth).op("w");
  out.number(state.miterLimit).op("M");
  out.number(state.flatness).op("i");
  out.raw(std::to_string(state.lineCap)).op("J");
  out.raw(std::to_string(state.lineJoin)).op("j");
  if (state.dash.dashLen > 0) {
    std::string array = "[";
    for (ASInt32 i = 0; i < state.dash.dashLen && i < kPDEMaxDashes; ++i)
      array += (i > 0 ? " " : "") + formatFixed(state.dash.dashes[i]);
    out.raw(array + "]").number(state.dash.dashPhase).op("d");
  }
  if (!state.renderIntent.empty())
    out.raw("/" + state.renderIntent).op("ri");
}

void writeText(Operators& out, const Text& text, ResourceNames& names)
{
  out.op("BT");
  for (const Run& run : text.runs) {
    writeGraphicState(out, run.graphics, names);
    out.raw("/" + names.fontName(*run.font)).number(run.text.fontSize).op("Tf");
    out.number(run.text.charSpacing).op("Tc");
    out.number(run.text.wordSpacing).op("Tw");
    out.number(run.text.hScale).op("Tz");
    out.number(run.text.textRise).op("Ts");
    out.raw(std::to_string(run.text.renderMode)).op("Tr");
    const ASFixedMatrix& m = run.matrix;
    out.number(m.a).number(m.b).number(m.c).number(m.d).number(m.h).number(m.v).op("Tm");
    out.raw(literalString(run.bytes)).op("Tj");
  }
  out.op("ET");
}

const char* paintOperator(ASUns32 paintOp)
{
  bool stroke = (paintOp & kPDEStroke) != 0;
  bool evenOdd = (paintOp & kPDEEoFill) != 0;
  bool fill = (paintOp & kPDEFill) != 0 || evenOdd;
  if (fill && stroke)
    return evenOdd ? "B*" : "B";
  if (fill)
    return evenOdd ? "f*" : "f";
  return stroke ? "S" : "n";
}

void writePath(Operators& out, const Path& path, ResourceNames& names)
{
  writeGraphicState(out, path.graphics, names);
  const std::vector<ASInt32>& data = path.data;
  std::size_t at = 0;
  while (at < data.size()) {
    ASInt32 code = data[at];
    int coordinates = coordinatesOfSegment(code);
    for (int i = 0; i < coordinates; ++i)
      out.number(data[at + 1 + static_cast<std::size_t>(i)]);
    static const char* const kOperators[] = {"m", "l", "c", "v", "y", "re", "h"};
    out.op(kOperators[code]);
    at += 1 + static_cast<std::size_t>(coordinates);
  }
  out.op(paintOperator(path.paintOp));
}

}  // namespace

std::string writeElements(const std::vector<Ref<Element>>& elements, ResourceNames& names)
{
  Operators out;
  for (const auto& element : elements) {
    out.op("q");
    if (element->kind() == Kind::Text)
      writeText(out, static_cast<const Text&>(*element.get()), names);
    else
      writePath(out, static_cast<const Path&>(*element.get()), names);
    out.op("Q");
  }
  return out.text();
}

}  // namespace content
}  // namespace pdfhost
