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

// Where the text of one namespace declaration's URI lies in a packet.
struct Declaration {
  std::size_t at;
  std::size_t length;
};

struct Markup {
  std::size_t depth = 0;  // past the limit, only known to be past it
  std::vector<Declaration> declarations;
};

bool startsWith(const std::string& text, std::size_t at, const char* what)
{
  return text.compare(at, std::char_traits<char>::length(what), what) == 0;
}

bool isSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One pass over the tags, without recursion: how deep elements nest, and the namespace
// declarations of the start tags. Comments, CDATA, processing instructions and a document type
// are skipped; anything malformed is left for exempi to refuse.
Markup scanMarkup(const std::string& text, std::size_t limit)
{
  Markup markup;
  std::size_t depth = 0;
  const std::size_t n = text.size();
  auto past = [&](std::size_t from, const char* end) {
    std::size_t found = text.find(end, from);
    return found == std::string::npos ? n : found + std::char_traits<char>::length(end);
  };
  std::size_t i = 0;
  while ((i = text.find('<', i)) != std::string::npos) {
    if (startsWith(text, i, "<!--")) {
      i = past(i + 4, "-->");
    } else if (startsWith(text, i, "<![CDATA[")) {
      i = past(i + 9, "]]>");
    } else if (startsWith(text, i, "<?")) {
      i = past(i + 2, "?>");
    } else if (startsWith(text, i, "<!")) {
      std::size_t close = text.find_first_of("[>", i);
      i = close != std::string::npos && text[close] == '[' ? past(close, "]>") : past(i, ">");
    } else if (startsWith(text, i, "</")) {
      if (depth > 0)
        --depth;
      i = past(i, ">");
    } else {
      std::size_t j = i + 1;
      while (j < n && !isSpace(text[j]) && text[j] != '/' && text[j] != '>')
        ++j;
      bool open = true;
      while (j < n) {
        if (isSpace(text[j])) {
          ++j;
        } else if (text[j] == '>') {
          ++j;
          break;
        } else if (text[j] == '/') {
          ++j;
          if (j < n && text[j] == '>') {
            open = false;
            ++j;
            break;
          }
        } else {
          std::size_t name = j;
          while (j < n && !isSpace(text[j]) && text[j] != '=' && text[j] != '>' && text[j] != '/')
            ++j;
          bool declaration = text.compare(name, j - name, "xmlns") == 0 ||
                             (j - name > 6 && startsWith(text, name, "xmlns:"));
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
          if (declaration)
            markup.declarations.push_back({j + 1, close - j - 1});
          j = close + 1;
        }
      }
      if (open && ++depth > markup.depth) {
        markup.depth = depth;
        if (depth > limit)
          return markup;
      }
      i = j;
    }
  }
  return markup;
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

// A packet as exempi is given it: checked for depth, and with each namespace exempi does not
// know yet under its private name, so that parsing registers none of the document's prefixes.
class PreparedPacket {
 public:
  explicit PreparedPacket(const std::string& packet)
  {
    Markup markup = scanMarkup(packet, kMaxXmpDepth);
    if (markup.depth > kMaxXmpDepth)
      throw XmpFailure("The XMP metadata is nested deeper than " + std::to_string(kMaxXmpDepth) +
                       " elements");
    std::size_t copied = 0;
    for (const Declaration& declaration : markup.declarations) {
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
  for (const XmpProperty& property : properties)
    registerPrefix(property);
  PreparedPacket prepared(packet);
  XmpHolder xmp = parse(prepared.text(), diagnostics);
  for (const XmpProperty& property : properties)
    setProperty(xmp.get(), property, diagnostics);
  XmpStringHolder out(xmp_string_new());
  if (!xmp_serialize(xmp.get(), out.get(), 0, 0))
    diagnostics.fail("The XMP metadata cannot be written out");
  return prepared.restore(xmp_string_cstr(out.get()));
}

std::string setXmpProperty(const std::string& packet, const std::string& namespaceUri,
                           const std::string& prefix, const std::string& name,
                           const std::string& value)
{
  return applyXmpProperties(packet, {XmpProperty{namespaceUri, prefix, name, value}});
}

}  // namespace pdfhost
