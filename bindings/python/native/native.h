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

void add_calculator(py::module_ &m);
void add_rows(py::module_ &m);
void add_frames(py::module_ &m);
void add_batch(py::module_ &m);

}  // namespace rulecalc_python
