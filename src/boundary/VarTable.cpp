#include "boundary/VarTable.h"

#include "common/NameFold.h"

namespace rulecalc {

void TVarTable::SetVar(std::string_view name, std::string_view value, std::int32_t type) {
  const std::string_view stored = (type == 0 && value.empty()) ? std::string_view(NullNumberText) : value;
  for (SVarStruct& record : Records) {
    if (SameName(record.Name, name)) {
      record.Type = type;
      record.Value.assign(stored);
      return;
    }
  }
  Records.push_back(SVarStruct{type, std::string(name), std::string(stored)});
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
