#include "batch/RulesFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "batch/ColumnName.h"
#include "batch/Failures.h"
#include "batch/text/ControlCharacters.h"
#include "batch/RulesScanner.h"

namespace rulecalc::batch {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimmedEnd(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

class TRulesParser {
 public:
  TRulesParser(std::string_view text, const std::string& path, TTextCodec& codec)
      : Scanner(text, path), Codec(codec) {}

  SRulesFile Parse() {
    SRulesFile file;
    while (Scanner.SkipBlanksAndComments()) {
      if (Scanner.Peek() == '@') {
        ReadSetting(file);
      } else {
        SRule rule = ReadRule();
        RefuseRepeatedId(file.Rules, rule);
        file.Rules.push_back(std::move(rule));
      }
    }
    if (file.Rules.empty()) throw TUsageError("the rules file '" + Scanner.Path() + "' holds no rules");
    file.Tolerances = TolerancesOfRules(file.Rules);
    return file;
  }

 private:
  void ReadSetting(SRulesFile& file) {
    const std::string where = Scanner.Where();
    Scanner.Advance();
    const std::string name = Scanner.Word();
    Scanner.SkipSpaces();
    if (name == "max-failed") {
      ReadTolerance(where);
      return;
    }
    if (name == "header-row" || name == "skip-rows") {
      const std::uint64_t count = ReadRowCount(Scanner.Word(), where + "@" + name, name == "header-row" ? 1 : 0);
      (name == "header-row" ? file.HeaderRow : file.SkipRows) = count;
      return;
    }
    if (name == "sheet") {
      const std::string sheet(TrimmedEnd(Scanner.UntilOneOf("#\n")));
      if (sheet.empty()) throw TUsageError(where + "expected '@sheet NAME'");
      file.GbkSheet = Codec.ToGbk(sheet, where + "@sheet");
      return;
    }
    if (name == "column") {
      file.Columns.push_back(ReadColumnMapping(where, file.Columns));
      return;
    }
    if (name == "language") {
      ReadLanguage(where, file);
      return;
    }
    const std::string value = Scanner.Word();
    if (name == "date-order" && (value == "ymd" || value == "mdy" || value == "dmy")) {
      file.DateOrder = value;
    } else if (name == "date-separator" && value.size() == 1) {
      file.DateSeparator = value;
    } else {
      throw TUsageError(where + "expected '@date-order ymd|mdy|dmy', '@date-separator C', '@max-failed RULE N|P%', "
                        "'@column DATA NAME', '@header-row N', '@skip-rows N', '@sheet NAME' or '@language classic|extended', "
                        "not '@" + name +
                        (value.empty() ? "" : " " + value) + "'");
    }
  }

  // @language classic|extended: once, before the first rule, so that every
  // rule is read in the one language.
  void ReadLanguage(const std::string& where, SRulesFile& file) {
    const std::string value = Scanner.Word();
    if (value != "classic" && value != "extended") {
      throw TUsageError(where + "expected '@language classic|extended', not '@language" +
                        (value.empty() ? "" : " " + ShowingControls(value)) + "'");
    }
    if (file.Language) throw TUsageError(where + "a second @language");
    if (!file.Rules.empty()) throw TUsageError(where + "@language goes before the first rule");
    file.Language = value == "extended" ? ELanguage::Extended : ELanguage::Classic;
  }

  // @max-failed RULE N|P%: the rule id may hold blanks, the limit cannot.
  void ReadTolerance(const std::string& where) {
    const std::string_view line = TrimmedEnd(Scanner.UntilOneOf("#\n"));
    const std::size_t blank = line.find_last_of(" \t");
    if (blank == std::string_view::npos) throw TUsageError(where + "expected '@max-failed RULE N' or '@max-failed RULE P%'");
    const std::string id(TrimmedEnd(line.substr(0, blank)));
    const std::string limit(line.substr(blank + 1));
    WrittenTolerances.push_back({where, id, ReadFailedLimit(limit, where + "@max-failed " + ShowingControls(id))});
  }

  static std::size_t LastBlankOutsideBrackets(std::string_view line) {
    int depth = 0;
    for (std::size_t i = line.size(); i-- > 0;) {
      if (line[i] == ')') ++depth;
      else if (line[i] == '(' && depth > 0) --depth;
      else if ((line[i] == ' ' || line[i] == '\t') && depth == 0) return i;
    }
    return std::string_view::npos;
  }

  // A '#' starts a comment, except in a type's brackets (":num(#,##0.00)").
  static std::string_view WithoutComment(std::string_view line) {
    int depth = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '(') ++depth;
      else if (line[i] == ')' && depth > 0) --depth;
      else if (line[i] == '#' && depth == 0) return line.substr(0, i);
    }
    return line;
  }

  static std::string VariableOfTypedName(std::string_view typed) { return std::string(typed.substr(0, typed.find(':'))); }

  SColumn TypedColumn(const std::string& typed, const std::string& where) {
    try {
      return TypedColumnOf(typed, Codec);
    } catch (const TUsageError& error) {
      throw TUsageError(where + error.what());
    } catch (const TConversionError& error) {
      throw TConversionError(where + error.what());
    }
  }

