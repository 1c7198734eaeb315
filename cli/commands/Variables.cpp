#include "commands/Variables.h"

#include "batch/Failures.h"
#include "batch/Columns.h"
#include "boundary/RuleCalc.h"
#include "batch/calc/Assignment.h"
#include "batch/calc/ValueKind.h"

namespace rulecalc::cli {

namespace {

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

}  // namespace

std::vector<SVariable> VariablesFromArguments(const std::vector<std::string>& arguments, TTextCodec& codec,
                                              char decimalSeparator) {
  std::vector<SAssignment> assignments;
  for (const std::string& argument : arguments) assignments.push_back(ParseAssignment(argument));
  RefuseRepeatedNames(assignments);
  std::vector<SVariable> variables;
  for (const SAssignment& assignment : assignments) {
    SVariable variable;
    variable.Name = codec.ToGbk(assignment.Name.Name, "the name '" + assignment.Name.Name + "'");
    variable.Value = codec.ToGbk(assignment.Value, "the value of " + assignment.Name.Name);
    variable.Type = assignment.Name.Type.value_or(InferValueType(variable.Value, decimalSeparator));
    variables.push_back(std::move(variable));
  }
  return variables;
}

SArgumentsEvaluation EvaluateArguments(const SSentenceArguments& arguments, TTextCodec& codec, EMStep step) {
  SArgumentsEvaluation result;
  result.GbkSentence = codec.ToGbk(arguments.Sentence, "the sentence");
  TRuleCalc calc;
  const std::vector<SVariable> variables =
      VariablesFromArguments(arguments.Assignments, codec, calc.Environment.Settings.DecimalSeparator);
  result.Evaluation = Evaluate(calc, result.GbkSentence, variables, step);
  return result;
}

}  // namespace rulecalc::cli
