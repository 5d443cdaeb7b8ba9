#include "XmpPacket.h"

#include <exempi/xmp.h>
#include <exempi/xmperrors.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

namespace pdfhost {

namespace {

struct XmpDeleter {
  void operator()(_Xmp* xmp) const { xmp_free(xmp); }
};
struct XmpStringDeleter {
  void operator()(_XmpString* text) const { xmp_string_free(text); }
};
using XmpHolder = std::unique_ptr<_Xmp, XmpDeleter>;
using XmpStringHolder = std::unique_ptr<_XmpString, XmpStringDeleter>;

// exempi writes why a parse failed ("XML parsing failure", "DOCTYPE is not allowed") to
// std::cerr. While one of these lives, that goes into the failure's text instead of the host's
// standard error. exempi is only called from the host's main thread.
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
    if (!said.empty())
      message += " (" + said + ")";
    throw XmpFailure(message);
  }

 private:
  std::stringbuf captured_;
  std::streambuf* previous_;
};

bool startsWith(const std::string& text, std::size_t at, const char* what)
{
  return text.compare(at, std::char_traits<char>::length(what), what) == 0;
}

bool isSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const char* const kRdfUri = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

struct Attribute {
  std::string name;
  std::size_t at;      // where its value's text lies
  std::size_t length;
  char quote;
};

// One piece of markup: an element's start tag (open, or empty when it closes itself), an end
// tag, or anything else (a comment, CDATA, a processing instruction, a document type).
struct Tag {
  enum Kind { Open, Empty, Close, Other } kind = Other;
  std::size_t begin = 0;
  std::size_t end = 0;  // past its last byte
  std::string name;
  std::vector<Attribute> attributes;
};

// The next tag from `from`; false when there is none. Anything malformed is read as far as it
// goes and left for exempi to refuse.
bool nextTag(const std::string& text, std::size_t from, Tag* tag)
{
  const std::size_t n = text.size();
  std::size_t i = text.find('<', from);
  if (i == std::string::npos)
    return false;
  auto past = [&](std::size_t at, const char* end) {
    std::size_t found = text.find(end, at);
    return found == std::string::npos ? n : found + std::char_traits<char>::length(end);
  };
  *tag = Tag();
  tag->begin = i;
  if (startsWith(text, i, "<!--")) {
    tag->end = past(i + 4, "-->");
  } else if (startsWith(text, i, "<![CDATA[")) {
    tag->end = past(i + 9, "]]>");
  } else if (startsWith(text, i, "<?")) {
    tag->end = past(i + 2, "?>");
  } else if (startsWith(text, i, "<!")) {
    std::size_t close = text.find_first_of("[>", i);
    tag->end = close != std::string::npos && text[close] == '[' ? past(close, "]>") : past(i, ">");
  } else if (startsWith(text, i, "</")) {
    tag->kind = Tag::Close;
    tag->end = past(i, ">");
    std::size_t name = i + 2;
    std::size_t stop = std::min(text.find_first_of(" \t\r\n>", name), n);
    tag->name = text.substr(name, stop - name);
  } else {
    tag->kind = Tag::Open;
    std::size_t j = i + 1;
    while (j < n && !isSpace(text[j]) && text[j] != '/' && text[j] != '>')
      ++j;
    tag->name = text.substr(i + 1, j - i - 1);
    while (j < n) {
      if (isSpace(text[j])) {
        ++j;
      } else if (text[j] == '>') {
        ++j;
        break;
      } else if (text[j] == '/') {
        ++j;
        if (j < n && text[j] == '>') {
          tag->kind = Tag::Empty;
          ++j;
          break;
        }
      } else {
        std::size_t name = j;
        while (j < n && !isSpace(text[j]) && text[j] != '=' && text[j] != '>' && text[j] != '/')
          ++j;
        std::string attribute = text.substr(name, j - name);
        while (j < n && isSpace(text[j]))
          ++j;
        if (j >= n || text[j] != '=')
          continue;
        ++j;
        while (j < n && isSpace(text[j]))
          ++j;
        if (j >= n || (text[j] != '"' && text[j] != '\''))
          continue;
        std::size_t close = text.find(text[j], j + 1);
        if (close == std::string::npos) {
          j = n;
          break;
        }
        tag->attributes.push_back({attribute, j + 1, close - j - 1, text[j]});
        j = close + 1;
      }
    }
    tag->end = j;
  }
  return true;
}

