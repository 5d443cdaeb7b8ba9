// libFuzzer target for the host's packet path: any bytes as a document's packet, the ticket's
// property calls applied as a save makes them, the packet written out. Whatever the host writes
// must parse in exempi, whole, and hold every value as it was set; the plug-in's UTF-8 copy of
// the packet is made too.
#include <exempi/xmp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "documents/XmpPacket.h"

namespace {

using pdfhost::XmpProperty;

void require(bool holds, const char* what, const std::string& detail = "")
{
  if (holds) return;
  std::fprintf(stderr, "broken: %s %s\n", what, detail.c_str());
  std::abort();
}

struct XmpDeleter {
  void operator()(_Xmp* xmp) const { xmp_free(xmp); }
};

const XmpProperty kCalls[] = {
    {"http://ns.tovarin.com/tvp/adticket/1.0/", "tvp", "jobid", "J-77 M\xC3\xBCller \xE2\x82\xAC"},
    {"http://ns.tovarin.com/tvp/adticket/1.0/", "tvp", "remarks", "a & b < c \"q\" 'a'\r\n\tend"},
    {"http://ns.tovarin.com/tvp/adticket/1.0/", "tvp", "fixedsize", ""},
    {"http://adsml.org/xmlns/", "adsml-at", "Profile", "GWG-v1_AD"},
    {"http://adsml.org/xmlns/", "adsml-at", "Color", "urn:x-pdfhost:check:1:"},
    {"http://www.gwg.org/jt/xmlns/", "gwg-at", "Destination", "  spaced  "},
    {"http://ns.tovarin.com/tvp/adticket/1.0/", "tvp", "jobid", "J-78"},  // set again: last wins
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  pdfhost::ensureExempi();
  const std::string packet(reinterpret_cast<const char*>(data), size);
  (void)pdfhost::packetAsUtf8(packet);
  std::string written;
  try {
    pdfhost::XmpEditor editor(packet);
    for (const XmpProperty& call : kCalls) editor.set(call);
    written = editor.write();
  } catch (pdfhost::XmpFailure&) {
    return 0;  // refused, as the host refuses it: nothing is written
  }
  std::unique_ptr<_Xmp, XmpDeleter> xmp(xmp_new(written.data(), written.size()));
  require(xmp != nullptr, "exempi parses what the host writes", written);
  XmpStringPtr value = xmp_string_new();
  for (const XmpProperty& call : kCalls) {
    if (call.name == "jobid") continue;
    require(
        xmp_get_property(xmp.get(), call.namespaceUri.c_str(), call.name.c_str(), value, nullptr) &&
            xmp_string_cstr(value) == call.value,
        "a value set reads back as set", call.name);
  }
  require(xmp_get_property(xmp.get(), kCalls[0].namespaceUri.c_str(), "jobid", value, nullptr) &&
              std::string(xmp_string_cstr(value)) == "J-78",
          "the last call wins");
  xmp_string_free(value);
  require(pdfhost::isParsableXmp(written), "the host takes back what it wrote", written);
  return 0;
}
