// The batch engine's block protocol for Python: one engine handle per object,
// each call returning the engine's status (and its bytes); reading, scanning,
// preparing and evaluating blocks run without the GIL.
#include "native.h"

#include <rulecalc_batch.h>

#include <pybind11/stl.h>

namespace rulecalc_python {
namespace {

using Status = int;

class Engine {
 public:
  explicit Engine(rulecalc_batch *handle) : handle_(handle) {}
  ~Engine() { close(); }
  Engine(const Engine &) = delete;
  Engine &operator=(const Engine &) = delete;

  // A new engine, or one made from a plan; None when the engine refused.
  static std::unique_ptr<Engine> open(const py::object &plan) {
    rulecalc_batch *made = nullptr;
    if (plan.is_none()) {
      made = rulecalc_batch_new();
    } else {
      std::string text = plan.cast<std::string>();
      made = rulecalc_batch_from_plan(text.data(), text.size());
    }
    return made ? std::make_unique<Engine>(made) : nullptr;
  }

  void close() {
    rulecalc_batch_free(handle_);
    handle_ = nullptr;
  }

  rulecalc_batch *checked() const {
    if (!handle_) throw py::value_error("the batch engine was closed");
    return handle_;
  }

  py::bytes message() {
    size_t length = 0;
    const char *text = rulecalc_batch_message(checked(), &length);
    return bytes_of(text, length);
  }

  // A call that gives bytes: (status, bytes), made without the GIL.
  template <typename Call>
  py::tuple with_bytes(Call call) {
    const char *bytes = nullptr;
    size_t length = 0;
    Status status;
    {
      py::gil_scoped_release unlocked;
      status = call(&bytes, &length);
    }
    return py::make_tuple(status, bytes_of(bytes, length));
  }

  template <typename Call>
  Status unlocked(Call call) {
    py::gil_scoped_release released;
    return call();
  }

  py::list rules() {
    py::list found;
    for (size_t index = 0, count = rulecalc_batch_rule_count(checked()); index < count; ++index) {
      const char *id = nullptr, *description = nullptr, *sentence = nullptr;
      size_t line = 0;
      rulecalc_batch_rule(handle_, index, &id, &description, &sentence, &line);
      found.append(py::make_tuple(c_text(id), c_text(description), c_text(sentence), line));
    }
    return found;
  }

  py::list files() {
    py::list found;
    for (size_t index = 0, count = rulecalc_batch_file_count(checked()); index < count; ++index) {
      const char *path = nullptr, *encoding = nullptr;
      uint64_t start = 0, size = 0;
      rulecalc_batch_file(handle_, index, &path, &encoding, &start, &size);
      found.append(py::make_tuple(c_text(path), c_text(encoding), start, size));
    }
    return found;
  }

  py::list columns() {
    py::list found;
    for (size_t index = 0, count = rulecalc_batch_column_count(checked()); index < count; ++index) {
      const char *name = nullptr, *date = nullptr;
      int type = 0, declared = 0;
      rulecalc_batch_column(handle_, index, &name, &type, &declared, &date);
      found.append(py::make_tuple(c_text(name), type, declared != 0, c_text(date)));
    }
    return found;
  }

  Status fold_scans(const std::vector<std::string> &scans) {
    std::vector<const char *> texts;
    std::vector<size_t> lengths;
    for (const std::string &scan : scans) {
      texts.push_back(scan.data());
      lengths.push_back(scan.size());
    }
    rulecalc_batch *batch = checked();
    return unlocked([&] { return rulecalc_batch_fold_scans(batch, scans.size(), texts.data(), lengths.data()); });
  }

  py::list diagnostics() {
    py::list found;
    for (size_t index = 0, count = rulecalc_batch_diagnostic_count(checked()); index < count; ++index) {
      size_t length = 0;
      const char *text = rulecalc_batch_diagnostic(handle_, index, &length);
      found.append(bytes_of(text, length));
    }
    rulecalc_batch_clear_diagnostics(handle_);
    return found;
  }

