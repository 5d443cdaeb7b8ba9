#include "Texts.h"

#include <algorithm>
#include <cstdint>

namespace pdfhost {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks the five unassigned ones.
const char32_t kWinAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c)
{
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at i; returns U+FFFD and advances one byte on a bad sequence.
char32_t decodeUtf8(const std::string& s, std::size_t& i)
{
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = byte(i);
  int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
  if (extra < 0 || i + extra >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  static const char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += extra + 1;
  return c;
}

bool isContinuation(const std::string& text, std::size_t at)
{
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// Where the longest path in a text starts and ends; an empty range when it has none.
std::pair<std::size_t, std::size_t> longestPath(const std::string& text)
{
  std::pair<std::size_t, std::size_t> longest{0, 0};
  for (std::size_t at = text.find('/'); at != std::string::npos; at = text.find('/', at + 1)) {
    if (at > 0 && text[at - 1] != ' ' && text[at - 1] != '(') continue;
    std::size_t end = text.size();
    for (const char* stop : {", ", ": ", ". ", " ("}) end = std::min(end, text.find(stop, at));
    while (end > at + 1 && (text[end - 1] == '.' || text[end - 1] == ',')) --end;
    if (end - at > longest.second - longest.first) longest = {at, end};
    at = end - 1;
  }
  return longest;
}

}  // namespace

bool readUtf8Character(const std::string& text, std::size_t& at, char32_t& character)
{
  std::size_t next = at;
  char32_t c = decodeUtf8(text, next);
  // A bad sequence decodes as U+FFFD over one byte; U+FFFD itself takes three.
  if (c == 0xFFFD && next == at + 1) return false;
  character = c;
  at = next;
  return true;
}

std::size_t utf8SequenceLength(const std::string& text, std::size_t at)
{
  std::size_t next = at;
  char32_t character = 0;
  return readUtf8Character(text, next, character) ? next - at : 0;
}

std::string fitText(const std::string& text, std::size_t limit)
{
  static const std::string kEllipsis = "\u2026";
  if (text.size() <= limit) return text;
  std::string shortened = text;
  auto [start, end] = longestPath(text);
  std::size_t excess = text.size() - limit + kEllipsis.size();
  if (end - start > excess + 1) {
    // A third of what stays before the cut, two thirds after it: the file's name is at the end.
    std::size_t keep = end - start - excess;
    std::size_t headEnd = start + std::max<std::size_t>(keep / 3, 1);
    std::size_t tailStart = end - (keep - (headEnd - start));
    while (isContinuation(text, headEnd)) --headEnd;
    while (isContinuation(text, tailStart)) ++tailStart;
    return text.substr(0, headEnd) + kEllipsis + text.substr(tailStart);
  }
  if (end > start)  // the path is all that could go, and not enough
    shortened = text.substr(0, start) + kEllipsis + text.substr(end);
  std::size_t cut = std::min(limit, shortened.size());
  while (cut > 0 && isContinuation(shortened, cut)) --cut;
  return shortened.substr(0, cut);
}

bool isKnownEncoding(ASHostEncoding encoding)
{
  return encoding == kHostEncodingUTF8 || encoding == kHostEncodingWinAnsi;
}

std::string toUtf8(const std::string& bytes, ASHostEncoding encoding)
{
  std::string out;
  out.reserve(bytes.size());
  if (encoding == kHostEncodingWinAnsi) {
    for (unsigned char b : bytes) {
      char32_t c = b;
      if (b >= 0x80 && b <= 0x9F)
        c = kWinAnsiHigh[b - 0x80] ? kWinAnsiHigh[b - 0x80] : 0xFFFD;
      appendUtf8(out, c);
    }
    return out;
  }
  for (std::size_t i = 0; i < bytes.size();)
    appendUtf8(out, decodeUtf8(bytes, i));
  return out;
}

std::string fromUtf8(const std::string& utf8, ASHostEncoding encoding)
{
  if (encoding != kHostEncodingWinAnsi)
    return toUtf8(utf8, kHostEncodingUTF8);
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = decodeUtf8(utf8, i);
    char mapped = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      mapped = static_cast<char>(c);
    } else {
      for (int k = 0; k < 32; ++k)
        if (kWinAnsiHigh[k] == c && c != 0)
          mapped = static_cast<char>(0x80 + k);
    }
    out += mapped;
  }
  return out;
}

}  // namespace pdfhost
