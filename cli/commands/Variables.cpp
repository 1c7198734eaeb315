#include "commands/Variables.h"

#include <new>

#include "Assignment.h"
#include "Failures.h"
#include "commands/BatchArguments.h"

namespace rulecalc::cli {

namespace {

// The library compares names with a-z folded to capitals, nothing else.
std::string FoldedName(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

// The library keeps one variable per name, ASCII letter case ignored, and the
// last value would win silently: two assignments to one name are a mistake.
void RefuseRepeatedNames(const std::vector<SAssignment>& assignments) {
  for (std::size_t i = 0; i < assignments.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const std::string& first = assignments[j].Name.Name;
      const std::string& second = assignments[i].Name.Name;
      if (FoldedName(first) != FoldedName(second)) continue;
      throw TUsageError("the variable " + first + " is given twice (" + first + "=" + assignments[j].Value + " and " +
                        second + "=" + assignments[i].Value + "); names differing only in letter case are the same");
    }
  }
}

ValueType InferredType(const std::string& gbkValue, const Calculator& calc) {
  double number = 0;
  return gbkValue.empty() || calc.read_number(gbkValue, number) ? ValueType::Number : ValueType::Text;
}

void RequireMemory(const Calculator& calc) {
  if (calc.memory_ran_out()) throw std::bad_alloc();
}

// Clears the calculator (so no explanation carries over), sets the variables,
// analyses and runs with notes.
SSentenceOutcome Evaluate(Calculator& calc, const std::string& gbkSentence, const std::vector<SArgumentVariable>& variables,
                          EMHowFar step) {
  calc.clear();
  for (const SArgumentVariable& variable : variables) calc.set_variable(variable.Name, variable.Value, variable.Type);
  calc.set_sentence(gbkSentence);
  AnalyseResult analysis = calc.analyse();
  RequireMemory(calc);
  if (!analysis.compiled) return SSentenceOutcome{EMVerdict::AnalysisError, analysis.error, calc.analysis_stop(), {}, {}};
  calc.set_notes(true);
  RunResult run = calc.run();
  RequireMemory(calc);
  if (step == EMHowFar::AnalyseOnly)
    return SSentenceOutcome{EMVerdict::Held, {}, {}, std::move(analysis.warnings), calc.notes()};
  switch (run.status) {
    case Status::Held:
      return SSentenceOutcome{EMVerdict::Held, {}, {}, std::move(analysis.warnings), calc.notes()};
    case Status::Failed:
      return SSentenceOutcome{EMVerdict::Failed, std::move(run.explanation), {}, std::move(analysis.warnings), calc.notes()};
    case Status::RuntimeError:
      break;
  }
  return SSentenceOutcome{EMVerdict::RunError, std::move(run.error), {}, std::move(analysis.warnings), calc.notes()};
}

}  // namespace

std::vector<SArgumentVariable> VariablesFromArguments(const std::vector<std::string>& arguments, TOutsideText& texts,
                                              const Calculator& calc) {
  std::vector<SAssignment> assignments;
  for (const std::string& argument : arguments) assignments.push_back(ParseAssignment(argument, texts));
  RefuseRepeatedNames(assignments);
  std::vector<SArgumentVariable> variables;
  for (const SAssignment& assignment : assignments) {
    SArgumentVariable variable;
    variable.Name = texts.ToGbk(assignment.Name.Name, "the name '" + assignment.Name.Name + "'");
    variable.Value = texts.ToGbk(assignment.Value, "the value of " + assignment.Name.Name);
    variable.Type = assignment.Name.Typed ? assignment.Name.Type : InferredType(variable.Value, calc);
    variables.push_back(std::move(variable));
  }
  return variables;
}

namespace {

DateOrder DateOrderNamed(const std::string& order) {
  if (order == "ymd") return DateOrder::YearMonthDay;
  if (order == "dmy") return DateOrder::DayMonthYear;
  return DateOrder::MonthDayYear;
}

// The date order and separator the arguments give, over the locale's.
void SetDateReading(Calculator& calc, const SSentenceArguments& arguments) {
  RequireMemory(calc);
  if (!arguments.DateOrder.empty()) calc.set_date_order(DateOrderNamed(arguments.DateOrder));
  if (!arguments.DateSeparator.empty() && !calc.set_date_separator(arguments.DateSeparator[0])) {
    throw TUsageError("--date-separator '" + arguments.DateSeparator +
                      "': a separator is a printable character that is no letter, digit or blank");
  }
}

}  // namespace

SArgumentsEvaluation EvaluateArguments(const SSentenceArguments& arguments, TOutsideText& texts, EMHowFar step) {
  SArgumentsEvaluation result;
  result.GbkSentence = texts.ToGbk(arguments.Sentence, "the sentence");
  Calculator calc;
  calc.set_language(LanguageNamed(arguments.Language));
  SetDateReading(calc, arguments);
  const std::vector<SArgumentVariable> variables = VariablesFromArguments(arguments.Assignments, texts, calc);
  result.Outcome = Evaluate(calc, result.GbkSentence, variables, step);
  return result;
}

}  // namespace rulecalc::cli
