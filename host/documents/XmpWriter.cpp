// Writing packets: each element gets the prefix it prefers, and a declaration wherever that
// prefix is not yet bound to its namespace in scope. A description declares up front the
// namespaces its properties use, so a declaration is written once per description, not once per
// property; a prefix that means two namespaces in one description is declared again where the
// second is used. Nothing is renamed anywhere but in declarations.
#include <algorithm>
#include <unordered_set>

#include "XmpTree.h"

namespace pdfhost {
namespace xmp {

namespace {

constexpr int kUnbound = -2;

const char* referenceFor(char c)
{
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\t':
      return "&#x9;";
    case '\n':
      return "&#xA;";
    default:
      return "&#xD;";
  }
}

// Appends text with the characters a parser would not read back as written replaced by references;
// the runs between them are appended whole.
void escape(std::string& out, const char* text, std::size_t size, const bool (&special)[256])
{
  std::size_t from = 0;
  for (std::size_t at = 0; at < size; ++at) {
    auto c = static_cast<unsigned char>(text[at]);
    if (!special[c]) continue;
    out.append(text + from, at - from).append(referenceFor(text[at]));
    from = at + 1;
  }
  out.append(text + from, size - from);
}

struct SpecialCharacters {
  bool text[256] = {};
  bool attribute[256] = {};
  SpecialCharacters()
  {
    // A parser would read a carriage return in text as a line end.
    for (unsigned char c : {'&', '<', '>', '\r'}) text[c] = true;
    // A parser turns tabs and line ends in an attribute into spaces unless written as references.
    for (unsigned char c : {'&', '<', '"', '\t', '\n', '\r'}) attribute[c] = true;
  }
};
const SpecialCharacters kSpecial;

void escapeText(std::string& out, const std::string& text)
{
  escape(out, text.data(), text.size(), kSpecial.text);
}

void escapeAttribute(std::string& out, const std::string& text)
{
  escape(out, text.data(), text.size(), kSpecial.attribute);
}

}  // namespace

void appendText(std::string& out, const std::string& text) { escapeText(out, text); }

void appendAttributeValue(std::string& out, const std::string& text)
{
  escapeAttribute(out, text);
}

// Which namespace each prefix is bound to where the writing is, element by element.
class Writer::Scope {
 public:
  int lookup(const std::string& prefix) const
  {
    auto found = bound_.find(prefix);
    if (found == bound_.end() || found->second.empty())
      return prefix.empty() ? kNoNamespace : kUnbound;
    return found->second.back();
  }
  void open() { marks_.push_back(log_.size()); }
  void bind(const std::string& prefix, int uri)
  {
    bound_[prefix].push_back(uri);
    log_.push_back(prefix);
  }
  void close()
  {
    for (std::size_t mark = marks_.back(); log_.size() > mark; log_.pop_back())
      bound_[log_.back()].pop_back();
    marks_.pop_back();
  }

 private:
  std::unordered_map<std::string, std::vector<int>> bound_;
  std::vector<std::string> log_;
  std::vector<std::size_t> marks_;
};

namespace {

// One start tag being written: the prefixes it uses and the declarations it needs.
class StartTag {
 public:
  StartTag(Writer::Scope& scope, const std::vector<std::string>& uris,
           const std::unordered_map<int, std::string>& prefixes,
           const std::vector<std::string>* uriTexts)
      : scope_(scope), uris_(uris), prefixes_(prefixes), uriTexts_(uriTexts)
  {
  }

  // The callers' prefix for their namespaces within their own properties (`ours`); elsewhere
  // the prefix the packet wrote.
  std::string preferred(const Name& name, bool ours) const
  {
    auto found = ours ? prefixes_.find(name.uri) : prefixes_.end();
    return found != prefixes_.end() ? found->second : name.prefix;
  }

  // The name as written here, declaring its prefix when needed.
  std::string qualified(const Name& name, bool attribute, bool ours)
  {
    std::string prefix = prefixFor(name, attribute, ours);
    return prefix.empty() ? name.local : prefix + ":" + name.local;
  }

  // Declares a preferred prefix for a namespace used further in, unless that changes a name here.
  void declareAhead(const Name& name, bool attribute, bool ours)
  {
    if (name.uri < 0 || name.uri == kXml) return;
    std::string prefix = preferred(name, ours);
    if (attribute && prefix.empty()) return;
    if (scope_.lookup(prefix) != name.uri && !usedHere(prefix)) declare(prefix, name.uri);
  }

  const std::string& declarations() const { return declarations_; }

 private:
  std::string prefixFor(const Name& name, bool attribute, bool ours)
  {
    if (name.uri == kXml) return "xml";
    if (name.uri == kNoNamespace) {
      if (!attribute && scope_.lookup("") != kNoNamespace) declare("", kNoNamespace);
      return "";
    }
    std::string prefix = preferred(name, ours);
    if (attribute && prefix.empty()) prefix = "ns";  // a namespaced attribute needs a prefix
    if (scope_.lookup(prefix) == name.uri) {
      used_.insert(prefix);
      return prefix;
    }
    if (!usedHere(prefix)) {
      declare(prefix, name.uri);
      return prefix;
    }
    for (int n = 1;; ++n) {
      std::string made = "ns" + std::to_string(n);
      int bound = scope_.lookup(made);
      if (bound == name.uri) {
        used_.insert(made);
        return made;
      }
      if (bound == kUnbound && !usedHere(made)) {
        declare(made, name.uri);
        return made;
      }
    }
  }

