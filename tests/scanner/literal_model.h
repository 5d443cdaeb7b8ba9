// Literal models that the scanner's faster code is checked against: each follows the
// scanner's steps one by one with plain std::string searches and calls no scanner function.
// Quadratic, so only for small texts. Allocation failures are not modelled.
#ifndef TOVARIN_SCANNER_LITERAL_MODEL_H
#define TOVARIN_SCANNER_LITERAL_MODEL_H

#include <cstddef>
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

// One element found in a text: where it starts, its whole text, and its content as offsets into
// that text (contentEnd < contentBegin when the end tag begins inside the start tag).
struct LiteralElementFound {
  int rc;
  std::size_t start;
  std::string whole;
  std::ptrdiff_t contentBegin;
  std::ptrdiff_t contentEnd;
};

// The first '>' at or behind `from` that is not in quotes; a '<' ends quoted mode.
inline std::size_t LiteralTagClose(const std::string& text, std::size_t from)
{
  char quote = '\0';
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<')
      quote = '\0';
    else if (quote != '\0') {
      if (c == quote) quote = '\0';
    } else if (c == '>')
      return i;
    else if (c == '"' || c == '\'')
      quote = c;
  }
  return std::string::npos;
}

inline LiteralElementFound LiteralFindElement(const std::string& text, const std::string& name)
{
  const std::string plain = "<" + name + ">";
  const std::string empty = "<" + name + "/>";
  const std::string attributes = "<" + name + " ";
  const std::string close = "</" + name + ">";
  const std::string* forms[] = {&plain, &empty, &attributes};
  const std::string* form = nullptr;
  std::size_t start = std::string::npos;
  int found = 0;
  for (const std::string* f : forms) {
    const std::size_t at = text.find(*f);
    if (at == std::string::npos) continue;
    ++found;
    form = f;
    start = at;
  }
  if (found > 1) return {kScanElementNotUnique, 0, "", 0, 0};
  if (found == 0) return {kScanElementNotFound, 0, "", 0, 0};
  for (const std::string* f : forms) {
    if (text.find(*f, start + 1) != std::string::npos) return {kScanElementNotUnique, 0, "", 0, 0};
  }

  const std::string copy = text.substr(start);
  const std::size_t endTag = copy.find(close);
  const std::size_t closeAt = endTag == std::string::npos ? endTag : endTag + close.size();
  std::size_t end = std::string::npos;
  std::size_t contentBegin = 0;
  std::size_t contentEnd = 0;
  if (form == &plain) {
    end = closeAt;
    contentBegin = plain.size();
    contentEnd = endTag;
  } else if (form == &empty) {
    end = contentBegin = contentEnd = empty.size();
  } else {
    const std::size_t gt = LiteralTagClose(copy, attributes.size());
    if (gt != std::string::npos) {
      if (copy[gt - 1] == '/' || endTag == std::string::npos) {
        end = contentBegin = contentEnd = gt + 1;
      } else if (closeAt != gt + 1) {
        end = closeAt;
        contentBegin = gt + 1;
        contentEnd = endTag;
      }
    }
  }
  if (end == std::string::npos || copy.find(close, end) != std::string::npos) {
    return {kScanElementMalformed, 0, "", 0, 0};
  }
  return {kScanOK, start, copy.substr(0, end), static_cast<std::ptrdiff_t>(contentBegin),
          static_cast<std::ptrdiff_t>(contentEnd)};
}

inline LiteralResult LiteralElement(const std::string& text, const std::string& name)
{
  const LiteralElementFound found = LiteralFindElement(text, name);
  return {found.rc, found.whole};
}

// The element's content, then the last nested start tag's element removed again and again,
// searching the whole remaining content each time.
inline LiteralResult LiteralElementData(const std::string& text, const std::string& name)
{
  const LiteralElementFound found = LiteralFindElement(text, name);
  if (found.rc != kScanOK) return {found.rc, ""};
  if (found.contentEnd < found.contentBegin) return {kScanElementMalformed, ""};
  const auto begin = static_cast<std::size_t>(found.contentBegin);
  const auto end = static_cast<std::size_t>(found.contentEnd);
  std::string content = found.whole.substr(begin, end - begin);
  for (;;) {
    std::size_t lt = content.size();
    while (lt-- > 0) {
      if (content[lt] == '<' && (lt + 1 == content.size() || content[lt + 1] != '/')) break;
    }
    if (lt == std::string::npos) break;
    const std::size_t nameEnd = content.find_first_of(" />", lt + 1);
    if (nameEnd == std::string::npos) return {kScanNestedElementError, ""};
    const LiteralElementFound nested =
        LiteralFindElement(content.substr(lt), content.substr(lt + 1, nameEnd - lt - 1));
    if (nested.rc != kScanOK) return {kScanNestedElementError, ""};
    content.erase(lt + nested.start, nested.whole.size());
  }
  return {kScanOK, content};
}

