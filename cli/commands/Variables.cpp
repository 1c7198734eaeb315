#include "commands/Variables.h"

#include "boundary/RuleCalc.h"
#include "calc/Assignment.h"
#include "calc/ValueKind.h"

namespace rulecalc::cli {

std::vector<SVariable> VariablesFromArguments(const std::vector<std::string>& arguments, TTextCodec& codec,
                                              char decimalSeparator) {
  std::vector<SVariable> variables;
  for (const std::string& argument : arguments) {
    const SAssignment assignment = ParseAssignment(argument);
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
