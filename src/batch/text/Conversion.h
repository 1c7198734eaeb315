#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace rulecalc::batch {

// One direction of a conversion between two encodings named as people name
// them ("GBK", "UTF-8", "GB18030", "CP936"), open for many texts. The system
// does the work: iconv on POSIX systems, the code-page functions on Windows.
class TConversion {
 public:
  static constexpr std::size_t kAllConverted = std::string_view::npos;

  // lenient: a character the target encoding lacks becomes "?" (or its
  // nearest likeness) instead of stopping the conversion. Throws TUsageError
  // ("unknown encoding 'named'") when the system knows either encoding not.
  TConversion(const std::string& to, const std::string& from, bool lenient, const std::string& named);
  ~TConversion();
  TConversion(const TConversion&) = delete;
  TConversion& operator=(const TConversion&) = delete;

  // Appends in, converted, to out; stops at the first byte that cannot be
  // converted and returns its offset (what came before it is appended), or
  // kAllConverted.
  std::size_t Append(std::string_view in, std::string& out);

 private:
  struct SSystem;
  std::unique_ptr<SSystem> System;
};

}  // namespace rulecalc::batch
