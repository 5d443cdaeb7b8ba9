// Editing a packet in place with expat's positions: the text is copied through in runs, and only
// what an edit touches is cut out or written anew.
#include "XmpSplice.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "XmpPacket.h"
#include "XmpTree.h"

namespace pdfhost {
namespace xmp {

namespace {

const char kSeparator = '\x01';  // no XML text can hold it

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};
using ParserHolder = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

// A name as expat gives it with triplets: "URI<sep>local<sep>prefix", "URI<sep>local" or "local".
struct Expanded {
  std::string uri;
  std::string local;
  std::string prefix;
};

Expanded expand(const char* name)
{
  Expanded e;
  const char* first = std::strchr(name, kSeparator);
  if (first == nullptr) {
    e.local = name;
    return e;
  }
  e.uri.assign(name, first);
  const char* second = std::strchr(first + 1, kSeparator);
  if (second == nullptr) {
    e.local = first + 1;
  } else {
    e.local.assign(first + 1, second);
    e.prefix = second + 1;
  }
  return e;
}

std::string keyOf(const std::string& uri, const std::string& local)
{
  return uri + kSeparator + local;
}

bool isUtf8Name(const char* encoding)
{
  std::string name = encoding;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name == "UTF-8" || name == "UTF8";
}

// Feeds a text to a parser in pieces; false when expat stops before its end.
bool feed(XML_Parser parser, const std::string& text)
{
  const std::size_t step = 1 << 20;
  for (std::size_t at = 0;; at += step) {
    std::size_t length = std::min(step, text.size() - at);
    bool last = at + length == text.size();
    if (XML_Parse(parser, text.data() + at, static_cast<int>(length), last) != XML_STATUS_OK)
      return false;
    if (last) return true;
  }
}

// The name and attributes (declarations among them, in order, as written) of one start tag, read
// with a parser of its own that leaves names as written.
struct StartTag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool empty = false;  // written <name .../>
};

bool readStartTag(const std::string& text, StartTag& tag)
{
  ParserHolder parser(XML_ParserCreate("UTF-8"));
  if (!parser) throw XmpFailure("The XMP metadata cannot be read: out of memory");
  XML_SetUserData(parser.get(), &tag);
  XML_SetStartElementHandler(parser.get(), [](void* data, const char* name, const char** atts) {
    auto* t = static_cast<StartTag*>(data);
    if (!t->name.empty()) return;
    t->name = name;
    for (const char** a = atts; *a != nullptr; a += 2) t->attributes.emplace_back(a[0], a[1]);
  });
  return XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
}

const char* const kWrapper =
    "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
    " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
    " </rdf:RDF>\n"
    "</x:xmpmeta>\n";

std::string freshPacket()
{
  std::string packet = kWrapper;
  // Room for others to edit the packet in place.
  for (int line = 0; line < 20; ++line) packet += std::string(99, ' ') + "\n";
  return packet + "<?xpacket end=\"w\"?>";
}

class Splicer {
 public:
  Splicer(const std::string& in, const Splice& splice) : in_(in), splice_(splice)
  {
    for (const SetProperty& property : splice.properties) {
      cut_.insert(keyOf(property.uri, property.name));
      if (written_.count(property.uri) != 0) continue;
      // Each namespace once, under its caller's prefix, or a numbered one when another namespace
      // of the edit has that prefix already.
      std::string prefix = property.prefix;
      for (int n = 1; callers_.count(prefix) != 0; ++n) prefix = property.prefix + std::to_string(n);
      callers_[prefix] = property.uri;
      written_[property.uri] = prefix;
      order_.push_back(property.uri);
    }
  }

  enum class Outcome { kDone, kNotUtf8, kFailed };

