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

}  // namespace pdfhost
