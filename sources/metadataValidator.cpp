// Ad Ticket scanner: value lists, whitespace normalisation, literal extraction, schema scans.
#include "metadataValidator.h"

#include <cstdlib>
#include <cstring>

const char tvpValidatorItems[kScanTagRows][kScanTagSize] = {
    "rdf:RDF",      "tvp:ediorderid", "tvp:jobid",      "tvp:client",      "tvp:agency",
    "tvp:service",  "tvp:advertiser", "tvp:firstpub",   "tvp:location",    "tvp:theme",
    "tvp:bwcolour", "tvp:fullcolour", "tvp:spotcolour", "tvp:contact",     "tvp:phone",
    "tvp:email",    "tvp:fixedsize",  "tvp:mmwidth",    "tvp:cwidth",      "tvp:height",
    "tvp:bleed",    "tvp:brand",      "tvp:fax",        "tvp:destination", "tvp:remarks"};

const char adsValidatoritems[kScanTagRows][kScanTagSize] = {"rdf:RDF",
                                                            "adsml-at:PrimaryMaterialsID",
                                                            "adsml-at:SellerPlacementID",
                                                            "adsml-at:BuyerName",
                                                            "adsml-at:CreatorName",
                                                            "adsml-at:PrepressName",
                                                            "adsml-at:AdvertiserName",
                                                            "adsml-at:FirstPublication",
                                                            "adsml-at:Publication",
                                                            "adsml-at:ProductDescription",
                                                            "adsml-at:Color",
                                                            "adsml-at:ColorDescription",
                                                            "adsml-at:PrepressContact",
                                                            "adsml-at:PrepressTelephone",
                                                            "adsml-at:PrepressEmail",
                                                            "adsml-at:PrintFixedArea",
                                                            "adsml-at:PrintWidthValue",
                                                            "adsml-at:PrintHeightValue",
                                                            "adsml-at:Bleed",
                                                            "adsml-at:AdvertisedProduct",
                                                            "adsml-at:PrepressFax",
                                                            "adsml-at:Remarks"};

const char gwgValidatoritems[kScanTagRows][kScanTagSize] = {"rdf:RDF", "gwg-at:Destination"};

// ---------------------------------------------------------------------------------------------
// Allocation

