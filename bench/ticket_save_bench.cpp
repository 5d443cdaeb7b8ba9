// Opens a PDF and saves a full ticket into it through the host, as pdfhost and the dialog do:
// the open, the dialog's reading of the document's ticket when it opens (the whole packet, as
// text), then its Save: one metadata call per property (24 tvp, the AdsML ones, the GWG
// destination), the packet handed back, an incremental save. Prints, from its own clock, the
// seconds each step took, and the process's peak memory: "open S read S save S peak KIB" (see
// save-benchmark.sh). An optional VALUE is what every property is set to, so that two saves
// can be told apart.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "Host.h"

int main(int argc, char** argv)
{
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: ticket_save_bench FILE.pdf [VALUE]\n");
    return 2;
  }
  const char* written = argc == 3 ? argv[2] : "benchmark value";
  using Clock = std::chrono::steady_clock;
  auto seconds = [](Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
  };
  auto start = Clock::now();
  pdfhost::Host& host = pdfhost::Host::get();
  pdfhost::OpenFailure failure;
  AVDoc view = host.documents.open(argv[1], &failure);
  if (view == nullptr) {
    std::fprintf(stderr, "%s\n", failure.message.c_str());
    return 1;
  }
  double opened = seconds(start);
  PDDoc doc = view->pdDoc.get();
  auto& extra = host.tables.ASExtra;
  start = Clock::now();
  bool read = host.runGuarded("benchmark read", [&] {
    ASText packet = host.tables.PDMetadata.PDDocGetXAPMetadata(doc);
    if (packet == nullptr)
      return;
    ASInt32 length = 0;
    host.tables.AcroSupport.ASfree(extra.ASTextGetPDTextCopy(packet, &length));
    extra.ASTextDestroy(packet);
  });
  double readTicket = seconds(start);
  auto set = [&](const char* uri, const char* prefix, const char* name, const char* value) {
    ASText texts[4] = {extra.ASTextFromEncoded(uri, 0), extra.ASTextFromEncoded(prefix, 0),
                       extra.ASTextFromEncoded(name, 0), extra.ASTextFromEncoded(value, 0)};
    host.tables.PDMetadata.PDDocSetXAPMetadataProperty(doc, texts[0], texts[1], texts[2], texts[3]);
    for (ASText text : texts)
      extra.ASTextDestroy(text);
  };
  start = Clock::now();
  bool saved = host.runGuarded("benchmark save", [&] {
    static const char* const kTvp[] = {
        "ediorderid", "jobid", "client", "agency", "service", "advertiser", "firstpub", "location",
        "theme", "contact", "phone", "email", "bleed", "brand", "fax", "destination", "remarks",
        "bwcolour", "fullcolour", "spotcolour", "fixedsize", "mmwidth", "cwidth", "height"};
    for (const char* name : kTvp)
      set("http://ns.tovarin.com/tvp/adticket/1.0/", "tvp", name, written);
    static const char* const kAds[] = {
        "Profile", "PrimaryMaterialsID", "SellerPlacementID", "BuyerName", "CreatorName",
        "PrepressName", "AdvertiserName", "FirstPublication", "Publication", "ProductDescription",
        "PrepressContact", "PrepressTelephone", "PrepressEmail", "Bleed", "AdvertisedProduct",
        "PrepressFax", "Remarks", "Color", "ColorDescription", "PrintFixedArea"};
    for (const char* name : kAds)
      set("http://adsml.org/xmlns/", "adsml-at", name, written);
    set("http://www.gwg.org/jt/xmlns/", "gwg-at", "Destination", written);
    ASText packet = host.tables.PDMetadata.PDDocGetXAPMetadata(doc);
    host.tables.PDMetadata.PDDocSetXAPMetadata(doc, packet);
    extra.ASTextDestroy(packet);
    host.tables.PDModel.PDDocSave(doc, PDSaveIncremental, nullptr, nullptr, nullptr, nullptr);
  });
  double save = seconds(start);
  host.shutdown();
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("open %.6f read %.6f save %.6f peak %ld%s\n", opened, readTicket, save,
              usage.ru_maxrss, read && saved ? "" : " FAILED");
  return read && saved ? 0 : 1;
}