  // @column DATA NAME[:type]: the data's name may hold blanks, the variable's
  // cannot; a type's brackets may (":date(yyyy-mm-dd hh:nn)").
  SColumnMapping ReadColumnMapping(const std::string& where, const std::vector<SColumnMapping>& earlier) {
    const std::string_view line = TrimmedEnd(WithoutComment(Scanner.UntilOneOf("\n")));
    const std::size_t blank = LastBlankOutsideBrackets(line);
    if (blank == std::string_view::npos) throw TUsageError(where + "expected '@column DATA NAME'");
    const std::string dataName(TrimmedEnd(line.substr(0, blank)));
    const std::string typed(line.substr(blank + 1));
    SColumn typing = TypedColumn(typed, where + "@column " + ShowingControls(dataName) + ": ");
    const std::string variable = VariableOfTypedName(typed);
    SColumnMapping mapping{where, Codec.ToGbk(dataName, where + "@column"), typing.GbkName, std::nullopt};
    if (typing.Declared) mapping.Typing = std::move(typing);
    const std::string why = WhyNotAName(mapping.GbkVariable, ELanguage::Classic);
    if (!why.empty()) throw TUsageError(where + "@column " + ShowingControls(dataName) + ": no rule can name " +
                                        ShowingControls(variable) + ": " + why);
    for (const SColumnMapping& other : earlier) {
      if (FoldedName(other.GbkDataName) == FoldedName(mapping.GbkDataName)) {
        throw TUsageError(where + "a second @column for the column '" + ShowingControls(dataName) + "'");
      }
    }
    return mapping;
  }

  // Each @max-failed line's rule, in the order of the rules.
  std::vector<SThreshold> TolerancesOfRules(const std::vector<SRule>& rules) {
    std::vector<SThreshold> tolerances;
    for (std::size_t i = 0; i < rules.size(); ++i) {
      const SWrittenTolerance* found = nullptr;
      for (const SWrittenTolerance& written : WrittenTolerances) {
        if (written.Id != rules[i].Id) continue;
        if (found) throw TUsageError(written.Where + "a second @max-failed for the rule '" + ShowingControls(written.Id) + "'");
        found = &written;
      }
      if (!found) continue;
      const std::string setting = "@max-failed " + rules[i].GbkId + " " + found->Limit.Written;
      tolerances.push_back(SThreshold{setting, EMFailOn::Never, i, found->Limit});
    }
    for (const SWrittenTolerance& written : WrittenTolerances) {
      const auto named = [&written](const SRule& rule) { return rule.Id == written.Id; };
      if (std::none_of(rules.begin(), rules.end(), named)) {
        throw TUsageError(written.Where + "@max-failed names no rule of the file: '" + ShowingControls(written.Id) + "'");
      }
    }
    return tolerances;
  }

  SRule ReadRule() {
    const std::string where = Scanner.Where();
    SRule rule;
    rule.Id = std::string(TrimmedEnd(Scanner.UntilOneOf(":\"\n#;")));
    if (Scanner.Peek() == '"') rule.GbkDescription = Codec.ToGbk(Scanner.QuotedText(), where + "the description");
    Scanner.SkipSpaces();
    if (rule.Id.empty() || Scanner.Peek() != ':') {
      throw TUsageError(where + "expected 'id: sentence;' or 'id \"description\": sentence;'");
    }
    Scanner.Advance();
    Scanner.SkipBlanksAndComments();
    rule.Line = Scanner.Line();
    rule.GbkId = Codec.ToGbk(rule.Id, where + "the rule id");
    rule.GbkSentence = Codec.ToGbk(Scanner.Sentence(rule.Id, where), where + "the sentence of " + ShowingControls(rule.Id));
    return rule;
  }

  void RefuseRepeatedId(const std::vector<SRule>& rules, const SRule& rule) {
    const auto same = [&rule](const SRule& other) { return other.Id == rule.Id; };
    if (std::any_of(rules.begin(), rules.end(), same)) {
      throw TUsageError(Scanner.Path() + ":" + std::to_string(rule.Line) + ": the rule id '" + ShowingControls(rule.Id) +
                        "' is used twice");
    }
  }

  // A @max-failed line as written, until the rules are read.
  struct SWrittenTolerance {
    std::string Where;
    std::string Id;
    SFailedLimit Limit;
  };

  TRulesScanner Scanner;
  TTextCodec& Codec;
  std::vector<SWrittenTolerance> WrittenTolerances;
};

}  // namespace

SRulesFile ParseRules(std::string_view text, const std::string& path, TTextCodec& codec) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  return TRulesParser(text, path, codec).Parse();
}

std::uint64_t ReadRowCount(const std::string& text, const std::string& what, std::uint64_t least) {
  constexpr std::uint64_t kMost = 1000000000;
  std::uint64_t count = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || count > kMost) throw TUsageError(what + ": '" + ShowingControls(text) + "' is not a count of rows");
    count = count * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (text.empty() || count < least || count > kMost) {
    throw TUsageError(what + ": '" + ShowingControls(text) + "' is not a count of rows from " + std::to_string(least));
  }
  return count;
}

std::string ReadRulesText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TReadError("cannot read the rules file '" + path + "'");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace rulecalc::batch
