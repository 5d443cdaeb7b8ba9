#include "XmpPacket.h"

#include <exempi/xmp.h>
#include <exempi/xmperrors.h>

#include <algorithm>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "XmpSplice.h"
#include "XmpTree.h"
#include "support/Texts.h"

namespace pdfhost {

namespace {

struct XmpDeleter {
  void operator()(_Xmp* xmp) const { xmp_free(xmp); }
};
using XmpHolder = std::unique_ptr<_Xmp, XmpDeleter>;

// exempi writes why a parse failed ("XML parsing failure") to std::cerr. While one of these
// lives, that goes into the failure's text instead of the host's standard error. exempi is only
// called from the host's main thread.
class ToolkitDiagnostics {
 public:
  ToolkitDiagnostics() : previous_(std::cerr.rdbuf(&captured_)) {}
  ~ToolkitDiagnostics() { std::cerr.rdbuf(previous_); }
  ToolkitDiagnostics(const ToolkitDiagnostics&) = delete;
  ToolkitDiagnostics& operator=(const ToolkitDiagnostics&) = delete;

  [[noreturn]] void fail(const std::string& what)
  {
    std::string message = what + ": " + xmpErrorText(xmp_get_error());
    std::string said = captured_.str();
    std::replace(said.begin(), said.end(), '\n', ' ');
    said.erase(said.find_last_not_of(' ') + 1);
    if (!said.empty()) message += " (" + said + ")";
    throw XmpFailure(message);
  }

