#include "batch/xlsx/SheetReader.h"

namespace rulecalc::batch {

namespace {

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool IsWorkbook(const std::string& path, std::string_view firstBytes) {
  return firstBytes.substr(0, 4) == std::string_view("PK\3\4", 4) || EndsWith(path, ".xlsx") || EndsWith(path, ".XLSX");
}

}  // namespace rulecalc::batch
