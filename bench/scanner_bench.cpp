// tvpValidate against exempi's full parse (xmp_parse) of the same packets, in one run.
// Prints the time ratio scanner/exempi per packet after the usual table.
#include <benchmark/benchmark.h>
#include <exempi/xmp.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "metadataValidator.h"
#include "ticket_packets.h"

namespace {

struct Packet {
  const char* name;
  std::string text;
};

// 31,999 bytes whose bulk is element content (a long wrapped remark) rather than padding.
std::string DenseElementPacket() {
  std::vector<std::string> values = SampleTicketValues();
  const size_t base = ElementPacket(values, 0).size();
  std::string remark;
  while (remark.size() < 31999 - base) {
    remark += (remark.size() % 80 < 70) ? "lorem ipsum " : "\n      ";
  }
  remark.resize(31999 - base);
  remark.back() = 'x';
  values[24] = remark;
  return ElementPacket(values, 31999);
}

std::vector<Packet>& Packets() {
  static std::vector<Packet> packets = {
      {"compact_export_24_attributes", CompactExportPacket(SampleTicketValues())},
      {"elements_31999_bytes", ElementPacket(SampleTicketValues(), 31999)},
      {"elements_31999_bytes_dense", DenseElementPacket()}};
  return packets;
}

// Both sides must really read the packet, or the comparison means nothing.
void CheckPacket(const Packet& packet) {
  tvpData* list = nullptr;
  int nodes = 0;
  const int rc = tvpValidate(packet.text.c_str(), &list);
  for (const tvpData* node = list != nullptr ? list->nextItem : nullptr; node != nullptr;
       node = node->nextItem) {
    ++nodes;
  }
  DataRelease(&list);

  XmpPtr xmp = xmp_new_empty();
  const bool parsed = xmp_parse(xmp, packet.text.data(), packet.text.size());
  XmpStringPtr remarks = xmp_string_new();
  const bool hasRemarks =
      parsed && xmp_get_property(xmp, kTvpNamespace, "remarks", remarks, nullptr);
  xmp_string_free(remarks);
  xmp_free(xmp);

  std::printf("%-30s %6zu bytes: tvpValidate %d with %d fields; xmp_parse %s, remarks %s\n",
              packet.name, packet.text.size(), rc, nodes, parsed ? "ok" : "FAILED",
              hasRemarks ? "found" : "MISSING");
  if (rc != kScanOK || nodes != kTvpItemCount || !hasRemarks) std::exit(1);
}

void ScannerValidate(benchmark::State& state, const Packet* packet) {
  for (auto _ : state) {
    tvpData* list = nullptr;
    benchmark::DoNotOptimize(tvpValidate(packet->text.c_str(), &list));
    DataRelease(&list);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(packet->text.size()));
}

void ExempiParse(benchmark::State& state, const Packet* packet) {
  for (auto _ : state) {
    XmpPtr xmp = xmp_new_empty();
    benchmark::DoNotOptimize(xmp_parse(xmp, packet->text.data(), packet->text.size()));
    xmp_free(xmp);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(packet->text.size()));
}

// Keeps each benchmark's real time (the median of its repetitions, if any) so that the ratios
// can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nratio scanner/exempi (real time; below 1 means the scanner is faster)\n");
    for (const Packet& packet : Packets()) {
      const auto scanner = times_.find(std::string("tvpValidate/") + packet.name);
      const auto exempi = times_.find(std::string("xmp_parse/") + packet.name);
      if (scanner == times_.end() || exempi == times_.end()) continue;
      std::printf("  %-30s %10.2f us / %10.2f us = %.3f\n", packet.name, scanner->second / 1e3,
                  exempi->second / 1e3, scanner->second / exempi->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (!xmp_init()) {
    std::fprintf(stderr, "xmp_init failed\n");
    return 1;
  }
  for (const Packet& packet : Packets()) CheckPacket(packet);
  for (const Packet& packet : Packets()) {
    benchmark::RegisterBenchmark((std::string("tvpValidate/") + packet.name).c_str(),
                                 ScannerValidate, &packet);
    benchmark::RegisterBenchmark((std::string("xmp_parse/") + packet.name).c_str(), ExempiParse,
                                 &packet);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  xmp_terminate();
  return 0;
}