 private:
  rulecalc_batch *handle_;
};

// The engine calls that give bytes and take nothing else.
using BytesCall = rulecalc_batch_status (*)(rulecalc_batch *, const char **, size_t *);

void add_bytes_call(py::class_<Engine> &engine, const char *name, BytesCall call) {
  engine.def(name, [call](Engine &self) {
    rulecalc_batch *batch = self.checked();
    return self.with_bytes([&](const char **bytes, size_t *length) { return call(batch, bytes, length); });
  });
}

// The calls that take one text (a block or a part) and give bytes.
using PartCall = rulecalc_batch_status (*)(rulecalc_batch *, const char *, size_t, const char **, size_t *);

void add_part_call(py::class_<Engine> &engine, const char *name, PartCall call) {
  engine.def(name, [call](Engine &self, const std::string &part) {
    rulecalc_batch *batch = self.checked();
    return self.with_bytes(
        [&](const char **bytes, size_t *length) { return call(batch, part.data(), part.size(), bytes, length); });
  });
}

}  // namespace

void add_batch(py::module_ &m) {
  py::class_<Engine> engine(m, "Engine");
  engine.def_static("open", &Engine::open, py::arg("plan") = py::none())
      .def("close", &Engine::close)
      .def("message", &Engine::message)
      .def("set_option", [](Engine &self, const std::string &name, const std::string &value) {
        return static_cast<Status>(rulecalc_batch_set_option(self.checked(), name.c_str(), value.c_str()));
      })
      .def("read_rules", [](Engine &self, const std::string &path) {
        rulecalc_batch *batch = self.checked();
        return self.unlocked([&] { return static_cast<Status>(rulecalc_batch_read_rules(batch, path.c_str())); });
      })
      .def("read_rules_text", [](Engine &self, const std::string &text, const std::string &path) {
        rulecalc_batch *batch = self.checked();
        return self.unlocked([&] {
          return static_cast<Status>(rulecalc_batch_read_rules_text(batch, text.data(), text.size(), path.c_str()));
        });
      })
      .def("rules", &Engine::rules)
      .def("rules_date_order", [](Engine &self) { return c_text(rulecalc_batch_rules_date_order(self.checked())); })
      .def("rules_date_separator",
           [](Engine &self) { return c_text(rulecalc_batch_rules_date_separator(self.checked())); })
      .def("rules_language", [](Engine &self) { return c_text(rulecalc_batch_rules_language(self.checked())); })
      .def("add_data", [](Engine &self, const std::string &path) {
        rulecalc_batch *batch = self.checked();
        return self.unlocked([&] { return static_cast<Status>(rulecalc_batch_add_data(batch, path.c_str())); });
      })
      .def("files", &Engine::files)
      .def("columns", &Engine::columns)
      .def("scan", [](Engine &self, size_t file, uint64_t start, uint64_t stop) {
        rulecalc_batch *batch = self.checked();
        return self.with_bytes([&](const char **bytes, size_t *length) {
          return rulecalc_batch_scan(batch, file, start, stop, bytes, length);
        });
      })
      .def("fold_scans", &Engine::fold_scans)
      .def("prepare", [](Engine &self) {
        rulecalc_batch *batch = self.checked();
        return self.unlocked([&] { return static_cast<Status>(rulecalc_batch_prepare(batch)); });
      })
      .def("block_count", [](Engine &self) { return rulecalc_batch_block_count(self.checked()); })
      .def("block", [](Engine &self, size_t index) {
        rulecalc_batch *batch = self.checked();
        return self.with_bytes(
            [&](const char **bytes, size_t *length) { return rulecalc_batch_block(batch, index, bytes, length); });
      })
      .def("diagnostics", &Engine::diagnostics)
      .def("summary_text", [](Engine &self) {
        size_t length = 0;
        const char *text = rulecalc_batch_summary_text(self.checked(), &length);
        return bytes_of(text, length);
      })
      .def("exit_status", [](Engine &self) { return rulecalc_batch_exit_status(self.checked()); });
  add_bytes_call(engine, "plan", rulecalc_batch_plan);
  add_bytes_call(engine, "heading", rulecalc_batch_heading);
  add_bytes_call(engine, "finish", rulecalc_batch_finish);
  add_bytes_call(engine, "failed_rows_heading", rulecalc_batch_failed_rows_heading);
  add_bytes_call(engine, "failed_rows_taken", rulecalc_batch_failed_rows_taken);
  add_bytes_call(engine, "notes", rulecalc_batch_notes);
  add_part_call(engine, "evaluate", rulecalc_batch_evaluate);
  add_part_call(engine, "take", rulecalc_batch_take);
}

}  // namespace rulecalc_python
