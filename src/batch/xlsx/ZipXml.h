#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <expat.h>
#include <zip.h>

namespace rulecalc::batch {

// What an XML part of a workbook tells, element by element. Names are local
// names (any namespace prefix left out); attributes come as expat gives
// them, name and value in turns, ending with a null. A handler that finds
// the content unusable sets Problem, and the reading stops there.
class TXmlHandler {
 public:
  virtual ~TXmlHandler() = default;
  virtual void Start(std::string_view name, const char** attributes) = 0;
  virtual void End(std::string_view name) = 0;
  virtual void Text(std::string_view text) = 0;
  std::string Problem;
};

// The value of the attribute with this local name, or null.
const char* AttributeNamed(const char** attributes, std::string_view name);

// A workbook's zip archive, open for reading its parts.
class TZipArchive {
 public:
  // Opens the archive on a copy of descriptor (which the caller keeps);
  // path is for messages. Throws TUsageError when it is no zip archive.
  TZipArchive(int descriptor, const std::string& path);
  ~TZipArchive();
  TZipArchive(const TZipArchive&) = delete;
  TZipArchive& operator=(const TZipArchive&) = delete;

  bool Has(const std::string& part) const;
  // Streams the XML part through handler, at most kMaxPartBytes of it
  // uncompressed. Throws TUsageError naming the part for a part that is
  // missing, broken, too large or not well-formed, or for the handler's
  // problem.
  void Read(const std::string& part, TXmlHandler& handler) const;

  static constexpr std::uint64_t kMaxPartBytes = std::uint64_t{4} << 30;

 private:
  std::string Path;
  zip_t* Archive = nullptr;
};

}  // namespace rulecalc::batch