namespace {

void* DefaultMalloc(size_t size) { return std::malloc(size); }
void* DefaultRealloc(void* block, size_t size) { return std::realloc(block, size); }

ScanMallocHook gScanMalloc = DefaultMalloc;
ScanReallocHook gScanRealloc = DefaultRealloc;

void* ScanAlloc(size_t size) { return gScanMalloc(size); }

// Copies `length` bytes into a new NUL-terminated string; null when memory is short.
char* CopyBytes(const char* bytes, size_t length) {
  char* copy = static_cast<char*>(ScanAlloc(length + 1));
  if (copy == nullptr) return nullptr;
  memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

// Gives back the unused end of a buffer; a failed shrink keeps the larger buffer, which is fine.
void ShrinkBuffer(char** buffer, size_t size) {
  void* smaller = gScanRealloc(*buffer, size);
  if (smaller != nullptr) *buffer = static_cast<char*>(smaller);
}

}  // namespace

void ScanSetAllocator(ScanMallocHook mallocHook, ScanReallocHook reallocHook) {
  gScanMalloc = mallocHook != nullptr ? mallocHook : DefaultMalloc;
  gScanRealloc = reallocHook != nullptr ? reallocHook : DefaultRealloc;
}

// ---------------------------------------------------------------------------------------------
// Value lists

namespace {

int InitNode(tvpData** node) {
  if (node == nullptr || *node == nullptr) return kScanNullNode;
  (*node)->tagIndex = 0;
  (*node)->tagValue = nullptr;
  (*node)->nextItem = nullptr;
  return kScanOK;
}

int CreateNode(tvpData** node, int (*init)(tvpData**)) {
  if (node == nullptr) return kScanNullNode;
  if (*node != nullptr) return kScanNodeInUse;
  tvpData* fresh = static_cast<tvpData*>(ScanAlloc(sizeof(tvpData)));
  if (fresh == nullptr) return kScanNoMemory;
  init(&fresh);
  *node = fresh;
  return kScanOK;
}

int InsertNode(tvpData* after, int16_t tagIndex, const char* value, int (*create)(tvpData**)) {
  if (after == nullptr) return kScanNullInsertNode;
  tvpData* node = nullptr;
  int rc = create(&node);
  if (rc != kScanOK) return rc;
  node->tagIndex = tagIndex;
  if (value != nullptr) {
    node->tagValue = CopyBytes(value, strlen(value));
    if (node->tagValue == nullptr) {
      DataRelease(&node);
      return kScanNoMemory;
    }
  }
  node->nextItem = after->nextItem;
  after->nextItem = node;
  return kScanOK;
}

}  // namespace

int tvpDataInit(tvpData** node) { return InitNode(node); }
int tvpDataCreate(tvpData** node) { return CreateNode(node, tvpDataInit); }
int tvpDataInsert(tvpData* after, int16_t tagIndex, const char* value) {
  return InsertNode(after, tagIndex, value, tvpDataCreate);
}
int adsDataInit(tvpData** node) { return InitNode(node); }
int adsDataCreate(tvpData** node) { return CreateNode(node, adsDataInit); }
int adsDataInsert(tvpData* after, int16_t tagIndex, const char* value) {
  return InsertNode(after, tagIndex, value, adsDataCreate);
}
int gwgDataInit(tvpData** node) { return InitNode(node); }
int gwgDataCreate(tvpData** node) { return CreateNode(node, gwgDataInit); }
int gwgDataInsert(tvpData* after, int16_t tagIndex, const char* value) {
  return InsertNode(after, tagIndex, value, gwgDataCreate);
}

void tvpFree(void** p) {
  if (p == nullptr) return;
  std::free(*p);
  *p = nullptr;
}

void DataRelease(tvpData** list) {
  if (list == nullptr) return;
  tvpData* node = *list;
  while (node != nullptr) {  // iterative: a long list must not exhaust the stack
    tvpData* next = node->nextItem;
    std::free(node->tagValue);
    std::free(node);
    node = next;
  }
  *list = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Whitespace normalisation

namespace {

bool IsXmlSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// True for the bytes that the normalisation copies as plain text (NUL is not one of them).
struct PlainByteTable {
  bool plain[256];
  constexpr PlainByteTable() : plain() {
    for (int c = 1; c < 256; ++c) plain[c] = true;
    for (const unsigned char c : "\t\n\r \"'/:=<>") plain[c] = false;
  }
};
constexpr PlainByteTable kPlainBytes;

bool IsPlainByte(char c) { return kPlainBytes.plain[static_cast<unsigned char>(c)]; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

void DropTrailingSpaces(const char* out, size_t* length) {
  while (*length > 0 && out[*length - 1] == ' ') --*length;
}

}  // namespace

int TrimXmlWs(const char* text, char** out) {
  if (out == nullptr || *out != nullptr) return kScanTrimOutputInUse;
  if (text == nullptr) text = "";
  const size_t textLength = strlen(text);
  char* buffer = static_cast<char*>(ScanAlloc(textLength + 1));  // output never grows
  if (buffer == nullptr) return kScanNoMemory;

  size_t length = 0;
  bool inTag = false;
  char quote = '\0';  // the quote character that opened quoted mode, or NUL outside quotes
  bool spaceAllowed = true;
  for (const char* p = text; *p != '\0'; ++p) {
    // Runs of plain bytes are copied whole: they only ever allow a following space.
    if (IsPlainByte(*p)) {
      do {
        buffer[length++] = *p++;
      } while (IsPlainByte(*p));
      spaceAllowed = true;
      --p;
      continue;
    }
    const char c = *p;
    if (IsXmlSpace(c)) {
      if (quote != '\0') {
        buffer[length++] = ' ';
      } else {
        if (spaceAllowed) buffer[length++] = ' ';
        spaceAllowed = false;
        if (IsXmlSpace(p[1])) p += strspn(p + 1, "\t\n\r ");  // the rest writes nothing
      }
      continue;
    }
    switch (c) {
      case '"':
      case '\'':
        if (quote == '\0') {
          quote = c;
        } else if (c == quote) {
          quote = '\0';
          spaceAllowed = true;
        }
        break;
      case '/':
      case ':':
      case '=':
        if (inTag && quote == '\0') {
          DropTrailingSpaces(buffer, &length);
          spaceAllowed = false;
        }
        break;
      case '<':  // ends quoted mode even inside quotes: a stray quote cannot swallow the text
        quote = '\0';
        inTag = true;
        spaceAllowed = false;
        DropTrailingSpaces(buffer, &length);
        break;
      case '>':
        if (inTag && quote == '\0') {
          inTag = false;
          spaceAllowed = false;
        }
        break;
      default:
        spaceAllowed = true;
        break;
    }
    buffer[length++] = c;
  }
  buffer[length] = '\0';
  ShrinkBuffer(&buffer, length + 1);
  *out = buffer;
  return kScanOK;
}

// ---------------------------------------------------------------------------------------------
// Literal extraction

namespace {

// A search pattern "<prefix><name><suffix>". Schema names fit the inline buffer; longer names
// from callers go to the heap, which may fail (ok() is false then).
class Pattern {
 public:
  Pattern(const char* prefix, const char* name, const char* suffix) {
    const size_t prefixSize = strlen(prefix);
    const size_t nameSize = strlen(name);
    size_ = prefixSize + nameSize + strlen(suffix);
    text_ = inline_;
    if (size_ >= sizeof(inline_)) text_ = heap_ = static_cast<char*>(ScanAlloc(size_ + 1));
    if (text_ == nullptr) return;
    memcpy(text_, prefix, prefixSize);
    memcpy(text_ + prefixSize, name, nameSize);
    memcpy(text_ + prefixSize + nameSize, suffix, size_ - prefixSize - nameSize + 1);
  }
  ~Pattern() { std::free(heap_); }
  Pattern(const Pattern&) = delete;
  Pattern& operator=(const Pattern&) = delete;

  bool ok() const { return text_ != nullptr; }
  const char* text() const { return text_; }
  size_t size() const { return size_; }

 private:
  char inline_[80];
  char* heap_ = nullptr;
  char* text_ = nullptr;
  size_t size_ = 0;
};

// Where an element lies in a text, as offsets from the text's start.
struct ElementSpan {
  size_t start;
  size_t end;  // just behind the element
  size_t contentBegin;
  size_t contentEnd;  // before contentBegin when the end tag begins inside the start tag
};

// The first '>' at or behind `from` that is not in quotes; a '<' ends quoted mode.
const char* FindTagClose(const char* from) {
  char quote = '\0';
  for (const char* p = from; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '<') {
      quote = '\0';
    } else if (quote != '\0') {
      if (c == quote) quote = '\0';
    } else if (c == '>') {
      return p;
    } else if (IsQuote(c)) {
      quote = c;
    }
  }
  return nullptr;
}

// Finds the one element `name` in `text`: its start tag "<name>", "<name/>" or "<name " must occur
// exactly once in all, and no end tag "</name>" may follow the element's end.
int LocateElement(const char* text, const char* name, ElementSpan* span) {
  const Pattern open("<", name, "");
  const Pattern close("</", name, ">");
  if (!open.ok() || !close.ok()) return kScanNoMemory;

  enum Form { kPlain, kEmpty, kWithAttributes } form = kPlain;
  const char* start = nullptr;
  for (const char* hit = strstr(text, open.text()); hit != nullptr;
       hit = strstr(hit + 1, open.text())) {
    const char* behind = hit + open.size();
    Form hitForm;
    if (*behind == '>') {
      hitForm = kPlain;
    } else if (*behind == ' ') {
      hitForm = kWithAttributes;
    } else if (behind[0] == '/' && behind[1] == '>') {
      hitForm = kEmpty;
    } else {
      continue;  // a longer name that merely starts with this one
    }
    if (start != nullptr) return kScanElementNotUnique;  // a second form, or the same again
    start = hit;
    form = hitForm;
  }
  if (start == nullptr) return kScanElementNotFound;

  const char* behind = start + open.size();

  const char* end = nullptr;
  const char* contentBegin = nullptr;
  const char* contentEnd = nullptr;
  if (form == kEmpty) {
    end = contentBegin = contentEnd = behind + 2;
  } else {
    const char* tagEnd = behind + 1;
    bool selfClosed = false;
    if (form == kWithAttributes) {
      const char* gt = FindTagClose(behind + 1);
      if (gt == nullptr) return kScanElementMalformed;
      tagEnd = gt + 1;
      selfClosed = gt[-1] == '/';
    }
    const char* endTag = selfClosed ? nullptr : strstr(start, close.text());
    if (selfClosed || (endTag == nullptr && form == kWithAttributes)) {
      end = contentBegin = contentEnd = tagEnd;  // the start tag stands alone
    } else if (endTag == nullptr || endTag + close.size() == tagEnd) {
      // No end tag, or the '>' that ends the start tag is the end tag's own.
      return kScanElementMalformed;
    } else {
      // The end tag may begin inside the start tag (a quote or a '>' in the name makes the
      // start tag run past it): the element still ends there, but it has no content.
      contentBegin = tagEnd;
      contentEnd = endTag;
      end = endTag + close.size();
    }
  }
  if (strstr(end, close.text()) != nullptr) return kScanElementMalformed;

  span->start = static_cast<size_t>(start - text);
  span->end = static_cast<size_t>(end - text);
  span->contentBegin = static_cast<size_t>(contentBegin - text);
  span->contentEnd = static_cast<size_t>(contentEnd - text);
  return kScanOK;
}

// Removing nested elements works from the last start tag backwards, and each one is matched
// against the text behind it (the "tail"), in which only end tags and plain text are left. The
// tail only ever loses a prefix (a removed element) or gains bytes in front, so it is kept as a
// stack growing downwards, with its end tags indexed by name. Searching the tail afresh for each
// nested element would make a text with many of them quadratic.
struct EndTag {
  size_t pos;              // of its '<' in the stack buffer
  size_t nameLength;       // the name starts at pos + 2
  ptrdiff_t nextSameName;  // the next end tag of this name further back, or -1
};

constexpr ptrdiff_t kSlotEmpty = -1;
constexpr ptrdiff_t kSlotFree = -2;  // held a name whose end tags are all gone

struct Tail {
  char* bytes;  // the tail is bytes[top, size); bytes[size] is NUL
  size_t top;
  EndTag* tags;  // a stack: the last one lies nearest the front
  size_t tagCount;
  ptrdiff_t* slots;  // name -> nearest end tag of that name (open addressing)
  size_t slotMask;
};

size_t HashName(const char* name, size_t length) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (size_t i = 0; i < length; ++i) {
    hash = (hash ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
  }
  return static_cast<size_t>(hash);
}

// The slot that holds `name`, or (when absent) the slot where it would go.
size_t FindSlot(const Tail& tail, const char* name, size_t length, bool* present) {
  size_t slot = HashName(name, length) & tail.slotMask;
  size_t freeSlot = SIZE_MAX;
  for (;; slot = (slot + 1) & tail.slotMask) {
    const ptrdiff_t entry = tail.slots[slot];
    if (entry == kSlotEmpty) break;
    if (entry == kSlotFree) {
      if (freeSlot == SIZE_MAX) freeSlot = slot;
      continue;
    }
    const EndTag& tag = tail.tags[entry];
    if (tag.nameLength == length && memcmp(tail.bytes + tag.pos + 2, name, length) == 0) {
      *present = true;
      return slot;
    }
  }
  *present = false;
  return freeSlot != SIZE_MAX ? freeSlot : slot;
}

ptrdiff_t NearestEndTag(const Tail& tail, const char* name, size_t length) {
  bool present = false;
  const size_t slot = FindSlot(tail, name, length, &present);
  return present ? tail.slots[slot] : -1;
}

// Indexes the end tag whose "</" was just pushed. Only a name closed by '>' without a space or
// '/' in it can ever match a nested element's name.
void PushEndTag(Tail* tail) {
  const char* name = tail->bytes + tail->top + 2;
  const size_t length = strcspn(name, " />");
  if (name[length] != '>') return;
  bool present = false;
  const size_t slot = FindSlot(*tail, name, length, &present);
  const ptrdiff_t entry = static_cast<ptrdiff_t>(tail->tagCount++);
  tail->tags[entry] = EndTag{tail->top, length, present ? tail->slots[slot] : -1};
  tail->slots[slot] = entry;
}

// Drops the tail's first bytes up to `newTop`, with the end tags among them.
void PopTail(Tail* tail, size_t newTop) {
  while (tail->tagCount > 0 && tail->tags[tail->tagCount - 1].pos < newTop) {
    const EndTag& tag = tail->tags[tail->tagCount - 1];
    bool present = false;
    const size_t slot = FindSlot(*tail, tail->bytes + tag.pos + 2, tag.nameLength, &present);
    tail->slots[slot] = tag.nextSameName >= 0 ? tag.nextSameName : kSlotFree;
    --tail->tagCount;
  }
  tail->top = newTop;
}

// True when an end tag of this chain starts at or behind `pos`.
bool EndTagFrom(const Tail& tail, ptrdiff_t entry, size_t pos) {
  while (entry >= 0 && tail.tags[entry].pos < pos) entry = tail.tags[entry].nextSameName;
  return entry >= 0;
}

// Removes the element whose start tag is the tail's first byte. This is the literal element
// search applied to the tail, specialised by the fact that every other '<' in the tail begins an
// end tag: a start tag can only match at the front, except that with an empty name "</>" is both
// the empty-element form and the end tag.
bool RemoveFrontElement(Tail* tail) {
  const char* s = tail->bytes + tail->top;
  const size_t k = 1 + strcspn(s + 1, " />");  // s[1, k) is the name
  const size_t nameLength = k - 1;
  if (s[k] == '\0') return false;
  const ptrdiff_t first = NearestEndTag(*tail, s + 1, nameLength);
  const auto relative = [&](ptrdiff_t entry) { return tail->tags[entry].pos - tail->top; };
  size_t end = 0;
  if (s[k] == '/') {
    if (s[k + 1] != '>') return false;
    end = k + 2;
    if (EndTagFrom(*tail, first, tail->top + end)) return false;
  } else if (s[k] == '>') {
    if (nameLength == 0 || first < 0 || tail->tags[first].nextSameName >= 0) return false;
    if (relative(first) < k + 1) return false;
    end = relative(first) + nameLength + 3;
  } else {
    if (nameLength == 0 && first >= 0) return false;  // "</>" is a second form of "< "
    const char* gt = FindTagClose(s + k + 1);
    if (gt == nullptr) return false;
    const size_t tagEnd = static_cast<size_t>(gt - s) + 1;
    if (gt[-1] == '/') {
      end = tagEnd;
      if (EndTagFrom(*tail, first, tail->top + end)) return false;
    } else if (first < 0) {
      end = tagEnd;
    } else {
      end = relative(first) + nameLength + 3;
      if (end == tagEnd || tail->tags[first].nextSameName >= 0) return false;
    }
  }
  PopTail(tail, tail->top + end);
  return true;
}

// True when the content holds a '<' that does not begin an end tag.
bool HasNestedStartTag(const char* content, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (content[i] == '<' && (i + 1 == length || content[i + 1] != '/')) return true;
  }
  return false;
}

int StripNestedElements(const char* content, size_t length, char** out) {
  if (!HasNestedStartTag(content, length)) {
    *out = CopyBytes(content, length);
    return *out != nullptr ? kScanOK : kScanNoMemory;
  }
  size_t maxTags = 0;
  for (size_t i = 0; i < length; ++i) maxTags += content[i] == '<';
  size_t slotCount = 8;
  while (slotCount < 2 * maxTags + 2) slotCount *= 2;

  Tail tail{};
  tail.bytes = static_cast<char*>(ScanAlloc(length + 1));
  tail.tags = static_cast<EndTag*>(ScanAlloc(maxTags * sizeof(EndTag)));
  tail.slots = static_cast<ptrdiff_t*>(ScanAlloc(slotCount * sizeof(ptrdiff_t)));
  int rc = kScanOK;
  if (tail.bytes == nullptr || tail.tags == nullptr || tail.slots == nullptr) rc = kScanNoMemory;
  if (rc == kScanOK) {
    for (size_t i = 0; i < slotCount; ++i) tail.slots[i] = kSlotEmpty;
    tail.slotMask = slotCount - 1;
    tail.top = length;
    tail.bytes[length] = '\0';
    for (size_t i = length; i-- > 0 && rc == kScanOK;) {
      const char c = content[i];
      const bool startTag = c == '<' && tail.bytes[tail.top] != '/';
      tail.bytes[--tail.top] = c;
      if (startTag) {
        if (!RemoveFrontElement(&tail)) rc = kScanNestedElementError;
      } else if (c == '<') {
        PushEndTag(&tail);
      }
    }
  }
  if (rc == kScanOK) {
    const size_t kept = length - tail.top;
    memmove(tail.bytes, tail.bytes + tail.top, kept + 1);
    ShrinkBuffer(&tail.bytes, kept + 1);
    *out = tail.bytes;
    tail.bytes = nullptr;
  }
  std::free(tail.bytes);
  std::free(tail.tags);
  std::free(tail.slots);
  return rc;
}

// The first tag of `text` holds `pattern` (" name=") outside quotes: its position, else null.
// The tag ends at its first '>' outside quotes or at any '<' but the first byte.
const char* FindAttributeInFirstTag(const char* text, const char* pattern, size_t patternSize) {
  char quote = '\0';
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '<' && p != text) return nullptr;
    if (quote != '\0') {
      if (c == quote) quote = '\0';
    } else if (c == '>') {
      return nullptr;
    } else if (IsQuote(c)) {
      quote = c;
    } else if (c == ' ' && strncmp(p, pattern, patternSize) == 0) {
      return p;
    }
  }
  return nullptr;
}

