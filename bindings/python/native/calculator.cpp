// rulecalc._native: the calculator, the rule sets and the batch engine for
// Python. Every call that can take time (analysis, runs, table runs, batch
// blocks) runs without the GIL and touches no Python object meanwhile.
#include "native.h"

#include <rulecalc.h>

#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace rulecalc_python {

py::bytes bytes_of(const char *text, size_t length) {
  return text ? py::bytes(text, length) : py::bytes("", 0);
}

py::bytes c_text(const char *text) { return text ? py::bytes(text) : py::bytes("", 0); }

namespace {

// The ten flat exports over the library's one global calculator, by their own names.
void add_flat_exports(py::module_ &m) {
  m.def("SetSentence", [](const py::bytes &sentence) { SetSentence(std::string(sentence).c_str()); });
  m.def("GetTokens", [] { return c_text(GetTokens()); });
  m.def("GetNumbers", [] { return c_text(GetNumbers()); });
  m.def("GetVarnames", [] { return c_text(GetVarnames()); });
  m.def("ClearMemory", [] { ClearMemory(); });
  m.def("SetVarValue", [](const py::bytes &name, const py::bytes &value, int32_t type) {
    SetVarValue(std::string(name).c_str(), std::string(value).c_str(), type);
  });
  m.def("Analyse", [] {
    py::gil_scoped_release unlocked;
    return Analyse();
  });
  m.def("GetAnalyseError", [] { return c_text(GetAnalyseError()); });
  m.def("Run", [] {
    py::gil_scoped_release unlocked;
    return Run();
  });
  m.def("GetRuntimeError", [] { return c_text(GetRuntimeError()); });
}

}  // namespace

Calculator::Calculator() : handle_(rulecalc_open()) {
  if (!handle_) throw std::bad_alloc();
}

Calculator::~Calculator() { close(); }

void Calculator::close() {
  rulecalc_close(handle_);
  handle_ = nullptr;
}

rulecalc_handle *Calculator::checked() const {
  if (!handle_) throw py::value_error("the calculator was closed");
  return handle_;
}

std::vector<py::bytes> Calculator::varnames(const std::string &sentence) {
  rulecalc_handle *calc = checked();
  rulecalc_set_sentence(calc, sentence.c_str());
  size_t length = 0;
  const char *listing = rulecalc_varnames(calc, &length);
  std::vector<py::bytes> names;
  std::string listed(listing ? listing : "", listing ? length : 0);
  for (size_t start = 0; start < listed.size();) {
    size_t end = listed.find(';', start);
    if (end == std::string::npos) end = length;
    names.push_back(py::bytes(listed.substr(start, end - start)));
    start = end + 1;
  }
  return names;
}

py::object Calculator::analyse(const std::string &sentence, const py::iterable &variables) {
  rulecalc_handle *calc = checked();
  rulecalc_clear(calc);
  for (const py::handle &triple : variables) {
    auto items = triple.cast<py::tuple>();
    rulecalc_set_variable(calc, items[0].cast<std::string>().c_str(), items[1].cast<std::string>().c_str(),
                          items[2].cast<int32_t>());
  }
  rulecalc_set_sentence(calc, sentence.c_str());
  int compiled;
  {
    py::gil_scoped_release unlocked;
    compiled = rulecalc_analyse(calc);
  }
  slots_.clear();
  if (compiled) return py::none();
  size_t length = 0;
  const char *message = rulecalc_analyse_error(calc, &length);
  return bytes_of(message, length);
}

int Calculator::run_status() {
  rulecalc_handle *calc = checked();
  py::gil_scoped_release unlocked;
  return rulecalc_run(calc);
}

py::bytes Calculator::runtime_text() {
  size_t length = 0;
  const char *text = rulecalc_runtime_error(checked(), &length);
  return bytes_of(text, length);
}

py::tuple Calculator::run() {
  int status = run_status();
  return py::make_tuple(status, status == RULECALC_HELD ? py::bytes("", 0) : runtime_text());
}

py::list Calculator::failed_clauses(const std::string &explanation) {
  rulecalc_handle *calc = checked();
  py::list found;
  size_t count = rulecalc_failed_clause_count(calc);
  for (size_t index = 0; index < count; ++index) {
    size_t text_start, text_length, names_start, names_length;
    if (rulecalc_failed_clause(calc, index, &text_start, &text_length, &names_start, &names_length) != 0) break;
    py::list names;
    std::string listed = explanation.substr(names_start, names_length);
    for (size_t start = 0; !listed.empty() && start <= listed.size();) {
      size_t end = listed.find(',', start);
      if (end == std::string::npos) end = listed.size();
      names.append(py::bytes(listed.substr(start, end - start)));
      start = end + 1;
    }
    found.append(py::make_tuple(py::bytes(explanation.substr(text_start, text_length)), names));
  }
  return found;
}

py::list Calculator::warnings() {
  rulecalc_handle *calc = checked();
  py::list found;
  size_t count = rulecalc_warning_count(calc);
  for (size_t index = 0; index < count; ++index) {
    int32_t position = 0;
    size_t length = 0;
    const char *message = rulecalc_warning(calc, index, &position, &length);
    found.append(py::make_tuple(bytes_of(message, length), position));
  }
  return found;
}

bool Calculator::configure(py::object date_order, py::object date_separator, py::object current_year,
                           int language) {
  rulecalc_handle *calc = checked();
  bool accepted = rulecalc_set_language(calc, language) == 0;
  if (!date_order.is_none())
    accepted &= rulecalc_set_date_order(calc, static_cast<rulecalc_date_order>(date_order.cast<int>())) == 0;
  if (!date_separator.is_none()) {
    std::string separator = date_separator.cast<std::string>();
    accepted &= separator.size() == 1 && rulecalc_set_date_separator(calc, separator[0]) == 0;
  }
  if (!current_year.is_none()) accepted &= rulecalc_set_current_year(calc, current_year.cast<int>()) == 0;
  return accepted;
}

long Calculator::slot(size_t place, const char *name, int32_t type) {
  if (place >= slots_.size()) slots_.resize(place + 1, -1);
  if (slots_[place] < 0) slots_[place] = rulecalc_bind_variable(checked(), name, type);
  return slots_[place];
}

void add_calculator(py::module_ &m) {
  add_flat_exports(m);
  m.def("version", [] { return std::string(rulecalc_version()); });
  py::class_<Calculator>(m, "Calculator")
      .def(py::init<>())
      .def("close", &Calculator::close)
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Calculator &self, const py::args &) { self.close(); })
      .def("checked", [](Calculator &self) { self.checked(); })
      .def("varnames", &Calculator::varnames)
      .def("analyse", &Calculator::analyse)
      .def("run", &Calculator::run)
      .def("failed_clauses", &Calculator::failed_clauses)
      .def("warnings", &Calculator::warnings)
      .def("configure", &Calculator::configure)
      .def("set_variable", [](Calculator &self, const std::string &name, const std::string &value, int32_t type) {
        rulecalc_set_variable(self.checked(), name.c_str(), value.c_str(), type);
      });
}

}  // namespace rulecalc_python
