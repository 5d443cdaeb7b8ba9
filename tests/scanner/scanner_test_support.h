// Helpers shared by the scanner tests: allocation faults, reading lists and results.
#ifndef TOVARIN_SCANNER_TEST_SUPPORT_H
#define TOVARIN_SCANNER_TEST_SUPPORT_H

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "metadataValidator.h"

// Makes the scanner's Nth allocation (malloc or realloc, counted from 1) fail; 0 fails none.
class AllocationFaults {
 public:
  explicit AllocationFaults(long failAt) {
    calls_ = 0;
    failAt_ = failAt;
    ScanSetAllocator(Malloc, Realloc);
  }
  ~AllocationFaults() { ScanSetAllocator(nullptr, nullptr); }
  AllocationFaults(const AllocationFaults&) = delete;
  AllocationFaults& operator=(const AllocationFaults&) = delete;

  static long calls() { return calls_; }

 private:
  static bool Fails() { return ++calls_ == failAt_; }
  static void* Malloc(size_t size) { return Fails() ? nullptr : std::malloc(size); }
  static void* Realloc(void* block, size_t size) {
    return Fails() ? nullptr : std::realloc(block, size);
  }
  static inline long calls_ = 0;
  static inline long failAt_ = 0;
};

// Runs `run` once with each of its allocations failing in turn, then once with none failing.
// Returns how many allocations the unhindered run made.
template <typename Run>
long ForEachAllocationFailure(Run run) {
  for (long failAt = 1;; ++failAt) {
    AllocationFaults faults(failAt);
    run(failAt);
    if (AllocationFaults::calls() < failAt) return AllocationFaults::calls();
  }
}

using Nodes = std::vector<std::pair<int, std::string>>;

// The data nodes behind a head; a node without a value reads as "<null>".
inline Nodes ReadNodes(const tvpData* head) {
  Nodes nodes;
  if (head == nullptr) return nodes;
  for (const tvpData* node = head->nextItem; node != nullptr; node = node->nextItem) {
    nodes.emplace_back(node->tagIndex, node->tagValue != nullptr ? node->tagValue : "<null>");
  }
  return nodes;
}

struct TextResult {
  int rc;
  bool isNull;
  std::string text;
};

inline TextResult TakeText(int rc, char* text) {
  TextResult result{rc, text == nullptr, text != nullptr ? text : ""};
  tvpFree(reinterpret_cast<void**>(&text));
  return result;
}

inline TextResult Trim(const char* text) {
  char* out = nullptr;
  const int rc = TrimXmlWs(text, &out);
  return TakeText(rc, out);
}
inline TextResult Element(const char* text, const char* name) {
  char* out = nullptr;
  const int rc = ExtractUniqueElement(text, name, &out);
  return TakeText(rc, out);
}
inline TextResult ElementData(const char* text, const char* name) {
  char* out = nullptr;
  const int rc = ExtractUniqueElementData(text, name, &out);
  return TakeText(rc, out);
}
inline TextResult Attribute(const char* text, const char* name) {
  std::string copy(text);  // the function takes a mutable text
  char* out = nullptr;
  const int rc = ExtractUniqueAttribute(copy.data(), name, &out, 0);
  return TakeText(rc, out);
}

using Validator = int (*)(const char*, tvpData**);

struct ScanResult {
  int rc;
  bool listIsNull;
  Nodes nodes;
};

inline ScanResult Scan(Validator validate, const char* text) {
  tvpData* list = nullptr;
  const int rc = validate(text, &list);
  ScanResult result{rc, list == nullptr, ReadNodes(list)};
  DataRelease(&list);
  return result;
}

#endif  // TOVARIN_SCANNER_TEST_SUPPORT_H
