#include "XmpPacket.h"

#include <exempi/xmp.h>
#include <exempi/xmperrors.h>

#include <memory>
#include <mutex>

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

[[noreturn]] void fail(const std::string& what)
{
  throw XmpFailure(what + ": " + xmpErrorText(xmp_get_error()));
}

XmpHolder parse(const std::string& packet)
{
  ensureExempi();
  if (packet.find_first_not_of(" \t\r\n") == std::string::npos)
    return XmpHolder(xmp_new_empty());
  XmpHolder xmp(xmp_new(packet.data(), packet.size()));
  if (!xmp)
    fail("The XMP metadata cannot be parsed");
  return xmp;
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

bool isParsableXmp(const std::string& packet)
{
  try {
    parse(packet);
    return true;
  } catch (XmpFailure&) {
    return false;
  }
}

std::string setXmpProperty(const std::string& packet, const std::string& namespaceUri,
                           const std::string& prefix, const std::string& name,
                           const std::string& value)
{
  XmpHolder xmp = parse(packet);
  XmpStringHolder registered(xmp_string_new());
  if (!xmp_register_namespace(namespaceUri.c_str(), prefix.c_str(), registered.get()))
    fail("The namespace " + namespaceUri + " cannot be registered");
  if (!xmp_set_property(xmp.get(), namespaceUri.c_str(), name.c_str(), value.c_str(), 0))
    fail("The property " + prefix + ":" + name + " cannot be set");
  XmpStringHolder out(xmp_string_new());
  if (!xmp_serialize(xmp.get(), out.get(), 0, 0))
    fail("The XMP metadata cannot be written out");
  return xmp_string_cstr(out.get());
}

}  // namespace pdfhost
