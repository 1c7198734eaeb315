// The pieces of rulecalc._native, each in its own file.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <rulecalc.h>

#include <string>
#include <vector>

namespace rulecalc_python {

namespace py = pybind11;

py::bytes bytes_of(const char *text, size_t length);
py::bytes c_text(const char *text);

// One calculator of the library (a handle), closed by close() or when collected.
class Calculator {
 public:
  Calculator();
  ~Calculator();
  Calculator(const Calculator &) = delete;
  Calculator &operator=(const Calculator &) = delete;

  void close();
  rulecalc_handle *checked() const;
  bool is_open() const { return handle_ != nullptr; }
  std::vector<py::bytes> varnames(const std::string &sentence);
  // Clears, sets the (name, value, type) triples and the sentence, analyses:
  // None when it compiled, else the analyser's message.
  py::object analyse(const std::string &sentence, const py::iterable &variables);
  py::tuple run();
  int run_status();  // without the GIL
  py::bytes runtime_text();
  py::list failed_clauses(const std::string &explanation);
  py::list warnings();
  bool configure(py::object date_order, py::object date_separator, py::object current_year, int language);
  // The slot of the variable at this place of a rule's list, bound on first use after each analysis.
  long slot(size_t place, const char *name, int32_t type);

 private:
  rulecalc_handle *handle_;
  std::vector<long> slots_;
};

// The GBK bytes of each character of the Basic Multilingual Plane, as Python's
// gbk codec gives them (length 0: GBK lacks it); made on first use, with the GIL.
struct GbkCode {
  uint8_t length = 0;
  uint8_t bytes[2] = {0, 0};
};
const std::vector<GbkCode> &gbk_codes();

// A str's characters as Python keeps them (kind: bytes per character); data null: the null.
struct Characters {
  const void *data = nullptr;
  size_t length = 0;
  int kind = PyUnicode_1BYTE_KIND;
  bool ascii = true;

  static Characters of(PyObject *str);
  size_t longest_gbk() const;  // without the NUL
};

// Writes the characters in GBK and a NUL at `into` (room for longest_gbk() + 1);
// the end, or null for a NUL or a character GBK lacks. Needs no GIL.
char *write_gbk(const Characters &text, const std::vector<GbkCode> &codes, char *into);

// The str in GBK; false for a NUL or a character GBK lacks.
bool gbk_of(PyObject *str, std::string &text);

void add_calculator(py::module_ &m);
void add_rows(py::module_ &m);
void add_frames(py::module_ &m);
void add_batch(py::module_ &m);

}  // namespace rulecalc_python
