// Reading packets with expat: the tree of descriptions and properties, and the packet's text in
// UTF-8. expat decodes the encodings, resolves references and tracks namespace scopes; nothing
// here looks at the text itself.
#include "XmpTree.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "XmpPacket.h"

namespace pdfhost {
namespace xmp {

const char* const kRdfUri = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

namespace {

const char kSeparator = '\x01';  // no XML text can hold it

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};
using ParserHolder = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

bool isWhiteSpace(const std::string& text)
{
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string where(XML_Parser parser)
{
  return " (line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
         std::to_string(XML_GetCurrentColumnNumber(parser)) + ")";
}

// Feeds the whole text to a parser; throws XmpFailure with expat's reason, or with the reason a
// handler stopped it for.
void run(XML_Parser parser, const std::string& text, const std::string& stopped)
{
  // In pieces, so that expat never holds more than one of them besides what it has read.
  const std::size_t step = 1 << 20;
  for (std::size_t at = 0;; at += step) {
    std::size_t length = std::min(step, text.size() - at);
    bool last = at + length == text.size();
    if (XML_Parse(parser, text.data() + at, static_cast<int>(length), last) != XML_STATUS_OK) {
      if (!stopped.empty()) throw XmpFailure(stopped);
      throw XmpFailure(std::string("The XMP metadata is not well-formed XML: ") +
                       XML_ErrorString(XML_GetErrorCode(parser)) + where(parser));
    }
    if (last) return;
  }
}

// Builds the tree from expat's events, without recursion.
class TreeBuilder {
 public:
  TreeBuilder(Tree& tree, std::size_t maxDepth) : tree_(tree), maxDepth_(maxDepth) {}

  void start(XML_Parser parser, const char* name, const char** attributes)
  {
    if (roles_.size() >= maxDepth_)
      return stop(parser, "The XMP metadata is nested deeper than " + std::to_string(maxDepth_) +
                              " elements");
    Role parent = roles_.empty() ? kOutside : roles_.back();
    Name element = split(name);
    switch (parent) {
      case kOutside:
        roles_.push_back(element.uri == kRdf && element.local == "RDF" ? kRdfRoot : kOutside);
        return;
      case kRdfRoot: {
        Description description;
        description.name = std::move(element);
        for (const char** a = attributes; *a != nullptr; a += 2) {
          Attribute attribute{split(a[0]), a[1]};
          int uri = attribute.name.uri;
          if (uri == kRdf || uri == kXml || uri == kNoNamespace) {
            description.own.push_back(std::move(attribute));
          } else {
            Property property;
            property.name = std::move(attribute.name);
            property.isAttribute = true;
            property.value = std::move(attribute.value);
            description.properties.push_back(std::move(property));
          }
        }
        tree_.descriptions.push_back(std::move(description));
        roles_.push_back(kDescription);
        return;
      }
      case kDescription:
        tree_.descriptions.back().properties.emplace_back();
        tree_.descriptions.back().properties.back().name = element;
        [[fallthrough]];
      case kProperty: {
        Event event;
        event.kind = Event::kStart;
        event.name = std::move(element);
        for (const char** a = attributes; *a != nullptr; a += 2)
          event.attributes.push_back({split(a[0]), a[1]});
        events().push_back(std::move(event));
        roles_.push_back(kProperty);
        return;
      }
    }
  }

  void end()
  {
    Role role = roles_.back();
    roles_.pop_back();
    if (role == kProperty) {
      Event event;
      event.kind = Event::kEnd;
      events().push_back(std::move(event));
    }
  }

  void text(XML_Parser parser, const char* data, int length)
  {
    Role role = roles_.empty() ? kOutside : roles_.back();
    if (role == kProperty) {
      std::vector<Event>& list = events();
      if (list.back().kind != Event::kText) {
        list.emplace_back();
        list.back().kind = Event::kText;
      }
      list.back().text.append(data, static_cast<std::size_t>(length));
    } else if (role != kOutside &&
               !isWhiteSpace(std::string(data, static_cast<std::size_t>(length)))) {
      stop(parser, "The XMP metadata holds text where RDF allows none" + where(parser));
    }
  }

  void stop(XML_Parser parser, const std::string& why)
  {
    if (stopped_.empty()) stopped_ = why;
    XML_StopParser(parser, XML_FALSE);
  }

  const std::string& stopped() const { return stopped_; }

 private:
  enum Role { kOutside, kRdfRoot, kDescription, kProperty };

  std::vector<Event>& events() { return tree_.descriptions.back().properties.back().events; }

  // expat's "URI<sep>local<sep>prefix", "URI<sep>local" or "local".
  Name split(const char* expanded)
  {
    Name name;
    const char* first = std::strchr(expanded, kSeparator);
    if (first == nullptr) {
      name.local = expanded;
      return name;
    }
    const char* second = std::strchr(first + 1, kSeparator);
    // Most names share their namespace with the name before.
    std::size_t length = static_cast<std::size_t>(first - expanded);
    if (lastUri_ < 0 || tree_.uris[lastUri_].compare(0, std::string::npos, expanded, length) != 0)
      lastUri_ = tree_.intern(std::string(expanded, length));
    name.uri = lastUri_;
    if (second == nullptr) {
      name.local = first + 1;
    } else {
      name.local.assign(first + 1, second);
      name.prefix = second + 1;
    }
    return name;
  }

  Tree& tree_;
  std::size_t maxDepth_;
  std::vector<Role> roles_;
  std::string stopped_;
  int lastUri_ = -1;
};

}  // namespace

std::string Description::about() const
{
  for (const Attribute& attribute : own)
    if (attribute.name.local == "about" &&
        (attribute.name.uri == kRdf || attribute.name.uri == kNoNamespace))
      return attribute.value;
  return "";
}

std::size_t Description::propertiesLeft() const
{
  std::size_t left = 0;
  for (const Property& property : properties) left += property.removed ? 0 : 1;
  return left;
}

Tree::Tree()
{
  intern(kRdfUri);
  intern("adobe:ns:meta/");
  intern("http://www.w3.org/XML/1998/namespace");
}

int Tree::intern(const std::string& uri)
{
  auto found = uriIndex.find(uri);
  if (found != uriIndex.end()) return found->second;
  uris.push_back(uri);
  return uriIndex.emplace(uri, static_cast<int>(uris.size() - 1)).first->second;
}

Tree readTree(const std::string& text, std::size_t maxDepth)
{
  Tree tree;
  if (isWhiteSpace(text)) return tree;
  ParserHolder parser(XML_ParserCreateNS(nullptr, kSeparator));
  if (!parser) throw XmpFailure("The XMP metadata cannot be read: out of memory");
  XML_SetReturnNSTriplet(parser.get(), 1);
  struct Context {
    XML_Parser parser;
    TreeBuilder builder;
    Tree& tree;
  } context{parser.get(), TreeBuilder(tree, maxDepth), tree};
  XML_SetUserData(parser.get(), &context);
  XML_SetElementHandler(
      parser.get(),
      [](void* data, const char* name, const char** attributes) {
        auto* c = static_cast<Context*>(data);
        c->builder.start(c->parser, name, attributes);
      },
      [](void* data, const char*) { static_cast<Context*>(data)->builder.end(); });
  XML_SetCharacterDataHandler(parser.get(), [](void* data, const char* s, int length) {
    auto* c = static_cast<Context*>(data);
    c->builder.text(c->parser, s, length);
  });
  XML_SetStartNamespaceDeclHandler(parser.get(), [](void* data, const char* prefix, const char*) {
    static_cast<Context*>(data)->tree.declaredPrefixes.insert(prefix ? prefix : "");
  });
  // XMP allows no document type: it could declare entities that expand without end.
  XML_SetStartDoctypeDeclHandler(parser.get(), [](void* data, const char*, const char*, const char*,
                                                  int) {
    auto* c = static_cast<Context*>(data);
    c->builder.stop(c->parser, "The XMP metadata has a document type, which XMP does not allow");
  });
  run(parser.get(), text, context.builder.stopped());
  if (!context.builder.stopped().empty()) throw XmpFailure(context.builder.stopped());
  return tree;
}

void checkWellFormed(const std::string& text)
{
  ParserHolder parser(XML_ParserCreateNS(nullptr, kSeparator));
  if (!parser) throw XmpFailure("The XMP metadata cannot be read: out of memory");
  run(parser.get(), text, "");
}

std::string utf8Text(const std::string& text)
{
  ParserHolder parser(XML_ParserCreate(nullptr));
  if (!parser) throw XmpFailure("The XMP metadata cannot be read: out of memory");
  std::string out;
  XML_SetUserData(parser.get(), &out);
  // Every piece of the text reaches the default handler as written, in UTF-8; only the XML
  // declaration is written anew, since it may name the encoding the text had.
  XML_SetDefaultHandler(parser.get(), [](void* data, const char* s, int length) {
    static_cast<std::string*>(data)->append(s, static_cast<std::size_t>(length));
  });
  XML_SetXmlDeclHandler(parser.get(), [](void* data, const char* version, const char*, int) {
    *static_cast<std::string*>(data) +=
        std::string("<?xml version=\"") + (version ? version : "1.0") + "\" encoding=\"UTF-8\"?>";
  });
  run(parser.get(), text, "");
  return out;
}

}  // namespace xmp
}  // namespace pdfhost