  bool usedHere(const std::string& prefix) const { return used_.count(prefix) != 0; }

  void declare(const std::string& prefix, int uri)
  {
    scope_.bind(prefix, uri);
    used_.insert(prefix);
    declarations_ += prefix.empty() ? " xmlns=\"" : " xmlns:" + prefix + "=\"";
    if (uri >= 0) escapeAttribute(declarations_, uriTexts_ ? (*uriTexts_)[uri] : uris_[uri]);
    declarations_ += '"';
  }

  Writer::Scope& scope_;
  const std::vector<std::string>& uris_;
  const std::unordered_map<int, std::string>& prefixes_;
  const std::vector<std::string>* uriTexts_;
  std::unordered_set<std::string> used_;
  std::string declarations_;
};

void writeAttribute(std::string& out, StartTag& tag, const Name& name, const std::string& value,
                    bool ours)
{
  out += ' ';
  out += tag.qualified(name, true, ours);
  out += "=\"";
  escapeAttribute(out, value);
  out += '"';
}

}  // namespace

Writer::Writer(const Tree& tree, const std::unordered_map<int, std::string>& prefixes,
               const std::vector<std::string>* uriTexts, bool shortTexts)
    : tree_(tree), prefixes_(prefixes), uriTexts_(uriTexts), shortTexts_(shortTexts)
{
  out_ =
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
      " <rdf:RDF xmlns:rdf=\"" +
      std::string(kRdfUri) + "\">\n";
}

void Writer::description(const Description& description, std::size_t first, std::size_t end)
{
  std::vector<const Property*> properties;
  for (std::size_t i = first; i < std::min(end, description.properties.size()); ++i)
    if (!description.properties[i].removed) properties.push_back(&description.properties[i]);

  Scope scope;
  scope.open();
  scope.bind("x", kMeta);
  scope.bind("rdf", kRdf);
  scope.open();
  std::string attributes;
  StartTag tag(scope, tree_.uris, prefixes_, uriTexts_);
  auto ours = [&](const Property* property) { return prefixes_.count(property->name.uri) != 0; };
  std::string name = tag.qualified(description.name, false, false);
  for (const Attribute& own : description.own)
    writeAttribute(attributes, tag, own.name, own.value, false);
  bool hasElements = false;
  for (const Property* property : properties) {
    if (property->isAttribute)
      writeAttribute(attributes, tag, property->name, property->value, ours(property));
    else
      hasElements = true;
  }
  for (const Property* property : properties)
    for (const Event& event : property->events)
      if (event.kind == Event::kStart) {
        tag.declareAhead(event.name, false, ours(property));
        for (const Attribute& attribute : event.attributes)
          tag.declareAhead(attribute.name, true, ours(property));
      }
  out_ += "  <" + name + attributes + tag.declarations();
  if (!hasElements) {
    out_ += "/>\n";
    return;
  }
  out_ += ">\n";

  std::vector<std::string> open;  // the names of the elements being written
  for (const Property* property : properties) {
    if (property->isAttribute) continue;
    out_ += "   ";
    const bool own = ours(property);
    const std::vector<Event>& events = property->events;
    for (std::size_t i = 0; i < events.size(); ++i) {
      const Event& event = events[i];
      if (event.kind == Event::kText) {
        if (shortTexts_ && event.text.size() > 8)
          escapeText(out_,
                     event.text.find_first_not_of(" \t\r\n") == std::string::npos ? " " : "x");
        else
          escapeText(out_, event.text);
      } else if (event.kind == Event::kStart) {
        scope.open();
        StartTag inner(scope, tree_.uris, prefixes_, uriTexts_);
        std::string element = inner.qualified(event.name, false, own);
        std::string written;
        for (const Attribute& attribute : event.attributes)
          writeAttribute(written, inner, attribute.name, attribute.value, own);
        out_ += "<" + element + written + inner.declarations();
        if (i + 1 < events.size() && events[i + 1].kind == Event::kEnd) {
          out_ += "/>";
          scope.close();
          ++i;
        } else {
          out_ += ">";
          open.push_back(std::move(element));
        }
      } else {
        out_ += "</" + open.back() + ">";
        open.pop_back();
        scope.close();
      }
    }
    out_ += "\n";
  }
  out_ += "  </" + name + ">\n";
}

std::string Writer::finish(bool padded)
{
  out_ += " </rdf:RDF>\n</x:xmpmeta>\n";
  if (padded)
    for (int line = 0; line < 20; ++line) out_ += std::string(99, ' ') + "\n";
  out_ += "<?xpacket end=\"w\"?>";
  return std::move(out_);
}

}  // namespace xmp
}  // namespace pdfhost
