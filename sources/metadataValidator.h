// Ad Ticket scanner: checks an XMP/RDF text against one Ad Ticket schema by literal text search
// and hands back the values it found as a numbered list.
//
// Plain code over NUL-terminated byte strings and the C allocator: no host, no toolkit, no state
// kept between calls. Every function returns one of the result codes below (except tvpFree and
// DataRelease); every string or list it hands out is released with tvpFree or DataRelease.
#ifndef TOVARIN_METADATA_VALIDATOR_H
#define TOVARIN_METADATA_VALIDATOR_H

#include <cstddef>
#include <cstdint>

// Result codes. Every call starts from kScanOK and returns the code of its first failing step.
// -117 is deliberately unassigned.
constexpr int kScanOK = -123;
constexpr int kScanNoMemory = -122;
constexpr int kScanTrimOutputInUse = -121;
constexpr int kScanNodeInUse = -120;
constexpr int kScanNullNode = -119;
constexpr int kScanNullInsertNode = -118;
constexpr int kScanElementMalformed = -116;
constexpr int kScanElementNotFound = -115;
constexpr int kScanElementNotUnique = -114;
constexpr int kScanAttributeMalformed = -113;
constexpr int kScanAttributeNotFound = -112;
constexpr int kScanAttributeNotUnique = -111;
constexpr int kScanNestedElementError = -110;
constexpr int kScanItemsError = -109;

// One node of a value list. A list is a head (tagIndex 0, no value) followed by one node per tag
// found, in the order the scan found them. Whoever holds the head owns every node and value.
struct tvpData {
  std::int16_t tagIndex;  // row of the schema's tag table; 0 in the head
  char* tagValue;         // heap copy of the tag's text, or null; may be ""
  tvpData* nextItem;      // null in the last node
};

// Tag tables: row 0 is the root element "rdf:RDF", row n the tag stored with tagIndex n.
// Rows are NUL-padded; unused rows are all NUL.
constexpr int kScanTagRows = 32;
constexpr int kScanTagSize = 32;
constexpr int kTvpItemCount = 24;
constexpr int kAdsItemCount = 21;
constexpr int kGwgItemCount = 1;
extern const char tvpValidatorItems[kScanTagRows][kScanTagSize];
extern const char adsValidatoritems[kScanTagRows][kScanTagSize];
extern const char gwgValidatoritems[kScanTagRows][kScanTagSize];

// Node functions, one set per schema with identical behaviour.
// Init resets a node's fields without freeing them; it fails with kScanNullNode on a null node.
// Create allocates and initialises a node into a null *node (kScanNodeInUse when it is not null).
// Insert links a new node with a copy of value (null: no value) directly behind `after`.
int tvpDataInit(tvpData** node);
int tvpDataCreate(tvpData** node);
int tvpDataInsert(tvpData* after, std::int16_t tagIndex, const char* value);
int adsDataInit(tvpData** node);
int adsDataCreate(tvpData** node);
int adsDataInsert(tvpData* after, std::int16_t tagIndex, const char* value);
int gwgDataInit(tvpData** node);
int gwgDataCreate(tvpData** node);
int gwgDataInsert(tvpData* after, std::int16_t tagIndex, const char* value);

// Frees *p (null allowed) and sets it to null. Releases every string the scanner hands out.
void tvpFree(void** p);
// Frees every node and value from *list on and sets *list to null (null allowed).
void DataRelease(tvpData** list);

// Rewrites text so that literal tag patterns match however it was indented: whitespace runs
// become one space, whitespace beside tag delimiters goes, quoted whitespace stays as spaces.
// *out must be null; the caller releases it with tvpFree.
int TrimXmlWs(const char* text, char** out);

// Extraction from a normalised text; *out must be null and is released with tvpFree.
// The whole one element of that name, start tag through end tag.
int ExtractUniqueElement(const char* text, const char* name, char** out);
// That element's own text, without its tags and without nested elements. An element whose
// end tag begins inside its start tag has no content: kScanElementMalformed.
int ExtractUniqueElementData(const char* text, const char* name, char** out);
// The unquoted value of attribute `name` in the first tag of text. Callers pass flag 0; with a
// non-zero flag the call only reports whether the attribute occurs (kScanAttributeNotUnique).
int ExtractUniqueAttribute(char* text, const char* name, char** out, std::int16_t flag);

// Validators: on kScanOK *list is a head followed by one node per tag found; on any other code
// *list is null. Pass a null *list, or a head to reuse (its followers are released first).
int tvpValidate(const char* xml, tvpData** list);
int adsMLValidate(const char* xml, tvpData** list);
int gwgValidate(const char* xml, tvpData** list);

// Item scans of an already extracted rdf:RDF element; used by the validators.
int tvpExtractUniqueItems(char* rdf, tvpData** list);
int adsExtractUniqueItems(char* rdf, tvpData** list);
int gwgExtractUniqueItems(char* rdf, tvpData** list);

// Test seam: the scanner allocates only through these hooks, so tests can make the Nth
// allocation fail. A hook must hand out memory that free() releases. Null restores the default
// (malloc, realloc). Not for production code; not thread-safe.
using ScanMallocHook = void* (*)(std::size_t size);
using ScanReallocHook = void* (*)(void* block, std::size_t size);
void ScanSetAllocator(ScanMallocHook mallocHook, ScanReallocHook reallocHook);

#endif  // TOVARIN_METADATA_VALIDATOR_H