// The quoted value starting at `value`, without its quotes.
int ReadAttributeValue(const char* value, char** out) {
  const char quote = *value;
  if (!IsQuote(quote)) return kScanAttributeMalformed;
  const char* closing = strchr(value + 1, quote);
  if (closing == nullptr) return kScanAttributeMalformed;
  const size_t length = static_cast<size_t>(closing - value - 1);
  if (memchr(value + 1, '<', length) != nullptr) return kScanAttributeMalformed;
  *out = CopyBytes(value + 1, length);
  return *out != nullptr ? kScanOK : kScanNoMemory;
}

int FindUniqueAttribute(const char* text, const char* pattern, size_t patternSize, char** out,
                        bool probeOnly) {
  const char* hit = FindAttributeInFirstTag(text, pattern, patternSize);
  if (hit == nullptr) return kScanAttributeNotFound;
  if (probeOnly) return kScanAttributeNotUnique;
  const char* value = hit + patternSize;
  // From the opening quote to the end of the same tag no second occurrence may follow.
  if (FindAttributeInFirstTag(value, pattern, patternSize) != nullptr) {
    return kScanAttributeNotUnique;
  }
  return ReadAttributeValue(value, out);
}

}  // namespace

int ExtractUniqueElement(const char* text, const char* name, char** out) {
  if (out == nullptr || *out != nullptr) return kScanElementMalformed;
  if (name == nullptr) return kScanElementNotFound;
  if (text == nullptr) text = "";
  ElementSpan span{};
  const int rc = LocateElement(text, name, &span);
  if (rc != kScanOK) return rc;
  *out = CopyBytes(text + span.start, span.end - span.start);
  return *out != nullptr ? kScanOK : kScanNoMemory;
}

