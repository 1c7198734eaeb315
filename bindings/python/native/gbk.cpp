// GBK texts of Python strs, byte for byte as Python's gbk codec gives them,
// from a table of the codec's code for each character, so that a text
// converts without calling the codec and without the GIL.
#include "native.h"

#include <cstring>

namespace rulecalc_python {

const std::vector<GbkCode> &gbk_codes() {
  static std::vector<GbkCode> codes;
  if (!codes.empty()) return codes;
  std::vector<GbkCode> made(0x10000);
  for (Py_UCS4 code = 1; code < 0x10000; ++code) {
    PyObject *character = PyUnicode_FromOrdinal(static_cast<int>(code));
    PyObject *encoded = character ? PyUnicode_AsEncodedString(character, "gbk", "strict") : nullptr;
    if (encoded && PyBytes_GET_SIZE(encoded) <= 2) {
      made[code].length = static_cast<uint8_t>(PyBytes_GET_SIZE(encoded));
      std::memcpy(made[code].bytes, PyBytes_AS_STRING(encoded), made[code].length);
    }
    PyErr_Clear();
    Py_XDECREF(encoded);
    Py_XDECREF(character);
  }
  codes.swap(made);
  return codes;
}

char *write_gbk(const Characters &text, const std::vector<GbkCode> &codes, char *into) {
  if (text.ascii) {
    const char *bytes = static_cast<const char *>(text.data);
    if (text.length && std::memchr(bytes, 0, text.length)) return nullptr;
    if (text.length) std::memcpy(into, bytes, text.length);
    into += text.length;
  } else {
    for (size_t at = 0; at < text.length; ++at) {
      Py_UCS4 code = PyUnicode_READ(text.kind, text.data, at);
      if (code >= 0x10000 || codes[code].length == 0) return nullptr;
      for (uint8_t byte = 0; byte < codes[code].length; ++byte) *into++ = static_cast<char>(codes[code].bytes[byte]);
    }
  }
  *into++ = '\0';
  return into;
}

Characters Characters::of(PyObject *str) {
  return {PyUnicode_DATA(str), static_cast<size_t>(PyUnicode_GET_LENGTH(str)), PyUnicode_KIND(str),
          PyUnicode_IS_ASCII(str) != 0};
}

size_t Characters::longest_gbk() const { return ascii ? length : 2 * length; }

bool gbk_of(PyObject *str, std::string &text) {
  Characters characters = Characters::of(str);
  text.resize(characters.longest_gbk() + 1);
  char *end = write_gbk(characters, gbk_codes(), &text[0]);
  if (!end) return false;
  text.resize(static_cast<size_t>(end - &text[0]) - 1);
  return true;
}

}  // namespace rulecalc_python