 private:
  std::stringbuf captured_;
  std::streambuf* previous_;
};

// Up to this many properties, exempi parses the whole packet at once, values and all. Past it,
// exempi's time would grow with the square of a description's properties (it compares each with
// its siblings), so it parses pieces of a description, and each shape of property once: what
// exempi makes of a property depends on its RDF (rdf: and xml: names and attributes, where text
// stands and whether it is blank) and, for a registered namespace, on its name; its values expat
// has read as XML characters already. What pieces cannot show (the same property twice,
// descriptions of different subjects) is checked here.
// The fuzz target makes both small, so that exempi's parse of whole packets tries the pieces.
#ifndef TVP_XMP_WHOLE_CHECK
#define TVP_XMP_WHOLE_CHECK 2000
#define TVP_XMP_CHECK_PIECE 64
#endif
constexpr std::size_t kWholeCheck = TVP_XMP_WHOLE_CHECK;
constexpr std::size_t kCheckPiece = TVP_XMP_CHECK_PIECE;

// The names exempi is shown for a tree's namespaces: a registered one as it is, any other under
// a stand-in registered for the host (the k-th of a packet is always the same stand-in, so the
// registry grows only to the most a packet has).
std::vector<std::string> checkNames(const xmp::Tree& tree)
{
  std::vector<std::string> names = tree.uris;
  int next = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (static_cast<int>(i) == xmp::kXml || xmp_namespace_prefix(names[i].c_str(), nullptr))
      continue;
    std::string standIn;
    do {
      ++next;
      standIn = "urn:x-pdfhost:check:" + std::to_string(next) + ":";
    } while (tree.uriIndex.count(standIn) != 0);
    xmp_register_namespace(standIn.c_str(), ("pdfhostcheck" + std::to_string(next)).c_str(),
                           nullptr);
    names[i] = standIn;
  }
  return names;
}

// What exempi's parse of a property depends on (see kWholeCheck).
std::string shapeOf(const xmp::Tree& tree, const std::vector<std::string>& names,
                    const xmp::Property& property)
{
  auto nameOf = [&](const xmp::Name& name, bool top) {
    bool kept = name.uri == xmp::kNoNamespace || name.uri == xmp::kRdf || name.uri == xmp::kXml ||
                (top && names[name.uri] == tree.uris[name.uri]);
    if (!kept) return std::string("*");
    return std::to_string(name.uri) + ':' + name.local;
  };
  std::string shape = nameOf(property.name, true);
  if (property.isAttribute) return "@" + shape;
  for (const xmp::Event& event : property.events) {
    if (event.kind == xmp::Event::kEnd) {
      shape += ')';
    } else if (event.kind == xmp::Event::kText) {
      shape += event.text.empty()                                             ? "\"\""
               : event.text.find_first_not_of(" \t\r\n") == std::string::npos ? "_"
                                                                              : "t";
    } else {
      shape += '(' + nameOf(event.name, false);
      for (const xmp::Attribute& attribute : event.attributes) {
        std::string name = nameOf(attribute.name, false);
        shape += " " + name + (name == "*" ? "" : "=" + attribute.value);
      }
    }
  }
  return shape;
}

void exempiParses(const std::string& text, ToolkitDiagnostics& diagnostics)
{
  XmpHolder xmp(xmp_new(text.data(), text.size()));
  if (!xmp) diagnostics.fail("The XMP metadata cannot be parsed");
}

// Checks that exempi parses the descriptions, as written with `prefixes`.
void checkDescriptions(const xmp::Tree& tree, const std::vector<const xmp::Description*>& list,
                       const std::unordered_map<int, std::string>& prefixes)
{
  ensureExempi();
  ToolkitDiagnostics diagnostics;
  std::string about;
  std::unordered_set<std::string> seen;
  std::size_t total = 0;
  for (const xmp::Description* description : list) {
    std::string subject = description->about();
    if (!subject.empty() && !about.empty() && subject != about)
      throw XmpFailure("The XMP metadata describes more than one resource (\"" + about +
                       "\" and \"" + subject + "\")");
    if (!subject.empty()) about = subject;
    for (const xmp::Property& property : description->properties) {
      if (property.removed) continue;
      ++total;
      std::string key = std::to_string(property.name.uri) + ' ' + property.name.local;
      if (!seen.insert(key).second)
        throw XmpFailure("The XMP metadata holds the property " +
                         (property.name.uri >= 0 ? tree.uris[property.name.uri] : "") +
                         property.name.local + " twice");
    }
  }
  std::vector<std::string> names = checkNames(tree);
  if (total <= kWholeCheck) {
    xmp::Writer whole(tree, prefixes, &names);
    for (const xmp::Description* description : list) whole.description(*description);
    exempiParses(whole.finish(false), diagnostics);
    return;
  }
  std::unordered_set<std::string> shapes;
  for (const xmp::Description* description : list) {
    xmp::Description shown;  // the description with the properties of shapes not seen yet
    shown.name = description->name;
    shown.own = description->own;
    for (const xmp::Property& property : description->properties)
      if (!property.removed && shapes.insert(shapeOf(tree, names, property)).second)
        shown.properties.push_back(property);
    for (std::size_t first = 0; first == 0 || first < shown.properties.size();
         first += kCheckPiece) {
      xmp::Writer piece(tree, prefixes, &names, true);
      piece.description(shown, first, first + kCheckPiece);
      exempiParses(piece.finish(false), diagnostics);
    }
  }
}

std::vector<const xmp::Description*> allOf(const xmp::Tree& tree)
{
  std::vector<const xmp::Description*> list;
  for (const xmp::Description& description : tree.descriptions) list.push_back(&description);
  return list;
}

// XML names without a colon, as far as the host can tell; exempi and expat check the rest.
bool isPlainName(const std::string& name)
{
  if (name.empty()) return false;
  auto letter = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
  };
  if (!letter(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) {
    auto u = static_cast<unsigned char>(c);
    return letter(u) || (u >= '0' && u <= '9') || u == '-' || u == '.';
  });
}

// Whether a text is UTF-8 made only of characters XML can hold.
bool isXmlText(const std::string& text)
{
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    if (!readUtf8Character(text, i, code)) return false;
    bool character = code == 0x9 || code == 0xA || code == 0xD ||
                     (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                     code >= 0x10000;
    if (!character) return false;
  }
  return true;
}

// A value with each control character but tab, line feed and carriage return, and DEL, made a
// space, as the XMP toolkit sets values: XML cannot hold most of them.
std::string withoutControls(std::string value)
{
  for (char& c : value) {
    auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F) c = ' ';
  }
  return value;
}

