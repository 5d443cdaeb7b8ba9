// Editing a packet in place: the properties callers set are cut out of the document's text where
// expat says they stand, and written once, in one description added at the end of rdf:RDF. Every
// other byte is the document's, in order; a start or end tag is written anew only where it holds
// what is cut, or a prefix that must be renamed so as not to be read as a caller's.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace pdfhost {
namespace xmp {

// One property to write: namespace, the caller's prefix, name, value (text XML can hold).
struct SetProperty {
  std::string uri;
  std::string prefix;
  std::string name;
  std::string value;
};

struct Splice {
  std::vector<SetProperty> properties;  // in the order first set, each once
  // The prefixes of the packet's own declarations: a renamed prefix is none of these.
  const std::set<std::string>* packetPrefixes = nullptr;
};

struct Spliced {
  std::string packet;
  std::size_t propertiesKept = 0;  // the document's top-level properties left in it
};

// The packet (UTF-8 or another encoding, which is written as UTF-8) with the edit made; a packet
// without rdf:RDF is written anew with the properties alone. Throws XmpFailure when expat cannot
// read it.
Spliced splicePacket(const std::string& packet, const Splice& splice);

// A packet of its own holding only the description splicePacket adds.
std::string packetOfProperties(const Splice& splice);

}  // namespace xmp
}  // namespace pdfhost