// The value of attribute `name` in the first tag of the text. With `probe` (the flag 1) only
// whether it occurs: kScanAttributeNotUnique when it does.
inline LiteralResult LiteralAttribute(const std::string& text, const std::string& name,
                                      bool probe = false)
{
  const std::string pattern = " " + name + "=";
  const LiteralResult notFound{kScanAttributeNotFound, ""};
  if (text.find(pattern) == std::string::npos) return notFound;
  char quote = '\0';
  std::size_t hit = std::string::npos;
  for (std::size_t i = 0; i < text.size() && hit == std::string::npos; ++i) {
    const char c = text[i];
    if (c == '<' && i > 0) return notFound;
    if (quote != '\0') {
      if (c == quote) quote = '\0';
    } else if (c == '>') {
      return notFound;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ' ' && text.compare(i, pattern.size(), pattern) == 0) {
      hit = i;
    }
  }
  if (hit == std::string::npos) return notFound;
  if (probe) return {kScanAttributeNotUnique, ""};
  const std::size_t value = hit + pattern.size();
  if (LiteralAttribute(text.substr(value), name, true).rc != kScanAttributeNotFound) {
    return {kScanAttributeNotUnique, ""};
  }
  const char opening = value < text.size() ? text[value] : '\0';
  if (opening != '"' && opening != '\'') return {kScanAttributeMalformed, ""};
  const std::size_t closing = text.find(opening, value + 1);
  if (closing == std::string::npos) return {kScanAttributeMalformed, ""};
  const std::string result = text.substr(value + 1, closing - value - 1);
  if (result.find('<') != std::string::npos) return {kScanAttributeMalformed, ""};
  return {kScanOK, result};
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

// A validator step by step: normalise, take the root, then the element pass over the rows and
// the tag pass from '<' to '<' with one attribute lookup per row.
inline LiteralScan LiteralValidate(const std::string& xml, const char (*rows)[kScanTagSize],
                                   int count) {
  const LiteralResult root = LiteralElement(LiteralTrim(xml), rows[0]);
  if (root.rc != kScanOK) return {root.rc, {}};
  const std::string& text = root.text;

  enum { kUnseen, kTaken, kFailed } marks[kScanTagRows] = {};
  LiteralScan scan{kScanOK, {}};
  for (int row = 1; row <= count; ++row) {
    const LiteralResult content = LiteralElementData(text, rows[row]);
    if (content.rc == kScanElementNotFound) continue;
    marks[row] = content.rc == kScanOK ? kTaken : kFailed;
    if (content.rc == kScanOK) scan.nodes.emplace_back(row, content.text);
  }
  const LiteralScan failed{kScanItemsError, {}};
  for (std::size_t lt = text.find('<'); lt != std::string::npos;) {
    if (text[lt + 1] == '/') {
      lt = text.find('<', lt + 1);
      continue;
    }
    const std::size_t nameEnd = text.find_first_of(" />", lt + 1);
    if (nameEnd == std::string::npos) return failed;
    const std::string name = text.substr(lt + 1, nameEnd - lt - 1);
    int row = count;
    while (row > 0 && name != rows[row]) --row;
    if (row > 0) {
      const LiteralElementFound element = LiteralFindElement(text.substr(lt), rows[row]);
      if (element.rc != kScanOK) return failed;
      lt = text.find('<', lt + element.start + element.whole.size());
      continue;
    }
    for (int r = 1; r <= count; ++r) {
      const LiteralResult value = LiteralAttribute(text.substr(lt), rows[r]);
      if (value.rc == kScanAttributeNotFound) continue;
      if (value.rc != kScanOK || marks[r] != kUnseen) return failed;
      scan.nodes.emplace_back(r, value.text);
      marks[r] = kTaken;
    }
    lt = text.find('<', lt + 1);
  }
  return scan;
}

#endif  // TOVARIN_SCANNER_LITERAL_MODEL_H