  Outcome run()
  {
    ParserHolder holder(XML_ParserCreateNS("UTF-8", kSeparator));
    if (!holder) throw XmpFailure("The XMP metadata cannot be read: out of memory");
    parser_ = holder.get();
    XML_SetReturnNSTriplet(parser_, 1);
    XML_SetUserData(parser_, this);
    XML_SetXmlDeclHandler(parser_, [](void* data, const char*, const char* encoding, int) {
      auto* s = static_cast<Splicer*>(data);
      if (encoding != nullptr && !isUtf8Name(encoding)) {
        s->notUtf8_ = true;
        XML_StopParser(s->parser_, XML_FALSE);
      }
    });
    XML_SetStartDoctypeDeclHandler(parser_,
                                   [](void* data, const char*, const char*, const char*, int) {
                                     XML_StopParser(static_cast<Splicer*>(data)->parser_, XML_FALSE);
                                   });
    XML_SetNamespaceDeclHandler(
        parser_,
        [](void* data, const char* prefix, const char* uri) {
          auto* s = static_cast<Splicer*>(data);
          std::string name = prefix ? prefix : "";
          s->bound_[name].push_back(uri ? uri : "");
          s->declared_.push_back(std::move(name));
        },
        [](void* data, const char* prefix) {
          static_cast<Splicer*>(data)->bound_[prefix ? prefix : ""].pop_back();
        });
    XML_SetElementHandler(
        parser_,
        [](void* data, const char* name, const char** attributes) {
          static_cast<Splicer*>(data)->start(name, attributes);
        },
        [](void* data, const char* name) { static_cast<Splicer*>(data)->end(name); });
    // Comments and processing instructions stay where they are: a cut property's white space
    // runs back to them at most.
    XML_SetCommentHandler(parser_, [](void* data, const char*) {
      static_cast<Splicer*>(data)->markup();
    });
    XML_SetProcessingInstructionHandler(parser_, [](void* data, const char*, const char*) {
      static_cast<Splicer*>(data)->markup();
    });
    bool parsed = feed(parser_, in_);
    if (notUtf8_) return Outcome::kNotUtf8;
    if (!parsed || !failure_.empty()) {
      if (failure_.empty())
        failure_ = std::string("The XMP metadata is not well-formed XML: ") +
                   XML_ErrorString(XML_GetErrorCode(parser_));
      return Outcome::kFailed;
    }
    copyTo(in_.size());
    return Outcome::kDone;
  }

  bool inserted() const { return inserted_; }
  const std::string& failure() const { return failure_; }
  Spliced take() { return {std::move(out_), kept_}; }

  // The description that holds the edit's properties, starting on a line of its own; empty when
  // there are none. `rdf` is the prefix RDF's namespace is bound to where it goes, or empty.
  std::string description(std::string rdf) const
  {
    if (splice_.properties.empty()) return "";
    std::string declarations;
    if (rdf.empty() || callers_.count(rdf) != 0) {
      rdf = "rdf";
      for (int n = 1; callers_.count(rdf) != 0 || isPacketPrefix(rdf); ++n)
        rdf = "rdf" + std::to_string(n);
      declarations = " xmlns:" + rdf + "=\"" + kRdfUri + "\"";
    }
    std::string out = "\n  <" + rdf + ":Description " + rdf + ":about=\"";
    appendAttributeValue(out, about_);
    out += '"' + declarations;
    for (const std::string& uri : order_) {
      out += " xmlns:" + written_.at(uri) + "=\"";
      appendAttributeValue(out, uri);
      out += '"';
    }
    out += '>';
    for (const SetProperty& property : splice_.properties) {
      std::string name = written_.at(property.uri) + ":" + property.name;
      out += "\n   <" + name + ">";
      appendText(out, property.value);
      out += "</" + name + ">";
    }
    return out + "\n  </" + rdf + ":Description>";
  }

 private:
  enum Role { kOutside, kRdfRoot, kDescription, kProperty, kCut };

  std::size_t position() const { return static_cast<std::size_t>(XML_GetCurrentByteIndex(parser_)); }
  std::size_t length() const { return static_cast<std::size_t>(XML_GetCurrentByteCount(parser_)); }

  void copyTo(std::size_t at)
  {
    if (at > copied_) out_.append(in_, copied_, at - copied_);
    copied_ = std::max(copied_, at);
  }

  void markup()
  {
    if (roles_.empty() || roles_.back() != kCut) lastMarkupEnd_ = position() + length();
  }

  bool isPacketPrefix(const std::string& prefix) const
  {
    return splice_.packetPrefixes != nullptr && splice_.packetPrefixes->count(prefix) != 0;
  }

  const std::string* boundUri(const std::string& prefix) const
  {
    auto found = bound_.find(prefix);
    return found == bound_.end() || found->second.empty() ? nullptr : &found->second.back();
  }

  // What a prefix in scope is written as, when it is a caller's bound here to another namespace.
  const std::string* renamed(const std::string& prefix)
  {
    auto caller = callers_.find(prefix);
    if (caller == callers_.end()) return nullptr;
    const std::string* uri = boundUri(prefix);
    if (uri == nullptr || *uri == caller->second) return nullptr;
    auto& name = renames_[prefix];
    if (name.empty()) {
      for (int n = 1; name.empty() || callers_.count(name) != 0 || isPacketPrefix(name); ++n)
        name = prefix + std::to_string(n);
    }
    return &name;
  }

  std::string written(const std::string& prefix, const std::string& local)
  {
    if (prefix.empty()) return local;
    const std::string* other = renamed(prefix);
    return (other ? *other : prefix) + ":" + local;
  }

