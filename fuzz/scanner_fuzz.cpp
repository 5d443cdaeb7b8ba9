// libFuzzer target: feeds any text to TrimXmlWs and the three validators, checks what they hand
// back, and checks the normalisation, the nested-element removal and each validator against
// their literal models.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "literal_model.h"
#include "metadataValidator.h"

namespace {

void Require(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  std::fprintf(stderr, "broken: %s %s\n", what, detail.c_str());
  std::abort();
}

void CheckValidator(int (*validate)(const char*, tvpData**), const std::string& text,
                    const char (*rows)[kScanTagSize], int itemCount) {
  tvpData* list = nullptr;
  const int rc = validate(text.c_str(), &list);
  Require(IsValidatorResultCode(rc), "validator code", std::to_string(rc));
  Require(rc != kScanNoMemory, "no memory without an allocation failure");
  Require((rc == kScanOK) == (list != nullptr), "list exactly on success");
  if (list != nullptr) {
    Require(list->tagIndex == 0 && list->tagValue == nullptr, "bare head");
    std::set<int> seen;
    for (const tvpData* node = list->nextItem; node != nullptr; node = node->nextItem) {
      Require(node->tagIndex >= 1 && node->tagIndex <= itemCount, "index in range");
      Require(seen.insert(node->tagIndex).second, "index once");
      Require(node->tagValue != nullptr, "value present");
    }
  }
  if (text.size() <= 4096) {  // the model is slower; small texts find the same paths
    const LiteralScan expected = LiteralValidate(text, rows, itemCount);
    Require(rc == expected.rc, "validator code agrees with the step-by-step scan", rows[1]);
    const tvpData* node = list != nullptr ? list->nextItem : nullptr;
    for (const auto& [index, value] : expected.nodes) {
      Require(node != nullptr && node->tagIndex == index && value == node->tagValue,
              "validator list agrees with the step-by-step scan", rows[1]);
      node = node->nextItem;
    }
    Require(node == nullptr, "no extra nodes", rows[1]);
  }
  DataRelease(&list);
}

// The removal must agree with the literal model (quadratic, so only on small texts).
void CheckNestedRemoval(const char* text, const std::string& name) {
  const LiteralResult expected = LiteralElementData(text, name.c_str());
  char* out = nullptr;
  const int rc = ExtractUniqueElementData(text, name.c_str(), &out);
  Require(rc == expected.rc, "element data code", name);
  Require((rc == kScanOK) == (out != nullptr), "element data output exactly on success");
  if (out != nullptr) Require(expected.text == out, "element data text", name);
  std::free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The scanner reads C strings: the input up to its first NUL.
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::string text(bytes, strnlen(bytes, size));

  char* trimmed = nullptr;
  Require(TrimXmlWs(text.c_str(), &trimmed) == kScanOK, "trim succeeds");
  Require(std::strlen(trimmed) <= text.size(), "trim never grows");
  Require(LiteralTrim(text) == trimmed, "trim agrees with the byte-at-a-time state machine");

  CheckValidator(tvpValidate, text, tvpValidatorItems, kTvpItemCount);
  CheckValidator(adsMLValidate, text, adsValidatoritems, kAdsItemCount);
  CheckValidator(gwgValidate, text, gwgValidatoritems, kGwgItemCount);

  if (text.size() <= 4096) {
    CheckNestedRemoval(trimmed, "rdf:RDF");
    CheckNestedRemoval(trimmed, "tvp:remarks");
    // Also the first tag's own name, so that inputs can steer which element is taken apart.
    const char* lt = std::strchr(trimmed, '<');
    if (lt != nullptr)
      CheckNestedRemoval(trimmed, std::string(lt + 1, std::strcspn(lt + 1, " />")));
  }
  std::free(trimmed);
  return 0;
}
