// A Rule's rows: each value converted here (numbers as doubles, texts as GBK),
// the calculator analysed for the row's types found, the values set through
// slots and the code run without the GIL.
#include "native.h"

#include <datetime.h>

#include <cmath>
#include <cstring>
#include <map>
#include <optional>

namespace rulecalc_python {
namespace {

constexpr int kNumber = RULECALC_NUMBER;
constexpr int kText = RULECALC_TEXT;
constexpr int kAbsent = -1;

// One variable's value as the library takes it.
struct Value {
  int kind = kNumber;
  bool is_number = false;  // number holds it; else text (empty: the null)
  double number = 0;
  std::string text;
};

bool module_is(const py::handle &value, const char *name) {
  py::object module = py::type::handle_of(value).attr("__module__");
  return PyUnicode_Check(module.ptr()) && module.cast<std::string>() == name;
}

// Days since 30 December 1899, the time of day as the fraction (a time zone ignored).
double day_number(PyObject *date) {
  py::object ordinal = py::reinterpret_borrow<py::object>(date).attr("toordinal")();
  long long days = ordinal.cast<long long>() - 693594;  // the ordinal of 30 December 1899
  if (!PyDateTime_Check(date)) return static_cast<double>(days);
  long long micros = ((PyDateTime_DATE_GET_HOUR(date) * 60LL + PyDateTime_DATE_GET_MINUTE(date)) * 60 +
                      PyDateTime_DATE_GET_SECOND(date)) * 1000000LL + PyDateTime_DATE_GET_MICROSECOND(date);
  long double total = static_cast<long double>(days) * 86400000000.0L + micros;
  return static_cast<double>(total / 86400000000.0L);
}

bool finite_number(PyObject *number, Value &value) {
  double got = PyFloat_AsDouble(number);
  if (got == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  value.is_number = std::isfinite(got);
  value.number = got;
  return value.is_number;
}

// The values a number variable takes here; false for the rest (Python's conversion names their faults).
bool quick_number(PyObject *object, Value &value) {
  if (PyBool_Check(object)) {
    value.is_number = true;
    value.number = object == Py_True ? 1 : 0;
    return true;
  }
  if (PyLong_CheckExact(object)) {
    double got = PyLong_AsDouble(object);
    if (got == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      return false;
    }
    value.is_number = true;
    value.number = got;
    return true;
  }
  if (PyFloat_CheckExact(object)) return finite_number(object, value);
  if (PyDate_CheckExact(object) || PyDateTime_CheckExact(object)) {
    value.is_number = true;
    value.number = day_number(object);
    return std::isfinite(value.number);
  }
  if (module_is(object, "decimal")) return finite_number(object, value);
  return false;
}

bool quick_text(PyObject *object, Value &value) {
  return PyUnicode_CheckExact(object) && gbk_of(object, value.text);
}

// The types converted without asking what module they come from.
bool is_plain(PyObject *object) {
  return object == Py_None || PyBool_Check(object) || PyLong_CheckExact(object) || PyFloat_CheckExact(object) ||
         PyUnicode_CheckExact(object) || PyDate_CheckExact(object) || PyDateTime_CheckExact(object);
}

}  // namespace

// Results a Rule keeps by their status and text: a rule's runs repeat a few explanations.
constexpr size_t kMostKeptResults = 256;

// The rows of one Rule: its variables (names and GBK names), the declared
// types (-1: by the value), Python's conversion for the values not converted
// here, the Rule's analysis for a combination of types, and the Result of a
// run that held and of the others (result_of(status, text, clauses)).
class RowRunner {
 public:
  RowRunner(std::vector<py::object> names, std::vector<std::string> names_gbk, std::vector<int> declared,
            py::object convert, py::object folded_key, py::object analysed_for, py::object held, py::object result_of)
      : names_(std::move(names)), names_gbk_(std::move(names_gbk)), declared_(std::move(declared)),
        convert_(std::move(convert)), folded_key_(std::move(folded_key)), analysed_for_(std::move(analysed_for)),
        held_(std::move(held)), result_of_(std::move(result_of)) {}

  py::list run(const py::iterable &rows) {
    py::list results;
    size_t index = 0;
    for (const py::handle &row : rows) results.append(result(py::reinterpret_borrow<py::object>(row), index++));
    return results;
  }

