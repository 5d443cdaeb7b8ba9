#include "ReadWarnings.h"

#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "FileSource.h"

namespace pdfhost {

namespace {

// qpdf reports a duplicated key with this text and keeps the key's last value, as most readers
// do; it has no code of its own (every damage is qpdf_e_damaged_pdf).
const char kDuplicatedKey[] = "dictionary has duplicated key ";

bool isDuplicatedKey(const QPDFExc& warning)
{
  return warning.getMessageDetail().rfind(kDuplicatedKey, 0) == 0;
}

// qpdf hands its warnings out only by clearing them: they are given back, so that every later
// look sees them too.
std::vector<QPDFExc> warningsOf(QPDF& pdf)
{
  std::vector<QPDFExc> warnings = pdf.getWarnings();
  for (const QPDFExc& warning : warnings)
    pdf.warn(warning);
  return warnings;
}

// Two values are the same when they are equal once references are resolved. Two objects met
// again while they are being compared count as equal, so that a cycle ends; a structure deeper
// than any catalog needs counts as different.
class SameValue {
 public:
  bool operator()(QPDFObjectHandle a, QPDFObjectHandle b, int depth = 0)
  {
    if (depth > kDeepest)
      return false;
    if (a.isIndirect() && b.isIndirect()) {
      if (a.getObjGen() == b.getObjGen() || !met_.insert({a.getObjGen(), b.getObjGen()}).second)
        return true;
    }
    if (a.getTypeCode() != b.getTypeCode())
      return false;
    switch (a.getTypeCode()) {
      case ::ot_array: {
        int count = a.getArrayNItems();
        if (count != b.getArrayNItems())
          return false;
        for (int i = 0; i < count; ++i)
          if (!(*this)(a.getArrayItem(i), b.getArrayItem(i), depth + 1))
            return false;
        return true;
      }
      case ::ot_dictionary:
        return sameEntries(a, b, depth);
      case ::ot_stream: {
        if (!sameEntries(a.getDict(), b.getDict(), depth))
          return false;
        auto first = a.getRawStreamData();
        auto second = b.getRawStreamData();
        return first->getSize() == second->getSize() &&
               std::memcmp(first->getBuffer(), second->getBuffer(), first->getSize()) == 0;
      }
      default:
        return a.unparseResolved() == b.unparseResolved();
    }
  }

 private:
  static constexpr int kDeepest = 64;

  bool sameEntries(QPDFObjectHandle a, QPDFObjectHandle b, int depth)
  {
    std::set<std::string> keys = a.getKeys();
    if (keys != b.getKeys())
      return false;
    for (const std::string& key : keys)
      if (!(*this)(a.getKey(key), b.getKey(key), depth + 1))
        return false;
    return true;
  }

