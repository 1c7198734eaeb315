#include "native.h"

PYBIND11_MODULE(_native, m) {
  m.doc() = "The rulecalc library for the rulecalc package: calculators, rule sets and the batch engine.";
  rulecalc_python::add_calculator(m);
  rulecalc_python::add_rows(m);
  rulecalc_python::add_frames(m);
  rulecalc_python::add_batch(m);
}