bool isDeclaration(const Attribute& attribute)
{
  return attribute.name == "xmlns" || attribute.name.rfind("xmlns:", 0) == 0;
}

std::string prefixOf(const std::string& name)
{
  std::size_t colon = name.find(':');
  return colon == std::string::npos ? std::string() : name.substr(0, colon);
}

struct Markup {
  std::size_t depth = 0;  // past the limit, only known to be past it
  std::vector<Attribute> declarations;
};


// One pass over the tags, without recursion: how deep elements nest, and the namespace
// declarations of the start tags.
Markup scanMarkup(const std::string& text, std::size_t limit)
{
  Markup markup;
  std::size_t depth = 0;
  Tag tag;
  for (std::size_t at = 0; nextTag(text, at, &tag); at = tag.end) {
    if (tag.kind == Tag::Close && depth > 0)
      --depth;
    if (tag.kind != Tag::Open && tag.kind != Tag::Empty)
      continue;
    for (const Attribute& attribute : tag.attributes)
      if (isDeclaration(attribute))
        markup.declarations.push_back(attribute);
    if (tag.kind == Tag::Open && ++depth > markup.depth) {
      markup.depth = depth;
      if (depth > limit)
        return markup;
    }
  }
  return markup;
}

// A packet split in two: what exempi is given, and the properties of namespaces no call touches,
// taken out as they were written, each description's with the namespaces it declares.
struct SetAside {
  std::string parsed;
  std::string descriptions;  // rdf:Description elements to put back beside exempi's
};

// Takes out of a packet the properties of its descriptions (the children of rdf:Description
// under rdf:RDF) whose namespace is not one of `touched`: exempi never sees them, so its cost does
// not grow with them (it compares every property with its siblings) and they stay byte for byte.
// False, with nothing set aside, when the packet is not shaped so that this can be done safely.
bool setAside(const std::string& packet, const std::vector<std::string>& touched, SetAside* out)
{
  struct Element {
    std::string name;
    std::vector<Attribute> declared;
    std::vector<Attribute> about;  // a description's subject
    enum Role { Plain, Rdf, Description, Property } role = Plain;
    bool kept = false;
    std::size_t begin = 0;
  };
  auto isTouched = [&](const std::string& uri) {
    return std::find(touched.begin(), touched.end(), uri) != touched.end();
  };
  auto uriText = [&](const Attribute& attribute) {
    return packet.substr(attribute.at, attribute.length);
  };
  std::vector<Element> open;
  auto uriOf = [&](const std::string& prefix) -> std::string {
    std::string name = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    for (auto e = open.rbegin(); e != open.rend(); ++e)
      for (const Attribute& attribute : e->declared)
        if (attribute.name == name)
          return uriText(attribute);
    return "";
  };
  std::vector<std::pair<std::size_t, std::size_t>> cut;  // spans taken out
  std::string kept;  // the kept properties of the description being read
  // Puts the kept properties back in a description of their own: the same subject, and the
  // namespaces that the description and its ancestors declare.
  auto closeDescription = [&]() {
    if (kept.empty())
      return;
    std::string start = "  <rdf:Description";
    for (const Attribute& about : open.back().about)
      start += " rdf:about=" + std::string(1, about.quote) + uriText(about) + about.quote;
    std::vector<std::string> names;
    for (auto e = open.rbegin(); e != open.rend(); ++e)
      for (const Attribute& declaration : e->declared) {
        std::string uri = uriText(declaration);
        if (isTouched(uri) ||
            std::find(names.begin(), names.end(), declaration.name) != names.end())
          continue;
        names.push_back(declaration.name);
        start += "\n    " + declaration.name + "=" + declaration.quote + uri + declaration.quote;
      }
    out->descriptions += start + ">\n" + kept + "  </rdf:Description>\n";
    kept.clear();
  };
  out->descriptions.clear();
  Tag tag;
  for (std::size_t at = 0; nextTag(packet, at, &tag); at = tag.end) {
    if (tag.kind == Tag::Other)
      continue;
    if (tag.kind == Tag::Open || tag.kind == Tag::Empty) {
      Element element;
      element.name = tag.name;
      element.begin = tag.begin;
      for (const Attribute& attribute : tag.attributes) {
        if (isDeclaration(attribute))
          element.declared.push_back(attribute);
        else if (attribute.name.size() >= 6 &&
                 attribute.name.compare(attribute.name.size() - 6, 6, ":about") == 0)
          element.about.push_back(attribute);
      }
      Element::Role parent = open.empty() ? Element::Plain : open.back().role;
      open.push_back(std::move(element));
      Element& now = open.back();
      std::string uri = uriOf(prefixOf(tag.name));
      std::string local = tag.name.substr(tag.name.find(':') + 1);
      if (uri == kRdfUri && local == "RDF")
        now.role = Element::Rdf;
      else if (parent == Element::Rdf && uri == kRdfUri && local == "Description")
        now.role = Element::Description;
      else if (parent == Element::Description)
        now.role = Element::Property;
      now.kept = now.role == Element::Property && !uri.empty() && !isTouched(uri);
      if (tag.kind == Tag::Open)
        continue;
    } else if (open.empty() || open.back().name != tag.name) {
      return false;  // not well-formed: exempi says so
    }
    Element& closing = open.back();
    if (closing.kept) {
      cut.emplace_back(closing.begin, tag.end);
      kept.append(packet, closing.begin, tag.end - closing.begin).append("\n");
    }
    if (closing.role == Element::Description)
      closeDescription();
    open.pop_back();
  }
  if (!open.empty())
    return false;
  out->parsed.clear();
  std::size_t copied = 0;
  for (const auto& [begin, end] : cut) {
    out->parsed.append(packet, copied, begin - copied);
    copied = end;
  }
  out->parsed.append(packet, copied, std::string::npos);
  return true;
}

