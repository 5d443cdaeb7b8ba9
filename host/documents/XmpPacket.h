// XMP packets as the host reads, edits and checks them.
//
// Packet text is read with expat (encodings, namespace scopes, depth) and written back by the
// host, which changes nothing but the properties callers set; exempi checks that what the host
// stores parses. exempi has one namespace registry per process, shared with every plug-in that
// uses it, and a packet it parses registers the prefixes of namespaces it does not know yet. So
// exempi is only ever shown namespaces that are registered already, the callers' under the
// prefixes they asked for, and any other under a stand-in name of the host's: a document's
// prefixes never reach the registry.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pdfhost {

// Why a packet or a property was refused, in words a user can read.
class XmpFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Packets nested deeper than this many elements are refused: exempi's parser recurses once per
// level.
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

// A packet being edited: read once, each property call applied as it is made, written once.
// The document's packet is edited, not rewritten: the properties the calls set are cut from
// wherever they stood (any form, qualifier or description) and written as simple values in one
// description the edit adds; every other byte stays as the document wrote it, but for a prefix
// of the callers' that the packet binds to another namespace, which is renamed where it is
// written, and a packet in another encoding, which is written in UTF-8.
class XmpEditor {
 public:
  // Reads and checks a packet (an empty text is an empty packet), which the editor borrows: it
  // must outlive the editor, unchanged. Throws XmpFailure when it cannot be read or exempi would
  // not parse it.
  explicit XmpEditor(const std::string& packet);
  ~XmpEditor();
  XmpEditor(const XmpEditor&) = delete;
  XmpEditor& operator=(const XmpEditor&) = delete;

  // Sets one property; control characters but tab, line feed and carriage return, and DEL,
  // become spaces, as the XMP toolkit makes them. Throws XmpFailure, with the packet as before
  // the call, when the namespace, prefix, name or value cannot be written.
  void set(const XmpProperty& property);
  // The packet with every call applied; checked to be namespace-well-formed and to parse in
  // exempi, or XmpFailure.
  std::string write() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Throws XmpFailure unless a whole packet can be read and exempi would parse it.
void checkXmpPacket(const std::string& packet);

// Whether a text is a packet checkXmpPacket takes.
bool isParsableXmp(const std::string& packet);

// A packet's text in UTF-8 whatever encoding it is in, as it is otherwise; a text expat cannot
// read to its end is returned unchanged.
std::string packetAsUtf8(const std::string& packet);

// The packet with the properties set in order (one XmpEditor). Throws XmpFailure.
std::string applyXmpProperties(const std::string& packet,
                               const std::vector<XmpProperty>& properties);

// A text for an exempi error code.
std::string xmpErrorText(int code);

}  // namespace pdfhost
