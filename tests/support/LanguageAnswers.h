#pragma once

// One rule put through a calculator with every answer its language could
// change written down: the listings, each analysis (result, error, where it
// stopped, the code list record by record, the warnings) and each run
// (status, run-time text, failed clauses). A classic and an extended
// calculator must write the same account of every sentence that names none
// of the extended language's keywords. Header-only and free of GoogleTest:
// the fuzz targets use it too.

#include <cstddef>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "lexer/ExtendedKeywords.h"
#include "support/RuleAnswers.h"

namespace rulecalc::testing {

// True when a variable name of the sentence, as the classic language reads
// it, spells a keyword of the extended language (in any letter case).
inline bool NamesExtendedKeyword(const std::string& sentence) {
  TTokenAnalyser tokeniser;
  tokeniser.SetSentence(sentence.c_str());
  for (tokeniser.NextToken(); tokeniser.WordType != wtEnd; tokeniser.NextToken())
    if (tokeniser.WordType == wtFieldName && ExtendedKeywordKind(tokeniser.Word) != wtFieldName) return true;
  return false;
}

struct SLanguageAccount {
  bool Analysed = false;           // the first analysis compiled a statement
  std::size_t FirstStatementEnd = 0;  // then: the byte after its last token
  std::string Text;                // everything, readable enough for a failure message
  std::string FirstError;          // the first analysis's message when it failed
  bool SecondAnalysed = false;     // the second analysis compiled a statement too
  std::size_t FirstPartLength = 0;  // of Text: the listings, the first analysis and run
};

// The part of the accounts the classic language promises to keep: all of
// it when the classic calculator analysed both statements, the first part
// when it analysed only the first, nothing when it analysed none (a sentence
// it refuses may be one the extended language reads).
inline bool SameWhereClassicAnalysed(const SLanguageAccount& classic, const SLanguageAccount& extended) {
  if (!classic.Analysed) return true;
  if (classic.SecondAnalysed) return classic.Text == extended.Text;
  return classic.Text.compare(0, classic.FirstPartLength, extended.Text, 0, extended.FirstPartLength) == 0;
}

// True when the first analysis refused the sentence for a keyword used as a variable name.
inline bool RefusedForKeyword(const SLanguageAccount& account) {
  return !account.Analysed && account.FirstError.find(Message(mKeywordIsNoVariableSuffix)) != std::string::npos;
}

namespace language_account {

inline void AddAnalysis(TRuleCalc& calc, bool analysed, std::string& out) {
  out += analysed ? "analysed" : "not analysed [" + calc.Analysor.AnalyseError + "]";
  const SSentenceSpan stop = calc.AnalysisStop();
  out += " stop " + std::to_string(stop.Offset) + "+" + std::to_string(stop.Length) + "\n code:";
  for (const SCodeStruct& r : calc.Machine.Code)
    out += " {" + std::to_string(r.OpCode) + " " + r.Operand1 + " " + r.Operand2 + " " + std::to_string(r.ValueType) + "}";
  out += "\n warnings:";
  for (const SAnalysisWarning& w : calc.Warnings())
    out += " {" + std::to_string(static_cast<int>(w.Kind)) + " @" + std::to_string(w.Position) + " " + w.Message + "}";
  out += "\n";
}

inline void AddRun(TRuleCalc& calc, ERunStatus status, std::string& out) {
  const TVirtualMachine& m = calc.Machine;
  out += "run " + std::to_string(static_cast<int>(status)) + " [" + m.RuntimeError + "]\n failed clauses:";
  for (const SFailedClause& c : m.FailedClauses)
    out += " {" + m.RuntimeError.substr(c.NamesStart, c.NamesLength) + "|" +
           m.RuntimeError.substr(c.TextStart, c.TextLength) + "}";
  out += "\n";
}

}  // namespace language_account

// The host's calling order (listings, analysis, run), then a second analysis
// and run (the statement after the first ";"). The calculator keeps the
// language it was given.
inline SLanguageAccount AccountOfRule(TRuleCalc& calc, const std::vector<SVariable>& variables,
                                      const std::string& sentence) {
  SLanguageAccount account;
  std::string& out = account.Text;
  calc.ClearMemory();
  for (const SVariable& v : variables) calc.SetVarValue(v.Name.c_str(), v.Value.c_str(), v.Type);
  calc.SetSentence(sentence.c_str());
  // one getter at a time: each answers in the one result buffer
  out += "tokens [" + std::string(calc.GetTokens()) + "]\n";
  out += "numbers [" + std::string(calc.GetNumbers()) + "]\n";
  out += "names [" + std::string(calc.GetVarnames()) + "]\n";
  account.Analysed = calc.Analyse();
  if (!account.Analysed) account.FirstError = calc.Analysor.AnalyseError;
  const SSentenceSpan stop = calc.AnalysisStop();
  account.FirstStatementEnd = stop.Offset + stop.Length;
  language_account::AddAnalysis(calc, account.Analysed, out);
  language_account::AddRun(calc, calc.RunForStatus(), out);
  account.FirstPartLength = out.size();
  account.SecondAnalysed = calc.Analyse();
  language_account::AddAnalysis(calc, account.SecondAnalysed, out);
  language_account::AddRun(calc, calc.RunForStatus(), out);
  return account;
}

}  // namespace rulecalc::testing