bool isRegistered(const std::string& uri)
{
  return xmp_namespace_prefix(uri.c_str(), nullptr);
}

// Private names for namespaces no caller asked for, one per namespace for the process, each
// registered under a private prefix of its own.
const std::string& aliasOf(const std::string& uri)
{
  static std::map<std::string, std::string> aliases;
  auto found = aliases.find(uri);
  if (found != aliases.end())
    return found->second;
  std::string number = std::to_string(aliases.size() + 1);
  std::string alias = "urn:x-pdfhost:namespace:" + number + ":";
  xmp_register_namespace(alias.c_str(), ("pdfhostns" + number).c_str(), nullptr);
  return aliases.emplace(uri, alias).first->second;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with)
{
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(what, from)) != std::string::npos; from = at + what.size())
    result.append(text, from, at - from).append(with);
  if (from == 0)
    return;
  result.append(text, from, std::string::npos);
  text.swap(result);
}

// The packet's markup; throws XmpFailure when it nests too deep for exempi.
Markup checkedMarkup(const std::string& packet)
{
  Markup markup = scanMarkup(packet, kMaxXmpDepth);
  if (markup.depth > kMaxXmpDepth)
    throw XmpFailure("The XMP metadata is nested deeper than " + std::to_string(kMaxXmpDepth) +
                     " elements");
  return markup;
}

// A packet as exempi is given it: checked for depth, and with each namespace exempi does not
// know yet under its private name, so that parsing registers none of the document's prefixes.
class PreparedPacket {
 public:
  explicit PreparedPacket(const std::string& packet)
  {
    Markup markup = checkedMarkup(packet);
    std::size_t copied = 0;
    for (const Attribute& declaration : markup.declarations) {
      std::string uri = packet.substr(declaration.at, declaration.length);
      // Only a URI written without references or quotes can be put back as it was written.
      if (uri.empty() || uri.find_first_of("&<\"'") != std::string::npos || isRegistered(uri))
        continue;
      const std::string& alias = aliasOf(uri);
      text_.append(packet, copied, declaration.at - copied).append(alias);
      copied = declaration.at + declaration.length;
      if (std::none_of(aliases_.begin(), aliases_.end(),
                       [&](const auto& pair) { return pair.first == alias; }))
        aliases_.emplace_back(alias, uri);
    }
    if (copied == 0) {
      text_ = packet;
    } else {
      text_.append(packet, copied, std::string::npos);
    }
  }