int ExtractUniqueElementData(const char* text, const char* name, char** out) {
  if (out == nullptr || *out != nullptr) return kScanElementMalformed;
  if (name == nullptr) return kScanElementNotFound;
  if (text == nullptr) text = "";
  ElementSpan span{};
  const int rc = LocateElement(text, name, &span);
  if (rc != kScanOK) return rc;
  if (span.contentEnd < span.contentBegin) return kScanElementMalformed;  // a negative length
  return StripNestedElements(text + span.contentBegin, span.contentEnd - span.contentBegin, out);
}

int ExtractUniqueAttribute(char* text, const char* name, char** out, int16_t flag) {
  if (out == nullptr || *out != nullptr) return kScanAttributeMalformed;
  if (name == nullptr) return kScanAttributeNotFound;
  const Pattern pattern(" ", name, "=");
  if (!pattern.ok()) return kScanNoMemory;
  return FindUniqueAttribute(text != nullptr ? text : "", pattern.text(), pattern.size(), out,
                             flag != 0);
}

// ---------------------------------------------------------------------------------------------
// Schema scans

namespace {

struct Schema {
  const char (*rows)[kScanTagSize];
  int count;
  int (*init)(tvpData**);
  int (*create)(tvpData**);
  int (*insert)(tvpData*, int16_t, const char*);
};

const Schema kTvpSchema{tvpValidatorItems, kTvpItemCount, tvpDataInit, tvpDataCreate,
                        tvpDataInsert};
const Schema kAdsSchema{adsValidatoritems, kAdsItemCount, adsDataInit, adsDataCreate,
                        adsDataInsert};
const Schema kGwgSchema{gwgValidatoritems, kGwgItemCount, gwgDataInit, gwgDataCreate,
                        gwgDataInsert};

enum RowMark : unsigned char { kUnseen, kTaken, kFailed };

void FreeString(char** text) {
  std::free(*text);
  *text = nullptr;
}

// Makes *list a bare head: a new one, or the given one with its followers released.
int ResetHead(tvpData** list, const Schema& schema) {
  if (*list == nullptr) return schema.create(list);
  DataRelease(&(*list)->nextItem);
  FreeString(&(*list)->tagValue);  // a head holds no value: don't leak one a caller left
  return schema.init(list);
}

// Inserts a found tag behind *tail and moves the tail on.
int Append(const Schema& schema, tvpData** tail, int row, const char* value) {
  const int rc = schema.insert(*tail, static_cast<int16_t>(row), value);
  if (rc == kScanOK) *tail = (*tail)->nextItem;
  return rc;
}

int ScanElements(const char* rdf, const Schema& schema, RowMark* marks, tvpData** tail) {
  for (int row = 1; row <= schema.count; ++row) {
    char* content = nullptr;
    int rc = ExtractUniqueElementData(rdf, schema.rows[row], &content);
    if (rc == kScanElementNotFound) continue;
    if (rc == kScanOK) {
      rc = Append(schema, tail, row, content);
      FreeString(&content);
      marks[row] = rc == kScanOK ? kTaken : kFailed;
      if (rc != kScanOK) return rc;
      continue;
    }
    marks[row] = kFailed;
    // Short memory fails the scan: skipping the tag would pass off a present tag as absent.
    if (rc == kScanNoMemory) return rc;
  }
  return kScanOK;
}

// The lengths of a schema's names, measured once per scan.
struct SchemaNames {
  size_t length[kScanTagRows];
};

void BuildSchemaNames(const Schema& schema, SchemaNames* names) {
  for (int row = 1; row <= schema.count; ++row) names->length[row] = strlen(schema.rows[row]);
}

int RowOfName(const Schema& schema, const SchemaNames& names, const char* name, size_t length) {
  for (int row = 1; row <= schema.count; ++row) {
    if (names.length[row] == length && memcmp(schema.rows[row], name, length) == 0) return row;
  }
  return 0;
}

// Reads every schema attribute of the tag at `tag` in one pass. This equals looking each row up
// on its own (first " name=" outside quotes, then no second one up to the tag's end): the quote
// state at a byte does not depend on the row looked for. (The one difference, a value starting
// with '<', which ends the tag here but not for the row's own uniqueness probe, fails the scan
// either way: such a value has no opening quote.)
int ScanAttributes(const char* tag, const Schema& schema, const SchemaNames& names, RowMark* marks,
                   tvpData** tail) {
  const char* hits[kScanTagRows] = {};
  bool twice[kScanTagRows] = {};
  char quote = '\0';
  for (const char* p = tag; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '<' && p != tag) break;
    if (quote != '\0') {
      if (c == quote) quote = '\0';
    } else if (c == '>') {
      break;
    } else if (IsQuote(c)) {
      quote = c;
    } else if (c == ' ') {
      const size_t length = strcspn(p + 1, "= <>\"'");  // no schema name holds one of these
      const int row = p[1 + length] == '=' ? RowOfName(schema, names, p + 1, length) : 0;
      if (row > 0 && hits[row] != nullptr) twice[row] = true;
      if (row > 0 && hits[row] == nullptr) hits[row] = p;
    }
  }
  for (int row = 1; row <= schema.count; ++row) {
    if (hits[row] == nullptr) continue;
    char* found = nullptr;
    int rc = kScanAttributeNotUnique;
    if (!twice[row]) rc = ReadAttributeValue(hits[row] + names.length[row] + 2, &found);
    if (rc == kScanOK) {  // accepted only for a tag not met before
      rc = marks[row] == kUnseen ? Append(schema, tail, row, found) : kScanItemsError;
    }
    FreeString(&found);
    if (rc != kScanOK) {
      marks[row] = kFailed;
      return kScanItemsError;
    }
    marks[row] = kTaken;
  }
  return kScanOK;
}

