#pragma once

#include <memory>
#include <string_view>

namespace rulecalc::batch {

// Counts the terminal columns that GBK text takes once shown: each character
// is as wide as the locale says (a Chinese character takes two columns). A
// character whose width the locale does not know counts one column per byte,
// which is how GBK terminals show it.
class TDisplayColumns {
 public:
  TDisplayColumns();
  ~TDisplayColumns();
  TDisplayColumns(const TDisplayColumns&) = delete;
  TDisplayColumns& operator=(const TDisplayColumns&) = delete;

  // Columns of the GBK text.
  int Of(std::string_view gbk);

 private:
  // The columns of one character (GB18030 bytes), or -1 when unknown.
  int OfCharacter(std::string_view character);

  struct SSystem;  // what the system needs to tell a character's width
  std::unique_ptr<SSystem> System;
};

}  // namespace rulecalc::batch
