#include "boundary/VarTable.h"

#include "common/NameFold.h"

namespace rulecalc {

void TVarTable::SetVar(std::string_view name, std::string_view value, std::int32_t type) {
  const std::string_view stored = (type == kNumberType && value.empty()) ? std::string_view(NullNumberText) : value;
  for (std::size_t i = 0; i < Records.size(); ++i) {
    if (SameName(Records[i].Name, name)) {
      // The value first: if copying it runs out of memory, the record stays as it was.
      Records[i].Value.assign(stored);
      Records[i].Type = type;
      Revisions[i] = NextRevision++;
      return;
    }
  }
  Revisions.reserve(Records.size() + 1);
  Records.push_back(SVarStruct{type, std::string(name), std::string(stored)});
  Revisions.push_back(NextRevision++);  // cannot throw: capacity reserved
}

const SVarStruct* TVarTable::Find(std::string_view name) const {
  for (const SVarStruct& record : Records)
    if (SameName(record.Name, name)) return &record;
  return nullptr;
}

bool TVarTable::FindVar(std::string_view name, SVarStruct& out) const {
  const SVarStruct* found = Find(name);
  if (found == nullptr) return false;
  out = *found;
  return true;
}

}  // namespace rulecalc