int ScanTags(const char* rdf, const Schema& schema, RowMark* marks, tvpData** tail) {
  SchemaNames names;
  BuildSchemaNames(schema, &names);
  const char* lt = strchr(rdf, '<');
  while (lt != nullptr) {
    if (lt[1] == '/') {
      lt = strchr(lt + 1, '<');
      continue;
    }
    const size_t nameLength = strcspn(lt + 1, " />");
    if (lt[1 + nameLength] == '\0') return kScanItemsError;
    const int row = RowOfName(schema, names, lt + 1, nameLength);
    if (row > 0) {
      // A schema element was read by the element pass; nothing inside it is looked at.
      ElementSpan span{};
      if (LocateElement(lt, schema.rows[row], &span) != kScanOK) return kScanItemsError;
      lt = strchr(lt + span.end, '<');
      continue;
    }
    const int rc = ScanAttributes(lt, schema, names, marks, tail);
    if (rc != kScanOK) return rc;
    lt = strchr(lt + 1, '<');
  }
  return kScanOK;
}

int ExtractUniqueItems(const char* rdf, tvpData** list, const Schema& schema) {
  if (list == nullptr) return kScanNullNode;
  if (rdf == nullptr) rdf = "";
  RowMark marks[kScanTagRows] = {};
  int rc = ResetHead(list, schema);
  tvpData* tail = *list;
  if (rc == kScanOK) rc = ScanElements(rdf, schema, marks, &tail);
  if (rc == kScanOK) rc = ScanTags(rdf, schema, marks, &tail);
  if (rc != kScanOK) DataRelease(list);
  return rc;
}

