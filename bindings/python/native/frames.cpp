// A table's rules in one rule set: each column's value set once per row (a
// number as a double, a text from one GBK buffer), every rule run, the
// statuses written into a numpy array and the explanations of the rows that
// did not hold decoded into an array of objects. The rows run without the GIL.
#include "native.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace rulecalc_python {
namespace {

// One column as the library reads it: doubles (NaN: the null) or NUL-ended texts.
struct Column {
  long slot = -1;
  const double *numbers = nullptr;
  const char *buffer = nullptr;
  const int64_t *starts = nullptr;
};

struct RulesCloser {
  void operator()(rulecalc_rules *rules) const { rulecalc_rules_close(rules); }
};
using RuleSet = std::unique_ptr<rulecalc_rules, RulesCloser>;

// A column tuple: (GBK name, type code, float64 numbers or None, uint8 buffer or None, int64 starts or None).
Column bound_column(rulecalc_rules *rules, const py::tuple &described, size_t rows, std::vector<py::object> &kept) {
  Column column;
  column.slot = rulecalc_rules_bind(rules, described[0].cast<std::string>().c_str(), described[1].cast<int32_t>());
  if (column.slot < 0) throw std::bad_alloc();
  if (!described[2].is_none()) {
    auto numbers = described[2].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
    if (static_cast<size_t>(numbers.size()) < rows) throw py::value_error("a column is shorter than the table");
    column.numbers = numbers.data();
    kept.push_back(numbers);
    return column;
  }
  auto buffer = described[3].cast<py::array_t<uint8_t, py::array::c_style>>();
  auto starts = described[4].cast<py::array_t<int64_t, py::array::c_style | py::array::forcecast>>();
  if (static_cast<size_t>(starts.size()) < rows) throw py::value_error("a column is shorter than the table");
  for (py::ssize_t row = 0; row < starts.size(); ++row) {
    if (starts.data()[row] < 0 || starts.data()[row] >= buffer.size()) throw py::value_error("a text lies outside its buffer");
  }
  if (buffer.size() == 0 || buffer.data()[buffer.size() - 1] != 0) throw py::value_error("a text buffer must end with a NUL");
  column.buffer = reinterpret_cast<const char *>(buffer.data());
  column.starts = starts.data();
  kept.push_back(buffer);
  kept.push_back(starts);
  return column;
}

void set_row(rulecalc_rules *rules, const std::vector<Column> &columns, size_t row) {
  for (const Column &column : columns) {
    if (column.numbers && !std::isnan(column.numbers[row])) {
      rulecalc_rules_set_number(rules, column.slot, column.numbers[row]);
    } else if (column.numbers) {
      rulecalc_rules_set_text(rules, column.slot, "", 0);
    } else {
      const char *text = column.buffer + column.starts[row];
      rulecalc_rules_set_text(rules, column.slot, text, std::strlen(text));
    }
  }
}

using Failures = std::vector<std::vector<std::pair<size_t, std::string>>>;

// Every row through every rule; statuses is rules x rows, row after row of each rule.
void run_rows(rulecalc_rules *rules, const std::vector<Column> &columns, size_t rows, size_t rule_count,
              uint8_t *statuses, Failures &failures) {
  std::vector<uint8_t> row_statuses(rule_count);
  for (size_t row = 0; row < rows; ++row) {
    set_row(rules, columns, row);
    if (rulecalc_rules_run(rules, row_statuses.data()) == RULECALC_HELD) {
      for (size_t rule = 0; rule < rule_count; ++rule) statuses[rule * rows + row] = RULECALC_HELD;
      continue;
    }
    for (size_t rule = 0; rule < rule_count; ++rule) {
      statuses[rule * rows + row] = row_statuses[rule];
      if (row_statuses[rule] == RULECALC_HELD) continue;
      size_t length = 0;
      const char *text = rulecalc_rules_text(rules, rule, &length);
      failures[rule].emplace_back(row, std::string(text ? text : "", text ? length : 0));
    }
  }
}

void store_explanations(const Failures &failures, const py::list &explanations) {
  for (size_t rule = 0; rule < failures.size(); ++rule) {
    auto cells = explanations[rule].cast<py::array>();
    auto **objects = static_cast<PyObject **>(cells.mutable_data());
    for (const auto &[row, text] : failures[rule]) {
      PyObject *decoded = PyUnicode_Decode(text.data(), static_cast<py::ssize_t>(text.size()), "gbk", "replace");
      if (!decoded) throw py::error_already_set();
      Py_XDECREF(objects[row]);
      objects[row] = decoded;
    }
  }
}

// rules: (GBK name, GBK sentence) pairs; explanations: one object array of
// rows cells per rule, the cells of rows that did not hold replaced by their text.
void evaluate_table(Calculator &settings, const std::vector<std::pair<std::string, std::string>> &rules,
                    const py::list &columns, size_t rows,
                    py::array_t<uint8_t, py::array::c_style> statuses, const py::list &explanations) {
  RuleSet set(rulecalc_rules_open(settings.checked()));
  if (!set) throw std::bad_alloc();
  if (static_cast<size_t>(statuses.size()) < rules.size() * rows || py::len(explanations) != rules.size())
    throw py::value_error("no room for the statuses or explanations of every rule");
  for (const py::handle &cells : explanations) {
    auto array = cells.cast<py::array>();
    if (array.dtype().kind() != 'O' || static_cast<size_t>(array.size()) < rows || !(array.flags() & py::array::c_style))
      throw py::value_error("an explanation column must be a contiguous object array of every row");
  }
  std::vector<py::object> kept;
  std::vector<Column> bound;
  for (const py::handle &described : columns) bound.push_back(bound_column(set.get(), described.cast<py::tuple>(), rows, kept));
  for (const auto &[name, sentence] : rules) {
    if (rulecalc_rules_add(set.get(), name.c_str(), sentence.c_str()) < 0) throw std::bad_alloc();
  }
  Failures failures(rules.size());
  uint8_t *out = statuses.mutable_data();
  {
    py::gil_scoped_release unlocked;
    run_rows(set.get(), bound, rows, rules.size(), out, failures);
  }
  store_explanations(failures, explanations);
}

bool is_null_cell(PyObject *cell) {
  return cell == Py_None || (PyFloat_Check(cell) && std::isnan(PyFloat_AS_DOUBLE(cell)));
}

// The texts one after the other into buffer (room for the longest they can be),
// the offset of each into starts; the bytes written, or -1 when a text cannot be one.
int64_t write_texts(const std::vector<Characters> &texts, const std::vector<GbkCode> &codes, char *buffer,
                    int64_t *starts) {
  char *into = buffer;
  for (size_t row = 0; row < texts.size(); ++row) {
    starts[row] = into - buffer;
    if (!texts[row].data) {
      *into++ = '\0';
    } else if (!(into = write_gbk(texts[row], codes, into))) {
      return -1;
    }
  }
  return into - buffer;
}

// A column of str and nulls (None, NaN) as one buffer of NUL-ended GBK texts
// and the offset of each, encoded as Python's gbk codec encodes, without the
// GIL; None when a cell is anything else, or a text holds a NUL or a
// character GBK lacks (the caller's conversion then names it).
py::object gbk_texts(py::array objects) {
  if (objects.dtype().kind() != 'O' || objects.ndim() != 1) throw py::value_error("gbk_texts takes an array of objects");
  auto *first = static_cast<PyObject *const *>(objects.data());
  py::ssize_t stride = objects.strides(0) / static_cast<py::ssize_t>(sizeof(PyObject *));
  std::vector<py::object> kept;  // the cells' strs, alive while the GIL is released
  std::vector<Characters> texts(static_cast<size_t>(objects.size()));
  for (size_t row = 0; row < texts.size(); ++row) {
    PyObject *cell = first[static_cast<py::ssize_t>(row) * stride];
    if (!PyUnicode_Check(cell)) {
      if (!is_null_cell(cell)) return py::none();
      continue;
    }
    kept.push_back(py::reinterpret_borrow<py::object>(cell));
    texts[row] = Characters::of(cell);
  }
  const std::vector<GbkCode> &codes = gbk_codes();
  size_t longest = texts.size();  // the NULs; a character is at most two bytes of GBK
  for (const Characters &text : texts) longest += text.longest_gbk();
  py::array_t<uint8_t> buffer(static_cast<py::ssize_t>(std::max<size_t>(longest, 1)));
  py::array_t<int64_t> starts(static_cast<py::ssize_t>(texts.size()));
  char *into = reinterpret_cast<char *>(buffer.mutable_data());
  int64_t *offsets = starts.mutable_data();
  into[0] = '\0';  // the buffer of no texts
  int64_t written;
  {
    py::gil_scoped_release unlocked;
    written = write_texts(texts, codes, into, offsets);
  }
  if (written < 0) return py::none();
  return py::make_tuple(buffer[py::slice(0, std::max<int64_t>(written, 1), 1)], starts);
}

}  // namespace

void add_frames(py::module_ &m) {
  m.def("gbk_texts", &gbk_texts, py::arg("objects"));
  m.def("evaluate_table", &evaluate_table, py::arg("settings"), py::arg("rules"), py::arg("columns"),
        py::arg("rows"), py::arg("statuses"), py::arg("explanations"));
}

}  // namespace rulecalc_python
