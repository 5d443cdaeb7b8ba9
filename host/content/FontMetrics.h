// The standard Type 1 fonts the host offers unembedded, with their advance widths read from the
// URW base-35 AFM files (metric-compatible with the fonts they stand for).
#pragma once

#include <array>
#include <stdexcept>
#include <string>

namespace pdfhost {
namespace content {

// A standard font cannot be had: an unknown name, or metrics that cannot be read.
class FontFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FontMetrics {
  std::string baseFont;  // the PDF name, such as "Helvetica-Bold"
  bool symbolic = false; // Symbol and ZapfDingbats: their own encoding, no WinAnsiEncoding
  // Advance widths in thousandths of the font size, by the byte drawn: WinAnsiEncoding codes
  // for the Latin fonts, the font's built-in codes for the symbolic ones. Codes without a glyph
  // have width 0.
  std::array<int, 256> widths{};
};

// The metrics of a standard font by its PDF base-font name, read once and kept. Throws
// FontFailure for a name that is not one of the standard fonts, or whose AFM file is missing or
// damaged (the text names the file).
const FontMetrics& standardFontMetrics(const std::string& baseFont);

// Whether a name is one of the standard fonts (nothing is read).
bool isStandardFont(const std::string& baseFont);

// The folder of the AFM files.
extern const char* const kAfmFolder;

}  // namespace content
}  // namespace pdfhost