int Validate(const char* xml, tvpData** list, const Schema& schema) {
  if (list == nullptr) return kScanNullNode;
  int rc = ResetHead(list, schema);
  char* normalised = nullptr;
  char* rdf = nullptr;
  if (rc == kScanOK) rc = TrimXmlWs(xml, &normalised);
  if (rc == kScanOK) rc = ExtractUniqueElement(normalised, schema.rows[0], &rdf);
  FreeString(&normalised);
  if (rc == kScanOK) rc = ExtractUniqueItems(rdf, list, schema);
  FreeString(&rdf);
  if (rc != kScanOK) DataRelease(list);
  return rc;
}

}  // namespace

int tvpValidate(const char* xml, tvpData** list) { return Validate(xml, list, kTvpSchema); }
int adsMLValidate(const char* xml, tvpData** list) { return Validate(xml, list, kAdsSchema); }
int gwgValidate(const char* xml, tvpData** list) { return Validate(xml, list, kGwgSchema); }

int tvpExtractUniqueItems(char* rdf, tvpData** list) {
  return ExtractUniqueItems(rdf, list, kTvpSchema);
}
int adsExtractUniqueItems(char* rdf, tvpData** list) {
  return ExtractUniqueItems(rdf, list, kAdsSchema);
}
int gwgExtractUniqueItems(char* rdf, tvpData** list) {
  return ExtractUniqueItems(rdf, list, kGwgSchema);
}
