// Literal models that the scanner's faster code is checked against.
//
// A deliberately literal model of ExtractUniqueElementData: take the element, cut out its
// content, then remove the last nested start tag's element again and again, searching the whole
// remaining content each time. Quadratic, so only for small texts; the scanner's own removal
// is checked against it.
#ifndef TOVARIN_SCANNER_LITERAL_MODEL_H
#define TOVARIN_SCANNER_LITERAL_MODEL_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "metadataValidator.h"

// The only codes a validator may hand back to its caller.
inline bool IsValidatorResultCode(int rc)
{
  return rc == kScanOK || rc == kScanNoMemory || rc == kScanElementMalformed ||
         rc == kScanElementNotFound || rc == kScanElementNotUnique || rc == kScanItemsError;
}

struct LiteralResult {
  int rc;
  std::string text;
};

inline LiteralResult LiteralElementData(const char* text, const char* name) {
  char* element = nullptr;
  int rc = ExtractUniqueElement(text, name, &element);
  if (rc != kScanOK) return {rc, ""};
  const std::string whole(element);
  std::free(element);

  const std::string open = std::string("<") + name;
  const std::string close = std::string("</") + name + ">";
  std::string content;
  const char form = whole[open.size()];
  if (form == '>') {
    const size_t begin = open.size() + 1;
    content = whole.substr(begin, whole.find(close) - begin);
  } else if (form == ' ') {
    char quote = '\0';
    size_t gt = open.size() + 1;
    for (; gt < whole.size(); ++gt) {
      const char c = whole[gt];
      if (c == '<')
        quote = '\0';
      else if (quote != '\0') {
        if (c == quote) quote = '\0';
      } else if (c == '>')
        break;
      else if (c == '"' || c == '\'')
        quote = c;
    }
    const size_t endTag = whole.find(close, gt);
    if (whole[gt - 1] != '/' && endTag != std::string::npos) {
      content = whole.substr(gt + 1, endTag - gt - 1);
    }
  }

  for (;;) {
    size_t lt = content.size();
    while (lt-- > 0) {
      if (content[lt] == '<' && (lt + 1 == content.size() || content[lt + 1] != '/')) break;
    }
    if (lt == static_cast<size_t>(-1)) break;
    const size_t nameEnd = content.find_first_of(" />", lt + 1);
    if (nameEnd == std::string::npos) return {kScanNestedElementError, ""};
    const std::string nestedName = content.substr(lt + 1, nameEnd - lt - 1);
    char* nested = nullptr;
    rc = ExtractUniqueElement(content.c_str() + lt, nestedName.c_str(), &nested);
    if (rc == kScanNoMemory) return {rc, ""};
    if (rc != kScanOK) return {kScanNestedElementError, ""};
    const size_t nestedLength = std::strlen(nested);
    const bool atFront = content.compare(lt, nestedLength, nested) == 0;
    std::free(nested);
    if (!atFront) return {kScanOK - 1000, "nested element not at its start tag"};  // model broken
    content.erase(lt, nestedLength);
  }
  return {kScanOK, content};
}

// The whitespace normalisation as a plain byte-at-a-time state machine.
inline std::string LiteralTrim(const std::string& text) {
  std::string out;
  bool inTag = false;
  char quote = '\0';
  bool spaceAllowed = true;
  const auto dropTrailingSpaces = [&] {
    while (!out.empty() && out.back() == ' ') out.pop_back();
  };
  for (const char c : text) {
    if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      if (quote != '\0' || spaceAllowed) out += ' ';
      if (quote == '\0') spaceAllowed = false;
      continue;
    }
    if (c == '"' || c == '\'') {
      if (quote == '\0') {
        quote = c;
      } else if (c == quote) {
        quote = '\0';
        spaceAllowed = true;
      }
    } else if (c == '/' || c == ':' || c == '=') {
      if (inTag && quote == '\0') {
        dropTrailingSpaces();
        spaceAllowed = false;
      }
    } else if (c == '<') {
      quote = '\0';
      inTag = true;
      spaceAllowed = false;
      dropTrailingSpaces();
    } else if (c == '>') {
      if (inTag && quote == '\0') {
        inTag = false;
        spaceAllowed = false;
      }
    } else {
      spaceAllowed = true;
    }
    out += c;
  }
  return out;
}

struct LiteralScan {
  int rc;
  std::vector<std::pair<int, std::string>> nodes;
};

// A validator step by step on the public extraction functions: normalise, take the root, then
// the element pass over the rows and the tag pass from '<' to '<' with one attribute lookup per
// row. An allocation failure never happens here, so the scanner's own ones are not modelled.
inline LiteralScan LiteralValidate(const std::string& xml, const char (*rows)[kScanTagSize],
                                   int count) {
  char* root = nullptr;
  int rc = ExtractUniqueElement(LiteralTrim(xml).c_str(), rows[0], &root);
  if (rc != kScanOK) return {rc, {}};
  std::string text(root);
  std::free(root);

  enum { kUnseen, kTaken, kFailed } marks[kScanTagRows] = {};
  LiteralScan scan{kScanOK, {}};
  for (int row = 1; row <= count; ++row) {
    char* content = nullptr;
    rc = ExtractUniqueElementData(text.c_str(), rows[row], &content);
    if (rc == kScanElementNotFound) continue;
    marks[row] = rc == kScanOK ? kTaken : kFailed;
    if (rc == kScanOK) scan.nodes.emplace_back(row, content);
    std::free(content);
  }
  const LiteralScan failed{kScanItemsError, {}};
  for (size_t lt = text.find('<'); lt != std::string::npos;) {
    if (text[lt + 1] == '/') {
      lt = text.find('<', lt + 1);
      continue;
    }
    const size_t nameEnd = text.find_first_of(" />", lt + 1);
    if (nameEnd == std::string::npos) return failed;
    const std::string name = text.substr(lt + 1, nameEnd - lt - 1);
    int row = count;
    while (row > 0 && name != rows[row]) --row;
    if (row > 0) {
      char* element = nullptr;
      if (ExtractUniqueElement(text.c_str() + lt, rows[row], &element) != kScanOK) return failed;
      const size_t at = text.find(element, lt);  // where the one start tag is
      lt = text.find('<', at + std::strlen(element));
      std::free(element);
      continue;
    }
    for (int r = 1; r <= count; ++r) {
      char* value = nullptr;
      rc = ExtractUniqueAttribute(text.data() + lt, rows[r], &value, 0);
      if (rc == kScanAttributeNotFound) continue;
      const bool accepted = rc == kScanOK && marks[r] == kUnseen;
      if (accepted) scan.nodes.emplace_back(r, value);
      std::free(value);
      if (!accepted) return failed;
      marks[r] = kTaken;
    }
    lt = text.find('<', lt + 1);
  }
  return scan;
}

#endif  // TOVARIN_SCANNER_LITERAL_MODEL_H