  // Whether an attribute of a description, as written, is a property the edit sets.
  bool isCutAttribute(const std::string& qualified) const
  {
    std::size_t colon = qualified.find(':');
    if (colon == std::string::npos) return false;
    const std::string* uri = boundUri(qualified.substr(0, colon));
    return uri != nullptr && *uri != kRdfUri &&
           cut_.count(keyOf(*uri, qualified.substr(colon + 1))) != 0;
  }

  // A start tag written anew: prefixes renamed, a description's cut properties left out; the
  // other attributes and declarations in their order.
  std::string rewrittenStartTag(std::size_t at, std::size_t size, const std::string& asWritten,
                                bool description, bool open, bool* wasEmpty)
  {
    const std::string text = in_.substr(at, size);
    StartTag tag;
    tag.empty = readStartTag(text, tag);
    if (!tag.empty) {
      tag = StartTag();
      if (!readStartTag(text + "</" + asWritten + ">", tag))
        throw XmpFailure("The XMP metadata cannot be edited: a start tag cannot be read again");
    }
    if (wasEmpty != nullptr) *wasEmpty = tag.empty;
    auto rename = [&](const std::string& qualified) {
      std::size_t colon = qualified.find(':');
      if (colon == std::string::npos) return qualified;
      std::string prefix = qualified.substr(0, colon), local = qualified.substr(colon + 1);
      if (prefix == "xmlns") {  // a declaration: the prefix it declares may be renamed
        const std::string* other = renamed(local);
        return prefix + ":" + (other ? *other : local);
      }
      return written(prefix, local);
    };
    std::string out = "<" + rename(tag.name);
    for (const auto& [name, value] : tag.attributes) {
      if (description && isCutAttribute(name)) continue;
      out += ' ' + rename(name) + "=\"";
      appendAttributeValue(out, value);
      out += '"';
    }
    return out + (tag.empty && !open ? "/>" : ">");
  }

  void start(const char* name, const char** attributes)
  {
    std::vector<std::string> declared = std::move(declared_);
    declared_.clear();
    Role parent = roles_.empty() ? kOutside : roles_.back();
    if (parent == kCut) return roles_.push_back(kCut);
    const std::size_t at = position();
    const std::size_t size = length();
    Expanded element = expand(name);
    Role role = kProperty;
    if (parent == kOutside)
      role = element.uri == kRdfUri && element.local == "RDF" && !inserted_ ? kRdfRoot : kOutside;
    else if (parent == kRdfRoot)
      role = kDescription;
    else if (parent == kDescription && cut_.count(keyOf(element.uri, element.local)) != 0)
      role = kCut;
    if (role == kCut) {
      // The property goes with the white space before it, back to the markup before it.
      copyTo(lastMarkupEnd_);
      copied_ = std::string::npos;
      cutTagEnd_ = at + size;
      return roles_.push_back(kCut);
    }
    if (role == kProperty && parent == kDescription) ++kept_;
    bool rewrite = renamed(element.prefix) != nullptr;
    for (const std::string& prefix : declared) rewrite = rewrite || renamed(prefix) != nullptr;
    for (const char** a = attributes; *a != nullptr; a += 2) {
      Expanded attribute = expand(*a);
      rewrite = rewrite || renamed(attribute.prefix) != nullptr;
      if (role != kDescription) continue;
      if (attribute.local == "about" && (attribute.uri == kRdfUri || attribute.uri.empty()) &&
          !haveAbout_) {
        about_ = a[1];
        haveAbout_ = true;
      }
      bool property = !attribute.uri.empty() && attribute.uri != kRdfUri &&
                      attribute.uri != "http://www.w3.org/XML/1998/namespace";
      if (!property) continue;
      if (cut_.count(keyOf(attribute.uri, attribute.local)) != 0)
        rewrite = true;
      else
        ++kept_;
    }
    if (role == kDescription) haveAbout_ = true;  // the first description's subject, or none
    if (role == kRdfRoot) {
      rdfAt_ = at;
      rdfSize_ = size;
      rdfName_ = element.prefix.empty() ? element.local : element.prefix + ":" + element.local;
      rdfRewritten_ = rewrite;
    }
    if (rewrite) {
      copyTo(at);
      std::string asWritten =
          element.prefix.empty() ? element.local : element.prefix + ":" + element.local;
      out_ += rewrittenStartTag(at, size, asWritten, role == kDescription, role == kRdfRoot,
                                role == kRdfRoot ? &rdfWasEmpty_ : nullptr);
      copied_ = at + size;
    }
    lastMarkupEnd_ = at + size;
    roles_.push_back(role);
  }

