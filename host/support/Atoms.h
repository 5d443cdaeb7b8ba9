// Host atoms: strings interned for the host's lifetime, numbered from 1 to 0xFFFE. Neither 0
// (a cleared record's field) nor ASAtomNull (0xFFFF) is ever an atom of a string.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "ASTypes.h"

namespace pdfhost {

class AtomTable {
 public:
  // The atom of a string, interning it on first use; atoms are never freed. Throws
  // std::length_error when all 65534 atoms are taken.
  ASAtom intern(const std::string& name);
  // The string of an atom, or null for an atom this table never handed out (0 and ASAtomNull
  // included).
  const char* name(ASAtom atom) const;
  // Whether the string is already interned, without interning it.
  bool contains(const std::string& name) const { return ids_.count(name) != 0; }

 private:
  std::vector<std::string> names_{""};  // row 0 is no atom
  std::unordered_map<std::string, ASAtom> ids_;
};

}  // namespace pdfhost
