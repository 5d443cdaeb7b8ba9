// Saves a full ticket into a PDF through the host, as the dialog's Save does: one metadata call
// per property (24 tvp, the AdsML ones, the GWG destination), the packet handed back, then an
// incremental save. Run it under /usr/bin/time -v (see save-benchmark.sh).
#include <chrono>
#include <cstdio>
#include <string>

#include "Host.h"

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: ticket_save_bench FILE.pdf\n");
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  pdfhost::Host& host = pdfhost::Host::get();
  pdfhost::OpenFailure failure;
  AVDoc view = host.documents.open(argv[1], &failure);
  if (view == nullptr) {
    std::fprintf(stderr, "%s\n", failure.message.c_str());
    return 1;
  }
  PDDoc doc = view->pdDoc.get();
  auto& extra = host.tables.ASExtra;
  auto set = [&](const char* uri, const char* prefix, const char* name, const char* value) {
    ASText texts[4] = {extra.ASTextFromEncoded(uri, 0), extra.ASTextFromEncoded(prefix, 0),
                       extra.ASTextFromEncoded(name, 0), extra.ASTextFromEncoded(value, 0)};
    host.tables.PDMetadata.PDDocSetXAPMetadataProperty(doc, texts[0], texts[1], texts[2], texts[3]);
    for (ASText text : texts)
      extra.ASTextDestroy(text);
  };
  bool saved = host.runGuarded("benchmark save", [&] {
    static const char* const kTvp[] = {
        "ediorderid", "jobid", "client", "agency", "service", "advertiser", "firstpub", "location",
        "theme", "contact", "phone", "email", "bleed", "brand", "fax", "destination", "remarks",
        "bwcolour", "fullcolour", "spotcolour", "fixedsize", "mmwidth", "cwidth", "height"};
    for (const char* name : kTvp)
      set("http://ns.tovarin.com/tvp/adticket/1.0/", "tvp", name, "benchmark value");
    static const char* const kAds[] = {
        "Profile", "PrimaryMaterialsID", "SellerPlacementID", "BuyerName", "CreatorName",
        "PrepressName", "AdvertiserName", "FirstPublication", "Publication", "ProductDescription",
        "PrepressContact", "PrepressTelephone", "PrepressEmail", "Bleed", "AdvertisedProduct",
        "PrepressFax", "Remarks", "Color", "ColorDescription", "PrintFixedArea"};
    for (const char* name : kAds)
      set("http://adsml.org/xmlns/", "adsml-at", name, "benchmark value");
    set("http://www.gwg.org/jt/xmlns/", "gwg-at", "Destination", "benchmark value");
    ASText packet = host.tables.PDMetadata.PDDocGetXAPMetadata(doc);
    host.tables.PDMetadata.PDDocSetXAPMetadata(doc, packet);
    extra.ASTextDestroy(packet);
    host.tables.PDModel.PDDocSave(doc, PDSaveIncremental, nullptr, nullptr, nullptr, nullptr);
  });
  host.shutdown();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("host save: %.3f s%s\n", seconds, saved ? "" : " (FAILED)");
  return saved ? 0 : 1;
}
