// Host texts and the encodings the host converts between.
#pragma once

#include <optional>
#include <string>

#include "ASTypes.h"

// A host text holds Unicode as UTF-8.
struct _t_ASText {
  std::string utf8;
};

namespace pdfhost {

// ENCODINGS the host knows. The language encoding of this host is UTF-8.
enum HostEncoding : ASHostEncoding {
  kHostEncodingUTF8 = 0,
  kHostEncodingWinAnsi = 1,  // Windows-1252, the standard fonts' encoding
};

bool isKnownEncoding(ASHostEncoding encoding);
// Bytes in an encoding to UTF-8. Invalid UTF-8 sequences become U+FFFD so a text is always valid.
std::string toUtf8(const std::string& bytes, ASHostEncoding encoding);
// UTF-8 to bytes in an encoding; a character the encoding lacks becomes '?'.
std::string fromUtf8(const std::string& utf8, ASHostEncoding encoding);

// Reads the valid UTF-8 character at byte `at` and moves past it; false, with nothing moved, when
// no valid sequence (shortest form, no surrogate, at most U+10FFFF) starts there.
bool readUtf8Character(const std::string& text, std::size_t& at, char32_t& character);
// The length of the valid UTF-8 sequence that starts at byte `at`, or 0 when there is none.
std::size_t utf8SequenceLength(const std::string& text, std::size_t at);
// A text shortened to at most `limit` bytes, never inside a UTF-8 character: a long path in it
// (from a '/' that starts a word to the punctuation after it) first loses its middle to "…", so
// the words after it survive; only then is the end cut.
std::string fitText(const std::string& text, std::size_t limit);

}  // namespace pdfhost