  py::object result(const py::object &row, size_t index) {
    Calculator &calculator = prepared(row, index);
    int status = calculator.run_status();
    if (status == RULECALC_HELD) return held_;
    size_t length = 0;
    const char *text = rulecalc_runtime_error(calculator.checked(), &length);
    std::pair<int, std::string> key(status, std::string(text ? text : "", text ? length : 0));
    auto known = results_.find(key);
    if (known != results_.end()) return known->second;
    py::bytes explanation(key.second);
    py::list clauses = status == RULECALC_FAILED ? calculator.failed_clauses(key.second) : py::list();
    py::object made = result_of_(status, explanation, clauses);
    if (results_.size() >= kMostKeptResults) results_.clear();
    results_.emplace(std::move(key), made);
    return made;
  }

  void forget() {
    analysed_.clear();
    results_.clear();
  }

 private:
  // The calculator analysed for the row's types, its variables set to the row's values.
  Calculator &prepared(const py::object &row, size_t index) {
    std::vector<int> signature(names_.size(), kAbsent);
    for (size_t place = 0; place < names_.size(); ++place) {
      std::optional<py::object> found = lookup(row, place);
      if (found) convert(place, *found, values_[place], signature[place]);
    }
    Calculator &calculator = analysed(index, signature);
    set_values(calculator, signature);
    return calculator;
  }

  std::optional<py::object> lookup(const py::object &row, size_t place) {
    PyObject *name = names_[place].ptr();
    if (PyDict_Check(row.ptr())) {
      PyObject *value = PyDict_GetItemWithError(row.ptr(), name);
      if (value) return py::reinterpret_borrow<py::object>(value);
      if (PyErr_Occurred()) throw py::error_already_set();
      if (PyDict_GET_SIZE(row.ptr()) == 0) return std::nullopt;
    } else if (row.contains(names_[place])) {
      return row[names_[place]];
    }
    py::object key = folded_key_(row, names_[place]);
    if (key.is_none()) return std::nullopt;
    return row[key];
  }

  void convert(size_t place, py::object object, Value &value, int &kind) {
    if (!is_plain(object.ptr()) && module_is(object, "numpy")) object = py::module_::import("rulecalc.values").attr("python_value")(object);
    PyObject *raw = object.ptr();
    kind = declared_[place] >= 0 ? declared_[place] : (PyUnicode_Check(raw) ? kText : kNumber);
    value.kind = kind;
    value.is_number = false;
    value.text.clear();
    if (raw == Py_None) return;
    if (kind == kNumber ? quick_number(raw, value) : quick_text(raw, value)) return;
    py::object declared = declared_[place] >= 0 ? py::cast(declared_[place]) : py::none();
    py::tuple converted = convert_(names_[place], object, declared);
    value.is_number = false;
    value.text = converted[0].cast<std::string>();
  }

  Calculator &analysed(size_t index, const std::vector<int> &signature) {
    auto known = analysed_.find(signature);
    if (known != analysed_.end() && known->second.cast<Calculator &>().is_open()) {
      return known->second.cast<Calculator &>();
    }
    py::list triples;
    for (size_t place = 0; place < signature.size(); ++place) {
      if (signature[place] != kAbsent)
        triples.append(py::make_tuple(py::bytes(names_gbk_[place]), py::bytes("", 0), signature[place]));
    }
    py::object calculator = analysed_for_(index, py::tuple(triples));
    analysed_[signature] = calculator;
    return calculator.cast<Calculator &>();
  }

  void set_values(Calculator &calculator, const std::vector<int> &signature) {
    rulecalc_handle *calc = calculator.checked();
    for (size_t place = 0; place < signature.size(); ++place) {
      if (signature[place] == kAbsent) continue;
      long slot = calculator.slot(place, names_gbk_[place].c_str(), signature[place]);
      const Value &value = values_[place];
      if (value.is_number) {
        rulecalc_set_number(calc, slot, value.number);
      } else {
        rulecalc_set_text(calc, slot, value.text.data(), value.text.size());
      }
    }
  }

  std::vector<py::object> names_;
  std::vector<std::string> names_gbk_;
  std::vector<int> declared_;
  py::object convert_, folded_key_, analysed_for_, held_, result_of_;
  std::map<std::vector<int>, py::object> analysed_;
  std::map<std::pair<int, std::string>, py::object> results_;
  std::vector<Value> values_ = std::vector<Value>(names_.size());
};

void add_rows(py::module_ &m) {
  PyDateTime_IMPORT;
  py::class_<RowRunner>(m, "RowRunner")
      .def(py::init<std::vector<py::object>, std::vector<std::string>, std::vector<int>, py::object, py::object,
                    py::object, py::object, py::object>())
      .def("run", &RowRunner::run, py::arg("rows"))
      .def("result", &RowRunner::result, py::arg("row"), py::arg("index") = 0)
      .def("forget", &RowRunner::forget);
}

}  // namespace rulecalc_python
