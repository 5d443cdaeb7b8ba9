// Turns a page's elements into the operators of a PDF content stream.
#pragma once

#include <string>
#include <vector>

#include "content/Objects.h"

namespace pdfhost {
namespace content {

// The names under which the page's resources hold what the operators refer to; the page adds
// an entry to its resources the first time it is asked for one.
class ResourceNames {
 public:
  virtual ~ResourceNames() = default;
  virtual std::string fontName(const Font& font) = 0;
  virtual std::string extGStateName(const ExtGState& state) = 0;
};

// The operators of the elements, in order. Each element stands between q and Q, so nothing of
// its graphic state reaches the next one.
std::string writeElements(const std::vector<Ref<Element>>& elements, ResourceNames& names);

// NUMBERS AND STRINGS AS PDF WRITES THEM
// A fixed-point number as the shortest decimal that reads back as the same number.
std::string formatFixed(ASFixed value);
// A number with at most five decimals, trailing zeros dropped.
std::string formatNumber(double value);
// Bytes as a PDF literal string: parentheses and backslashes escaped, other bytes outside the
// printable ASCII range in octal.
std::string literalString(const std::string& bytes);

}  // namespace content
}  // namespace pdfhost
