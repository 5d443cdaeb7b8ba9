#include "FontMetrics.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unordered_map>

namespace pdfhost {
namespace content {

const char* const kAfmFolder = "/usr/share/fonts/type1/urw-base35";

namespace {

struct StandardFont {
  const char* baseFont;
  const char* afmName;
  bool symbolic;
};

// The fourteen standard fonts and the URW fonts that share their metrics.
const StandardFont kStandardFonts[] = {
    {"Helvetica", "NimbusSans-Regular", false},
    {"Helvetica-Bold", "NimbusSans-Bold", false},
    {"Helvetica-Oblique", "NimbusSans-Italic", false},
    {"Helvetica-BoldOblique", "NimbusSans-BoldItalic", false},
    {"Times-Roman", "NimbusRoman-Regular", false},
    {"Times-Bold", "NimbusRoman-Bold", false},
    {"Times-Italic", "NimbusRoman-Italic", false},
    {"Times-BoldItalic", "NimbusRoman-BoldItalic", false},
    {"Courier", "NimbusMonoPS-Regular", false},
    {"Courier-Bold", "NimbusMonoPS-Bold", false},
    {"Courier-Oblique", "NimbusMonoPS-Italic", false},
    {"Courier-BoldOblique", "NimbusMonoPS-BoldItalic", false},
    {"Symbol", "StandardSymbolsPS", true},
    {"ZapfDingbats", "D050000L", true},
};

// The glyph of each WinAnsiEncoding code from 0x20 to 0xFF; null where the code has none.
// (The encoding's unused codes above 0x7E show the bullet, as readers draw them.)
const char* const kWinAnsiGlyphs[224] = {
    // 0x20
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash",
    // 0x30
    "zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "colon",
    "semicolon", "less", "equal", "greater", "question",
    // 0x40
    "at", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
    // 0x50
    "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "bracketleft", "backslash",
    "bracketright", "asciicircum", "underscore",
    // 0x60
    "grave", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
    // 0x70
    "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "braceleft", "bar", "braceright",
    "asciitilde", "bullet",
    // 0x80
    "Euro", "bullet", "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger",
    "daggerdbl", "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", "bullet",
    "Zcaron", "bullet",
    // 0x90
    "bullet", "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet", "endash",
    "emdash", "tilde", "trademark", "scaron", "guilsinglright", "oe", "bullet", "zcaron",
    "Ydieresis",
    // 0xA0
    "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar", "section",
    "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen",
    "registered", "macron",
    // 0xB0
    "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu", "paragraph",
    "periodcentered", "cedilla", "onesuperior", "ordmasculine", "guillemotright", "onequarter",
    "onehalf", "threequarters", "questiondown",
    // 0xC0
    "Agrave", "Aacute", "Acircumflex", "Atilde", "Adieresis", "Aring", "AE", "Ccedilla",
    "Egrave", "Eacute", "Ecircumflex", "Edieresis", "Igrave", "Iacute", "Icircumflex",
    "Idieresis",
    // 0xD0
    "Eth", "Ntilde", "Ograve", "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply",
    "Oslash", "Ugrave", "Uacute", "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls",
    // 0xE0
    "agrave", "aacute", "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla",
    "egrave", "eacute", "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex",
    "idieresis",
    // 0xF0
    "eth", "ntilde", "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide",
    "oslash", "ugrave", "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis",
};

const StandardFont* findFont(const std::string& baseFont)
{
  for (const auto& font : kStandardFonts)
    if (baseFont == font.baseFont)
      return &font;
  return nullptr;
}

// One "C code ; WX width ; N name ; ..." line of an AFM file.
struct CharMetric {
  int code = -1;
  int width = 0;
  std::string name;
};

bool parseCharMetric(const std::string& line, CharMetric* metric)
{
  std::istringstream fields(line);
  std::string item;
  // The widths are read as the file writes them, whatever locale a plug-in set.
  fields.imbue(std::locale::classic());
  bool haveWidth = false;
  while (std::getline(fields, item, ';')) {
    std::istringstream words(item);
    words.imbue(std::locale::classic());
    std::string key;
    words >> key;
    if (key == "C")
      words >> metric->code;
    else if (key == "WX")
      haveWidth = static_cast<bool>(words >> metric->width);
    else if (key == "N")
      words >> metric->name;
  }
  return haveWidth;
}

FontMetrics readMetrics(const StandardFont& font)
{
  std::string path = std::string(kAfmFolder) + "/" + font.afmName + ".afm";
  std::ifstream in(path);
  if (!in)
    throw FontFailure("the font metrics " + path + " cannot be read");
  std::unordered_map<std::string, int> widthOfGlyph;
  FontMetrics metrics;
  metrics.baseFont = font.baseFont;
  metrics.symbolic = font.symbolic;
  std::string line;
  bool inMetrics = false;
  int count = 0;
  while (std::getline(in, line)) {
    if (line.rfind("StartCharMetrics", 0) == 0) {
      inMetrics = true;
      continue;
    }
    if (line.rfind("EndCharMetrics", 0) == 0)
      break;
    if (!inMetrics || line.rfind("C ", 0) != 0)
      continue;
    CharMetric metric;
    if (!parseCharMetric(line, &metric))
      throw FontFailure("the font metrics " + path + " are damaged: " + line);
    ++count;
    if (!metric.name.empty())
      widthOfGlyph.emplace(metric.name, metric.width);
    if (font.symbolic && metric.code >= 0 && metric.code < 256)
      metrics.widths[static_cast<std::size_t>(metric.code)] = metric.width;
  }
  if (count == 0)
    throw FontFailure("the font metrics " + path + " hold no character metrics");
  if (!font.symbolic) {
    for (int code = 0x20; code < 0x100; ++code) {
      auto found = widthOfGlyph.find(kWinAnsiGlyphs[code - 0x20]);
      if (found != widthOfGlyph.end())
        metrics.widths[static_cast<std::size_t>(code)] = found->second;
    }
  }
  return metrics;
}

}  // namespace

bool isStandardFont(const std::string& baseFont)
{
  return findFont(baseFont) != nullptr;
}

const FontMetrics& standardFontMetrics(const std::string& baseFont)
{
  static std::mutex lock;
  static std::map<std::string, FontMetrics> read;
  const StandardFont* font = findFont(baseFont);
  if (font == nullptr)
    throw FontFailure("\"" + baseFont + "\" is not one of the standard Type 1 fonts");
  std::lock_guard<std::mutex> guard(lock);
  auto found = read.find(baseFont);
  if (found == read.end())
    found = read.emplace(baseFont, readMetrics(*font)).first;
  return found->second;
}

}  // namespace content
}  // namespace pdfhost
