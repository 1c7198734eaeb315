#include "batch/xlsx/ZipXml.h"

#include <unistd.h>

#include <cstring>
#include <memory>

#include "batch/Failures.h"

namespace rulecalc::batch {

namespace {

constexpr char kNamespaceSeparator = '|';

std::string_view LocalName(const char* name) {
  const char* separator = std::strrchr(name, kNamespaceSeparator);
  return separator ? std::string_view(separator + 1) : std::string_view(name);
}

// The handlers expat calls; an exception must not cross expat, so a failure
// becomes the handler's problem and stops the parser.
struct SReading {
  TXmlHandler* Handler;
  XML_Parser Parser;
};

template <typename TCall>
void Guarded(void* data, TCall call) {
  auto& reading = *static_cast<SReading*>(data);
  if (!reading.Handler->Problem.empty()) return;
  try {
    call(*reading.Handler);
  } catch (const std::bad_alloc&) {
    reading.Handler->Problem = "out of memory";
  } catch (const std::exception& e) {
    reading.Handler->Problem = e.what();
  }
  if (!reading.Handler->Problem.empty()) XML_StopParser(reading.Parser, XML_FALSE);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  Guarded(data, [&](TXmlHandler& h) { h.Start(LocalName(name), attributes); });
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  Guarded(data, [&](TXmlHandler& h) { h.End(LocalName(name)); });
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  Guarded(data, [&](TXmlHandler& h) { h.Text(std::string_view(text, static_cast<std::size_t>(length))); });
}

struct SParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

struct SZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

const char* AttributeNamed(const char** attributes, std::string_view name) {
  for (const char** at = attributes; at && at[0]; at += 2) {
    if (LocalName(at[0]) == name) return at[1];
  }
  return nullptr;
}

TZipArchive::TZipArchive(int descriptor, const std::string& path) : Path(path) {
  const int copy = dup(descriptor);
  if (copy < 0 || lseek(copy, 0, SEEK_SET) != 0) {
    if (copy >= 0) close(copy);
    throw TReadError("cannot read the workbook '" + path + "'");
  }
  int error = 0;
  Archive = zip_fdopen(copy, ZIP_RDONLY, &error);
  if (!Archive) {
    close(copy);
    zip_error_t reason;
    zip_error_init_with_code(&reason, error);
    const std::string why = zip_error_strerror(&reason);
    zip_error_fini(&reason);
    throw TUsageError("'" + path + "' is no workbook: its zip archive cannot be read (" + why + ")");
  }
}

TZipArchive::~TZipArchive() { zip_discard(Archive); }

bool TZipArchive::Has(const std::string& part) const { return zip_name_locate(Archive, part.c_str(), 0) >= 0; }

void TZipArchive::Read(const std::string& part, TXmlHandler& handler) const {
  const std::string where = "'" + Path + "', part '" + part + "': ";
  std::unique_ptr<zip_file_t, SZipFileClose> file(zip_fopen(Archive, part.c_str(), 0));
  if (!file) throw TUsageError(where + "missing or unreadable (" + zip_strerror(Archive) + ")");
  std::unique_ptr<XML_ParserStruct, SParserFree> parser(XML_ParserCreateNS(nullptr, kNamespaceSeparator));
  if (!parser) throw TMemoryError("reading " + where);
  SReading reading{&handler, parser.get()};
  XML_SetUserData(parser.get(), &reading);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);
  char buffer[1 << 16];
  std::uint64_t total = 0;
  for (bool last = false; !last;) {
    const zip_int64_t read = zip_fread(file.get(), buffer, sizeof buffer);
    if (read < 0) throw TUsageError(where + "broken (" + zip_file_strerror(file.get()) + ")");
    total += static_cast<std::uint64_t>(read);
    if (total > kMaxPartBytes) throw TUsageError(where + "larger than 4 GiB uncompressed");
    last = read == 0;
    if (XML_Parse(parser.get(), buffer, static_cast<int>(read), last) != XML_STATUS_OK) {
      if (!handler.Problem.empty()) throw TUsageError(where + handler.Problem);
      throw TUsageError(where + "not well-formed XML (line " +
                        std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                        XML_ErrorString(XML_GetErrorCode(parser.get())) + ")");
    }
    if (!handler.Problem.empty()) throw TUsageError(where + handler.Problem);
  }
}

}  // namespace rulecalc::batch
