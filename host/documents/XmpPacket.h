// XMP packets edited with exempi: simple properties set, every other property kept.
//
// exempi has one namespace registry per process, shared with every plug-in that uses it. A
// packet it parses registers the prefixes the packet binds to namespaces it does not know yet,
// for the life of the process. So the host registers the prefix each caller asks for before it
// parses, and parses a namespace nobody asked for under a private name of its own, which it
// turns back into the document's namespace when it writes the packet out: a document's prefixes
// never reach the registry.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace pdfhost {

// Why exempi refused a packet or a property, in words a user can read.
class XmpFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Packets nested deeper than this many elements are refused before exempi sees them: its
// parser recurses once per level.
constexpr std::size_t kMaxXmpDepth = 1000;

// One simple property, its namespace and the prefix the caller wants for it.
struct XmpProperty {
  std::string namespaceUri;
  std::string prefix;
  std::string name;
  std::string value;
};

// Starts exempi once for the process; later calls do nothing.
void ensureExempi();

// Registers the property's prefix (a namespace bound already keeps its prefix) and checks that
// exempi takes its name and value. Throws XmpFailure when it does not.
void checkXmpProperty(const XmpProperty& property);

// The packet with the properties set in order: one parse, one serialisation as a writable
// packet with padding. Only the properties of the namespaces set go through exempi; the
// document's other properties are kept as they were written, in descriptions of their own, so
// the cost does not grow with them (exempi compares each property with all its siblings). An
// empty packet starts a new one. Throws XmpFailure when the packet cannot be parsed, is nested
// too deep, or a property cannot be set.
std::string applyXmpProperties(const std::string& packet, const std::vector<XmpProperty>& properties);

// The packet with one property set (see applyXmpProperties).
std::string setXmpProperty(const std::string& packet, const std::string& namespaceUri,
                           const std::string& prefix, const std::string& name,
                           const std::string& value);

// Whether a text parses as an XMP packet (an empty text counts as an empty packet).
bool isParsableXmp(const std::string& packet);

// How deep elements nest in a text, counted without recursion; stops counting past `limit`.
std::size_t xmlDepth(const std::string& text, std::size_t limit);

// A text for an exempi error code.
std::string xmpErrorText(int code);

}  // namespace pdfhost