  void end(const char* name)
  {
    Role role = roles_.back();
    roles_.pop_back();
    const std::size_t at = position();
    const std::size_t size = length();
    if (role == kCut) {
      if (roles_.back() == kDescription) {  // the end of the cut property itself
        copied_ = size > 0 ? at + size : cutTagEnd_;
        lastMarkupEnd_ = copied_;
      }
      return;
    }
    Expanded element = expand(name);
    if (role == kRdfRoot) {
      inserted_ = true;
      std::string rdf;
      for (const auto& [prefix, uris] : bound_)
        if (!prefix.empty() && !uris.empty() && uris.back() == kRdfUri &&
            (rdf.empty() || prefix == "rdf"))
          rdf = prefix;
      std::string added = description(rdf);
      std::string closing = "</" + written(element.prefix, element.local) + ">";
      if (size == 0) {  // <rdf:RDF/>: written open, to hold the description
        if (!rdfRewritten_) {
          copyTo(rdfAt_);
          out_ += rewrittenStartTag(rdfAt_, rdfSize_, rdfName_, false, true, nullptr);
          copied_ = rdfAt_ + rdfSize_;
        }
        out_ += added + "\n " + closing;
        return;
      }
      copyTo(lastMarkupEnd_);
      out_ += added;
    }
    if (size > 0) {
      if (renamed(element.prefix) != nullptr) {
        copyTo(at);
        out_ += "</" + written(element.prefix, element.local) + ">";
        copied_ = at + size;
      }
      lastMarkupEnd_ = at + size;
    }
  }

  const std::string& in_;
  const Splice& splice_;
  XML_Parser parser_ = nullptr;
  std::string out_;
  std::size_t copied_ = 0;         // the text before it is in out_ or cut
  std::size_t lastMarkupEnd_ = 0;  // where the last tag, comment or instruction ended
  std::size_t cutTagEnd_ = 0;      // the end of the start tag of the property being cut
  std::vector<Role> roles_;
  std::unordered_set<std::string> cut_;                          // keys of the edit's properties
  std::unordered_map<std::string, std::string> callers_;         // prefix -> namespace
  std::unordered_map<std::string, std::string> written_;         // namespace -> prefix
  std::vector<std::string> order_;                               // namespaces, first set first
  std::unordered_map<std::string, std::vector<std::string>> bound_;  // prefix -> namespaces
  std::vector<std::string> declared_;  // the next start tag's declarations
  std::unordered_map<std::string, std::string> renames_;
  std::string about_;
  bool haveAbout_ = false;
  bool inserted_ = false;
  std::size_t rdfAt_ = 0, rdfSize_ = 0;
  std::string rdfName_;
  bool rdfRewritten_ = false, rdfWasEmpty_ = false;
  std::size_t kept_ = 0;
  bool notUtf8_ = false;
  std::string failure_;
};

bool isBlank(const std::string& text)
{
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

Spliced splicePacket(const std::string& packet, const Splice& splice)
{
  if (isBlank(packet)) {
    const std::string text = freshPacket();
    Splicer made(text, splice);
    made.run();
    return made.take();
  }
  // UTF-16 starts with a byte-order mark or a zero byte, which UTF-8 never holds; expat follows
  // the mark whatever encoding it is told, so such a text is never edited as it is.
  auto byte = [&](std::size_t at) { return static_cast<unsigned char>(packet[at]); };
  bool utf16 = packet.size() >= 2 && (byte(0) == 0 || byte(1) == 0 || byte(0) >= 0xFE);
  Splicer splicer(packet, splice);
  Splicer::Outcome outcome = utf16 ? Splicer::Outcome::kNotUtf8 : splicer.run();
  if (outcome == Splicer::Outcome::kDone && (splicer.inserted() || splice.properties.empty()))
    return splicer.take();
  if (outcome == Splicer::Outcome::kDone) {  // no rdf:RDF: nothing of RDF to keep
    const std::string text = freshPacket();
    Splicer made(text, splice);
    made.run();
    return made.take();
  }
  // Another encoding: edited as UTF-8, as expat decodes it.
  const std::string utf8 = utf8Text(packet);
  Splicer again(utf8, splice);
  if (again.run() != Splicer::Outcome::kDone) throw XmpFailure(again.failure());
  if (!again.inserted() && !splice.properties.empty()) {
    const std::string text = freshPacket();
    Splicer made(text, splice);
    made.run();
    return made.take();
  }
  return again.take();
}

std::string packetOfProperties(const Splice& splice)
{
  const std::string text = kWrapper;
  Splicer made(text, splice);
  made.run();
  return made.take().packet;
}

}  // namespace xmp
}  // namespace pdfhost