// Refuses what could not be written as the caller asks, before anything changes.
void checkProperty(const XmpProperty& property)
{
  std::string which = "The property " + property.prefix + ":" + property.name + " cannot be set: ";
  if (property.namespaceUri.empty() || !isXmlText(property.namespaceUri))
    throw XmpFailure(which + "its namespace is not valid");
  if (!isPlainName(property.prefix) || property.prefix == "xml" || property.prefix == "xmlns")
    throw XmpFailure(which + "its prefix is not valid");
  if (!isPlainName(property.name)) throw XmpFailure(which + "its name is not valid");
  if (!isXmlText(property.value))
    throw XmpFailure(which + "its value is not UTF-8 text of characters XML can hold");
  ensureExempi();
  // The caller's prefix is registered before exempi sees the namespace; false with no error
  // when the namespace keeps a prefix it has already, which is no failure.
  xmp_register_namespace(property.namespaceUri.c_str(), property.prefix.c_str(), nullptr);
  ToolkitDiagnostics diagnostics;
  XmpHolder empty(xmp_new_empty());
  if (!xmp_set_property(empty.get(), property.namespaceUri.c_str(), property.name.c_str(),
                        property.value.c_str(), 0))
    diagnostics.fail(which.substr(0, which.size() - 2));
}

}  // namespace

struct XmpEditor::State {
  const std::string* packet = nullptr;  // the document's, borrowed
  std::set<std::string> packetPrefixes;
  xmp::Splice splice;  // what the calls set, each property once, in the order first set
};

XmpEditor::XmpEditor(const std::string& packet) : state_(std::make_unique<State>())
{
  State& s = *state_;
  s.packet = &packet;
  xmp::Tree tree = xmp::readTree(packet, kMaxXmpDepth);
  checkDescriptions(tree, allOf(tree), {});
  s.packetPrefixes = std::move(tree.declaredPrefixes);
  s.splice.packetPrefixes = &s.packetPrefixes;
}

XmpEditor::~XmpEditor() = default;

void XmpEditor::set(const XmpProperty& asked)
{
  XmpProperty property = asked;
  property.value = withoutControls(asked.value);
  checkProperty(property);
  std::vector<xmp::SetProperty>& set = state_->splice.properties;
  // A namespace is written under the prefix its last call asked for.
  for (xmp::SetProperty& existing : set)
    if (existing.uri == property.namespaceUri) existing.prefix = property.prefix;
  for (xmp::SetProperty& existing : set)
    if (existing.uri == property.namespaceUri && existing.name == property.name) {
      existing.value = std::move(property.value);
      return;
    }
  set.push_back({property.namespaceUri, property.prefix, property.name, std::move(property.value)});
}

std::string XmpEditor::write() const
{
  const State& s = *state_;
  xmp::Spliced spliced = xmp::splicePacket(*s.packet, s.splice);
  // The document's own properties were checked when it was read; what the calls set is checked
  // now, with all of it when that is cheap.
  xmp::checkWellFormed(spliced.packet);
  if (spliced.propertiesKept + s.splice.properties.size() <= kWholeCheck)
    checkXmpPacket(spliced.packet);
  else
    checkXmpPacket(xmp::packetOfProperties(s.splice));
  return std::move(spliced.packet);
}

void ensureExempi()
{
  static std::once_flag started;
  std::call_once(started, [] { xmp_init(); });
}

std::string xmpErrorText(int code)
{
  switch (code) {
    case XMPErr_BadXML:
    case XMPErr_BadRDF:
    case XMPErr_BadXMP:
    case XMPErr_BadParse:
      return "the XML is not well-formed XMP";
    case XMPErr_BadUnicode:
      return "the text is not valid Unicode";
    case XMPErr_BadSchema:
      return "the namespace is not valid";
    case XMPErr_BadXPath:
      return "the property name is not valid";
    case XMPErr_BadValue:
    case XMPErr_BadParam:
      return "a value is not valid";
    case XMPErr_BadSerialize:
      return "the metadata cannot be written out";
    case XMPErr_NoMemory:
      return "out of memory";
    default:
      return "XMP error " + std::to_string(code);
  }
}

void checkXmpPacket(const std::string& packet)
{
  xmp::Tree tree = xmp::readTree(packet, kMaxXmpDepth);
  checkDescriptions(tree, allOf(tree), {});
}

bool isParsableXmp(const std::string& packet)
{
  try {
    checkXmpPacket(packet);
    return true;
  } catch (XmpFailure&) {
    return false;
  }
}

std::string packetAsUtf8(const std::string& packet)
{
  try {
    return xmp::utf8Text(packet);
  } catch (XmpFailure&) {
    return packet;
  }
}

std::string applyXmpProperties(const std::string& packet,
                               const std::vector<XmpProperty>& properties)
{
  XmpEditor editor(packet);
  for (const XmpProperty& property : properties) editor.set(property);
  return editor.write();
}

}  // namespace pdfhost
