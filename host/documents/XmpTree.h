// An XMP packet as the host edits it: read with expat, held as its RDF descriptions and their
// top-level properties, and written back with the namespace declarations each element needs.
// Names are held as namespace and local part; a prefix is only a preference for the writing.
#pragma once

#include <cstddef>
#include <string>
#include <set>
#include <unordered_map>
#include <vector>

namespace pdfhost {
namespace xmp {

// NAMESPACES
constexpr int kNoNamespace = -1;
constexpr int kRdf = 0;   // the namespace table's first entries, in every tree
constexpr int kMeta = 1;  // adobe:ns:meta/
constexpr int kXml = 2;   // the xml: prefix's, never declared
extern const char* const kRdfUri;

// A name: its namespace (an index into the tree's table, or kNoNamespace), its local part, and
// the prefix the packet wrote it with.
struct Name {
  int uri = kNoNamespace;
  std::string local;
  std::string prefix;
};

struct Attribute {
  Name name;
  std::string value;
};

// One step of an element's content, in document order.
struct Event {
  enum Kind : unsigned char { kStart, kEnd, kText } kind = kText;
  Name name;                          // kStart
  std::vector<Attribute> attributes;  // kStart
  std::string text;                   // kText: the characters, references resolved
};

// A top-level property: an attribute of its description, or an element and all it holds.
struct Property {
  Name name;
  bool isAttribute = false;
  bool removed = false;       // replaced by a property call
  std::string value;          // the attribute's
  std::vector<Event> events;  // the element's, from its start to its end
};

// A child of rdf:RDF: its own attributes (rdf:about, xml:lang, ...) and its properties.
struct Description {
  Name name;
  std::vector<Attribute> own;
  std::vector<Property> properties;
  // The subject it describes: its rdf:about, empty when it has none.
  std::string about() const;
  std::size_t propertiesLeft() const;
};

struct Tree {
  Tree();
  std::vector<std::string> uris;
  std::unordered_map<std::string, int> uriIndex;
  std::vector<Description> descriptions;
  std::set<std::string> declaredPrefixes;  // every prefix the packet declares, anywhere
  // The index of a namespace, added when new.
  int intern(const std::string& uri);
};

// READING
// Reads a packet in UTF-8 or UTF-16 (by its mark or first bytes); a text of white space only is
// an empty packet. Throws XmpFailure when it is not namespace-well-formed XML, nests deeper than
// `maxDepth` elements, has a document type, or holds text where RDF allows none.
Tree readTree(const std::string& text, std::size_t maxDepth);

// The text of a packet in UTF-8, as expat decodes it from its own encoding, markup and all;
// throws XmpFailure when expat cannot read it to its end.
std::string utf8Text(const std::string& text);

// Throws XmpFailure unless the text is namespace-well-formed XML, as expat reads it.
void checkWellFormed(const std::string& text);

// WRITING
// Appends a text as element content, or as an attribute value between double quotes, with the
// characters a parser would not read back as written replaced by references.
void appendText(std::string& out, const std::string& text);
void appendAttributeValue(std::string& out, const std::string& text);

// Writes descriptions as one packet. `prefixes` gives preferred prefixes by namespace over the
// ones the packet wrote; `uriTexts`, when not null, is what each namespace is written as (a
// stand-in name for a check). With `shortTexts`, a long text is written as one character of its
// kind, for a check of the structure alone. Declarations go where a name needs them, so the text
// is namespace-well-formed whatever the prefixes.
class Writer {
 public:
  Writer(const Tree& tree, const std::unordered_map<int, std::string>& prefixes,
         const std::vector<std::string>* uriTexts = nullptr, bool shortTexts = false);
  // Writes a description with its properties in [first, end), skipping removed ones.
  void description(const Description& description, std::size_t first = 0,
                   std::size_t end = static_cast<std::size_t>(-1));
  // Makes room for a packet of about this many bytes.
  void reserve(std::size_t bytes) { out_.reserve(bytes); }
  // The whole packet, with the padding that lets others edit it in place when asked.
  std::string finish(bool padded);

  class Scope;  // the writing's namespace bindings

 private:
  const Tree& tree_;
  const std::unordered_map<int, std::string>& prefixes_;
  const std::vector<std::string>* uriTexts_;
  bool shortTexts_;
  std::string out_;
};

}  // namespace xmp
}  // namespace pdfhost
