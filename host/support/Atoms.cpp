#include "Atoms.h"

#include <stdexcept>

namespace pdfhost {

ASAtom AtomTable::intern(const std::string& name)
{
  auto found = ids_.find(name);
  if (found != ids_.end())
    return found->second;
  if (names_.size() >= ASAtomNull)
    throw std::length_error("AtomTable::intern: the host's 65534 atoms are used up");
  auto atom = static_cast<ASAtom>(names_.size());
  names_.push_back(name);
  ids_.emplace(name, atom);
  return atom;
}

const char* AtomTable::name(ASAtom atom) const
{
  if (atom == 0 || atom == ASAtomNull || atom >= names_.size())
    return nullptr;
  return names_[atom].c_str();
}

}  // namespace pdfhost
