#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchPlan.h"
#include "boundary/RuleCalc.h"
#include "batch/calc/Evaluation.h"

namespace rulecalc::batch {

// Evaluates the plan's rules on rows, for one worker thread. Each rule has a
// calculator, made and analysed when the rule first gets a row and shared
// with every rule of the same sentence. The calculators read one variable
// table: per row each column a rule names is set once, through the slot its
// variable got on first use, however many rules name it, and each rule's
// compiled code runs again, with the run-time state of a fresh calculator
// and the rule's explanations kept from earlier runs. With FreshCalculators the
// same verdicts come the long way: one calculator, cleared, given every
// column, the sentence and a new analysis for every row and rule. Every
// calculator takes notes, so each verdict says where its run fell back.
class TRuleCalculators {
 public:
  explicit TRuleCalculators(const SBatchPlan& plan);

  // The verdict of rule (which analysed) on the row's GBK values, one per
  // column. Throws std::bad_alloc when memory runs out.
  // Every call until the next StartRow must give the same values.
  SEvaluation Evaluate(std::size_t rule, const std::vector<std::string>& gbkValues);
  // The next calls of Evaluate are about another row.
  void StartRow() { ++Row; }

 private:
  SEvaluation Rerun(std::size_t rule, const std::vector<std::string>& gbkValues);
  TRuleCalc& Analysed(std::size_t rule);
  void SetColumn(std::size_t column, const std::string& gbkValue);

  const SBatchPlan& Plan;
  std::vector<SVariable> Variables;                      // every column, with FreshCalculators
  TVarTable RowVariables;                                // the table every calculator below reads
  std::vector<std::unique_ptr<TRuleCalc>> PerSentence;   // by the plan's RuleSentence; null until needed
  std::vector<long> ColumnSlots;                         // by column; -1 until bound in RowVariables
  std::vector<std::uint64_t> ColumnRows;                 // by column: the row its value was set for
  std::uint64_t Row = 1;
  std::unique_ptr<TRuleCalc> Shared;                     // with FreshCalculators
};

// Analyses rule once against the columns' types (every value empty) on calc.
SEvaluation AnalyseRule(TRuleCalc& calc, const SRule& rule, const std::vector<SVariable>& variables);

// Every column as a variable with an empty value and the column's type.
std::vector<SVariable> EmptyVariables(const std::vector<SColumn>& columns);

// Throws std::bad_alloc when memory ran out inside calc, so that no answer
// the library gave on short memory becomes a verdict.
void RequireMemory(const TRuleCalc& calc);

}  // namespace rulecalc::batch