  std::set<std::pair<QPDFObjGen, QPDFObjGen>> met_;
};

// Whether the next tokens are `number generation obj`.
bool objectHeaderFollows(const std::shared_ptr<InputSource>& input, QPDFObjGen object)
{
  QPDFTokenizer tokenizer;
  auto number = tokenizer.readToken(input, "catalog", true);
  auto generation = tokenizer.readToken(input, "catalog", true);
  auto keyword = tokenizer.readToken(input, "catalog", true);
  return number.getType() == QPDFTokenizer::tt_integer &&
         number.getValue() == std::to_string(object.getObj()) &&
         generation.getType() == QPDFTokenizer::tt_integer &&
         generation.getValue() == std::to_string(object.getGen()) && keyword.isWord("obj");
}

// The catalog's own bytes, positioned at its dictionary. In a file, qpdf counts offsets from the
// header it found among the first 1024 bytes: the header that puts the catalog's own
// `number generation obj` at the offset qpdf has is that one.
std::shared_ptr<InputSource> catalogSource(QPDF& pdf, const std::string& path)
{
  QPDFObjectHandle root = pdf.getRoot();
  std::map<QPDFObjGen, QPDFXRefEntry> table = pdf.getXRefTable();
  auto entry = table.find(root.getObjGen());
  if (entry == table.end())
    throw std::runtime_error("the catalog is not in the cross-reference");
  if (entry->second.getType() == 2) {
    QPDFObjectHandle stream = pdf.getObjectByID(entry->second.getObjStreamNumber(), 0);
    auto data = stream.getStreamData(qpdf_dl_generalized);
    auto input = std::make_shared<BufferInputSource>(
        "object stream", std::string(reinterpret_cast<const char*>(data->getBuffer()),
                                     data->getSize()));
    QPDFObjectHandle first = stream.getDict().getKey("/First");
    if (!first.isInteger())
      throw std::runtime_error("the object stream has no /First");
    QPDFTokenizer tokenizer;
    for (int index = 0; index <= entry->second.getObjStreamIndex(); ++index) {
      auto number = tokenizer.readToken(input, "object stream", true);
      auto offset = tokenizer.readToken(input, "object stream", true);
      if (!number.isInteger() || !offset.isInteger())
        throw std::runtime_error("the object stream's index is cut short");
      if (index == entry->second.getObjStreamIndex()) {
        if (number.getValue() != std::to_string(root.getObjectID()))
          throw std::runtime_error("the object stream does not hold the catalog");
        input->seek(first.getIntValue() + std::stoll(offset.getValue()), SEEK_SET);
      }
    }
    return input;
  }
  auto input = std::make_shared<FileSource>(path);
  std::string start(1029, '\0');
  start.resize(input->read(&start[0], start.size()));
  for (std::size_t header = start.find("%PDF-"); header < 1024;
       header = start.find("%PDF-", header + 1)) {
    input->seek(static_cast<qpdf_offset_t>(header) + entry->second.getOffset(), SEEK_SET);
    if (objectHeaderFollows(input, root.getObjGen()))
      return input;
  }
  throw std::runtime_error("the catalog is not where the cross-reference puts it");
}

}  // namespace

bool hadToRepair(QPDF& pdf)
{
  for (const QPDFExc& warning : warningsOf(pdf))
    if (!isDuplicatedKey(warning))
      return true;
  return false;
}

std::string conflictingCatalogKey(QPDF& pdf, const std::string& path)
{
  std::vector<QPDFExc> warnings = warningsOf(pdf);
  bool duplicated = false;
  for (const QPDFExc& warning : warnings)
    duplicated = duplicated || isDuplicatedKey(warning);
  if (!duplicated)
    return "";
  std::shared_ptr<InputSource> input = catalogSource(pdf, path);
  // Each value as qpdf parses it, every occurrence of a key kept.
  QPDFTokenizer tokenizer;
  if (tokenizer.readToken(input, "catalog", true).getType() != QPDFTokenizer::tt_dict_open)
    throw std::runtime_error("the catalog is not a dictionary");
  std::map<std::string, QPDFObjectHandle> seen;
  SameValue same;
  for (;;) {
    auto key = tokenizer.readToken(input, "catalog", true);
    if (key.getType() == QPDFTokenizer::tt_dict_close)
      return "";
    if (key.getType() != QPDFTokenizer::tt_name)
      throw std::runtime_error("the catalog holds something other than a key");
    std::size_t before = pdf.numWarnings();
    bool empty = false;
    QPDFObjectHandle value =
        QPDFObjectHandle::parse(input, "catalog", tokenizer, empty, nullptr, &pdf);
    // A direct value that names a key twice itself is read as qpdf reads it, not as every
    // reader may.
    if (pdf.numWarnings() != before)
      return key.getValue();
    // qpdf's parser stops after the first number of a reference: the rest is read here.
    if (value.isInteger()) {
      qpdf_offset_t after = input->tell();
      auto generation = tokenizer.readToken(input, "catalog", true);
      auto keyword = tokenizer.readToken(input, "catalog", true);
      if (generation.isInteger() && keyword.isWord("R"))
        value = pdf.getObjectByID(value.getIntValueAsInt(), std::stoi(generation.getValue()));
      else
        input->seek(after, SEEK_SET);
    }
    auto earlier = seen.find(key.getValue());
    if (earlier == seen.end())
      seen.emplace(key.getValue(), value);
    else if (!same(earlier->second, value))
      return key.getValue();
  }
}

}  // namespace pdfhost
