// XMP packets edited with exempi: one simple property set, every other property kept.
#pragma once

#include <stdexcept>
#include <string>

namespace pdfhost {

// Why exempi refused a packet or a property, in words a user can read.
class XmpFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Starts exempi once for the process; later calls do nothing.
void ensureExempi();

// The packet with one simple property set (the namespace registered under the preferred prefix
// when exempi does not know it yet), serialised as a writable packet with padding. An empty packet
// starts a new one. Throws XmpFailure when the packet cannot be parsed or the value not set.
std::string setXmpProperty(const std::string& packet, const std::string& namespaceUri,
                           const std::string& prefix, const std::string& name,
                           const std::string& value);

// Whether a text parses as an XMP packet (an empty text counts as an empty packet).
bool isParsableXmp(const std::string& packet);

// A text for an exempi error code.
std::string xmpErrorText(int code);

}  // namespace pdfhost
