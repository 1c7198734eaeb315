#include "Rules.h"

#include <cstdlib>
#include <map>
#include <random>

namespace rulecalc::bench {

namespace {

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

bool NativeR1(const Record& r) {
  const double age = Number(r[0]), score = Number(r[1]);
  return age >= 18 ? score >= 60 : score >= 80;
}

bool NativeR2(const Record& r) {
  const double a = Number(r[0]), b = Number(r[1]), c = Number(r[2]);
  return (a + b * 2 - c / 4 >= 10 && a != b) || c == 3;
}

bool NativeR3(const Record& r) {
  const double a = Number(r[0]), b = Number(r[1]), c = Number(r[2]);
  return a + 1 > 0 && b * 2 < 100 && c - 3 != 7 && a / 2 >= 0 && b + c > 1 && c * c < 1000 && a - b < 50 &&
         a + b + c > 3;
}

bool NativeR4(const Record& r) { return r[0].size() > 1 && r[0].compare(0, 1, "X") != 0; }

bool NativeR5(const Record& r) {
  char* end = nullptr;
  const long month = std::strtol(r[0].c_str(), &end, 10);
  std::strtol(end + 1, &end, 10);
  long year = std::strtol(end + 1, &end, 10);
  if (month + 6 > 12) ++year;
  return year >= 1990;
}

std::string RandomNumber(std::mt19937& random, int low, int high) {
  return std::to_string(std::uniform_int_distribution<int>(low, high)(random));
}

std::string RandomName(std::mt19937& random) {
  static const char* const names[] = {"Xavier", "Anna", "X", "Bo", "\xd5\xc5\xc8\xfd", "Li", "Xu", "Margaret"};
  return names[std::uniform_int_distribution<int>(0, 7)(random)];
}

std::string RandomDate(std::mt19937& random) {
  return RandomNumber(random, 1, 12) + "/" + RandomNumber(random, 1, 28) + "/" + RandomNumber(random, 1960, 2010);
}

std::vector<Record> MakeRecords(const SRule& rule) {
  std::mt19937 random(12345);
  std::vector<Record> records(1024);
  for (Record& record : records) {
    for (const SVariableDefinition& variable : rule.Variables) {
      const std::string name = variable.Name;
      if (name == "NAME") record.push_back(RandomName(random));
      else if (name == "BIRTH") record.push_back(RandomDate(random));
      else if (name == "AGE") record.push_back(RandomNumber(random, 10, 30));
      else if (name == "SCORE") record.push_back(RandomNumber(random, 40, 100));
      else record.push_back(RandomNumber(random, 0, 12));
    }
  }
  return records;
}

}  // namespace

const std::vector<SRule>& Rules() {
  static const std::vector<SRule> rules = {
      {"R1", "IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;", {{"AGE", 0}, {"SCORE", 0}},
       "if AGE>=18 then return SCORE>=60 else return SCORE>=80 end", "AGE>=18 ? SCORE>=60 : SCORE>=80", NativeR1},
      {"R2", "A+B*2-C/4>=10 AND A<>B OR C=3;", {{"A", 0}, {"B", 0}, {"C", 0}},
       "return (A+B*2-C/4>=10 and A~=B) or C==3", "(A+B*2-C/4>=10 && A!=B) || C==3", NativeR2},
      {"R3",
       "A+1>0 AND B*2<100 AND C-3<>7 AND A/2>=0 AND B+C>1 AND C*C<1000 AND A-B<50 AND A+B+C>3;",
       {{"A", 0}, {"B", 0}, {"C", 0}},
       "return A+1>0 and B*2<100 and C-3~=7 and A/2>=0 and B+C>1 and C*C<1000 and A-B<50 and A+B+C>3",
       "A+1>0 && B*2<100 && C-3!=7 && A/2>=0 && B+C>1 && C*C<1000 && A-B<50 && A+B+C>3", NativeR3},
      {"R4", "LENGTH(NAME)>1 AND SUBSTR(NAME,0,1)<>\"X\";", {{"NAME", 1}},
       "return #NAME>1 and NAME:sub(1,1)~=\"X\"", nullptr, NativeR4},
      {"R5", "YEAR(ADDMONTHS(TODATE(BIRTH),6))>=1990;", {{"BIRTH", 1}},
       "local m,d,y = BIRTH:match(\"^(%d+)/(%d+)/(%d+)$\") "
       "y = tonumber(y) if tonumber(m)+6>12 then y=y+1 end return y>=1990",
       nullptr, NativeR5},
  };
  return rules;
}

const std::vector<Record>& RecordsFor(const SRule& rule) {
  static std::map<std::string, std::vector<Record>> cache;
  auto found = cache.find(rule.Id);
  if (found == cache.end()) found = cache.emplace(rule.Id, MakeRecords(rule)).first;
  return found->second;
}

}  // namespace rulecalc::bench