  const std::string& text() const { return text_; }

  // A packet exempi wrote from this one, with the document's namespaces back.
  std::string restore(std::string serialised) const
  {
    for (const auto& [alias, uri] : aliases_)
      replaceAll(serialised, alias, uri);
    return serialised;
  }

 private:
  std::string text_;
  std::vector<std::pair<std::string, std::string>> aliases_;
};

XmpHolder parse(const std::string& text, ToolkitDiagnostics& diagnostics)
{
  if (text.find_first_not_of(" \t\r\n") == std::string::npos)
    return XmpHolder(xmp_new_empty());
  XmpHolder xmp(xmp_new(text.data(), text.size()));
  if (!xmp)
    diagnostics.fail("The XMP metadata cannot be parsed");
  return xmp;
}

void registerPrefix(const XmpProperty& property)
{
  // False with no error when the namespace keeps a prefix it has already: that is no failure.
  xmp_register_namespace(property.namespaceUri.c_str(), property.prefix.c_str(), nullptr);
}

void setProperty(_Xmp* xmp, const XmpProperty& property, ToolkitDiagnostics& diagnostics)
{
  if (!xmp_set_property(xmp, property.namespaceUri.c_str(), property.name.c_str(),
                        property.value.c_str(), 0))
    diagnostics.fail("The property " + property.prefix + ":" + property.name +
                     " cannot be set");
}

}  // namespace

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

std::size_t xmlDepth(const std::string& text, std::size_t limit)
{
  return scanMarkup(text, limit).depth;
}

bool isParsableXmp(const std::string& packet)
{
  ensureExempi();
  ToolkitDiagnostics diagnostics;
  try {
    PreparedPacket prepared(packet);
    parse(prepared.text(), diagnostics);
    return true;
  } catch (XmpFailure&) {
    return false;
  }
}

void checkXmpProperty(const XmpProperty& property)
{
  ensureExempi();
  ToolkitDiagnostics diagnostics;
  registerPrefix(property);
  XmpHolder empty(xmp_new_empty());
  setProperty(empty.get(), property, diagnostics);
}

std::string applyXmpProperties(const std::string& packet, const std::vector<XmpProperty>& properties)
{
  ensureExempi();
  ToolkitDiagnostics diagnostics;
  // The callers' prefixes first: a namespace the packet binds to a prefix of its own is then
  // parsed under the caller's.
  std::vector<std::string> touched;
  for (const XmpProperty& property : properties) {
    registerPrefix(property);
    if (std::find(touched.begin(), touched.end(), property.namespaceUri) == touched.end())
      touched.push_back(property.namespaceUri);
  }
  checkedMarkup(packet);
  SetAside aside;
  bool split = setAside(packet, touched, &aside);
  PreparedPacket prepared(split ? aside.parsed : packet);
  XmpHolder xmp = parse(prepared.text(), diagnostics);
  for (const XmpProperty& property : properties)
    setProperty(xmp.get(), property, diagnostics);
  XmpStringHolder out(xmp_string_new());
  if (!xmp_serialize(xmp.get(), out.get(), 0, 0))
    diagnostics.fail("The XMP metadata cannot be written out");
  std::string result = prepared.restore(xmp_string_cstr(out.get()));
  if (split && !aside.descriptions.empty()) {
    std::size_t end = result.rfind("</rdf:RDF>");
    if (end == std::string::npos)
      diagnostics.fail("The XMP metadata cannot be written out");
    std::size_t line = result.find_last_not_of(' ', end - 1) + 1;
    result.insert(line, aside.descriptions);
  }
  return result;
}

std::string setXmpProperty(const std::string& packet, const std::string& namespaceUri,
                           const std::string& prefix, const std::string& name,
                           const std::string& value)
{
  return applyXmpProperties(packet, {XmpProperty{namespaceUri, prefix, name, value}});
}

}  // namespace pdfhost
