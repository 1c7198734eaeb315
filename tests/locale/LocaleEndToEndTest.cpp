// The built-in functions through the flat exports of the shared library,
// under POSIX locales that this test compiles with localedef into a folder
// of its own and selects with LOCPATH and LC_ALL. Each locale runs in a child
// process, because the library reads the settings when it is loaded.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestCalc.h"

namespace rulecalc {
namespace {

using testing::Gbk;
using testing::Utf8;

namespace fs = std::filesystem;

struct SSentence {
  std::string Text;  // UTF-8
  bool Holds;
};

// Exit status of a program run with the given arguments and environment and
// its standard output and error going to output; -1 when it cannot run.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, const std::string& output) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The environment given plus this process's sanitizer settings, so that a
// child built with the sanitizers reads the same ones.
std::vector<std::string> WithSanitizerSettings(std::vector<std::string> environment) {
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
    if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
  return environment;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// localedef from the PATH or the usual places; empty when there is none.
std::string FindLocaledef() {
  std::vector<std::string> folders;
  if (const char* path = std::getenv("PATH")) {
    std::istringstream entries(path);
    for (std::string entry; std::getline(entries, entry, ':');) folders.push_back(entry);
  }
  for (const char* folder : {"/usr/bin", "/usr/sbin", "/bin", "/sbin"}) folders.emplace_back(folder);
  for (const std::string& folder : folders) {
    const std::string candidate = folder + "/localedef";
    if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

class LocaleEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (fs::temp_directory_path() / "rulecalc-locales-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) Folder = pattern;
  }

  static void TearDownTestSuite() {
    std::error_code ignored;
    if (!Folder.empty()) fs::remove_all(Folder, ignored);
    Folder.clear();
  }

  // Compiles the locale into the folder; an empty answer, else why it cannot.
  static std::string BuildLocale(const std::string& source, const std::string& charmap, const std::string& name) {
    if (Folder.empty()) return "no temporary folder";
    if (fs::exists(fs::path(Folder) / name / "LC_TIME")) return {};
    const std::string localedef = FindLocaledef();
    if (localedef.empty()) return "localedef is not installed (glibc's locale tools)";
    const std::string log = (fs::path(Folder) / (name + ".log")).string();
    const int status = RunProgram(localedef, {"-i", source, "-f", charmap, (fs::path(Folder) / name).string()},
                                  {"PATH=/usr/bin:/bin"}, log);
    // Status 1 means warnings only; the locale is there all the same.
    if ((status == 0 || status == 1) && fs::exists(fs::path(Folder) / name / "LC_TIME")) return {};
    return "localedef could not build " + name + " (are the locale sources installed?): " + ReadFile(log);
  }

  // Runs the sentences in one process under LC_ALL=locale and checks each.
  static void ExpectSentences(const std::string& locale, const std::vector<std::string>& variables,
                              const std::vector<SSentence>& sentences) {
    const fs::path script = fs::path(Folder) / (locale + ".script");
    {
      std::ofstream out(script, std::ios::binary);
      for (const std::string& variable : variables) out << "var " << Gbk(variable) << '\n';
      for (const SSentence& sentence : sentences) out << "sentence " << Gbk(sentence.Text) << '\n';
    }
    const std::string output = (fs::path(Folder) / (locale + ".out")).string();
    const int status = RunProgram(RULECALC_LOCALE_PROBE, {script.string()},
                                  WithSanitizerSettings({"LOCPATH=" + Folder, "LC_ALL=" + locale}), output);
    ASSERT_EQ(status, 0) << ReadFile(output);

    std::istringstream lines(ReadFile(output));
    for (const SSentence& sentence : sentences) {
      std::string line;
      ASSERT_TRUE(std::getline(lines, line)) << "no answer for " << sentence.Text;
      const std::string expected = sentence.Holds ? "1 1 " : "1 0 ";
      EXPECT_EQ(line.substr(0, 4), expected) << sentence.Text << "\n  " << Utf8(line);
    }
  }

  static std::string Folder;
};

std::string LocaleEndToEnd::Folder;

// Edge cases of the built-ins that hold under every locale.
std::vector<SSentence> TextAndNumberSentences() {
  return {{"LENGTH(\"中文\")=4;", true},
          {"SUBSTR(\"abcdef\",2,3)=\"cde\";", true},
          {"SUBSTR(\"abcdef\",4,100)=\"ef\";", true},
          {"SUBSTR(\"abcdef\",6,1)=\"\";", true},
          {"SUBSTR(\"abcdef\",-1,1)=\"\";", true},
          {"FINDSTR(\"abcabc\",\"bc\")=1;", true},
          {"FINDSTR(\"abc\",\"x\")=-1;", true},
          {"FINDSTR(\"abc\",\"\")=0;", true},
          {"NVL(N,5)=5;", true},
          {"NVL(X,5)=5;", true},
          {"NVL(0,5)=0;", true},
          {"NVL(T,\"x\")=\"x\";", true},
          {"NVL(\"a\",\"x\")=\"a\";", true},
          {"LG(1000)=3;", true},
          {"LG(1)=0;", true},
          {"LG(0)<-1000000 AND LG(0-1)<>0;", true}};
}

std::vector<std::string> Variables(const std::string& date) {
  return {"D 0 " + date, "N 0 ", "X 0 abc", "T 1 "};
}

// d_fmt "%Y-%m-%d", decimal comma: year-month-day with "-".
TEST_F(LocaleEndToEnd, SwedishReadsYearMonthDayWithADash) {
  const std::string missing = BuildLocale("sv_SE", "UTF-8", "sv_SE.UTF-8");
  if (!missing.empty()) GTEST_SKIP() << missing;
  std::vector<SSentence> sentences = {
      {"TODATE(\"2024-2-29\")=45351;", true},
      {"YEAR(TODATE(\"2024-2-29\"))=2024;", true},
      {"TODATE(\"2023-2-29\")=0;", true},
      {"TODATE(\"2024-02-29 \")=45351;", true},
      {"TODATE(\"2024-2-29 12:00\")=0;", true},
      {"TODATE(\"2/29/2024\")=0;", true},
      {"TODATE(\"\")=0;", true},
      {"YEAR(TODATE(\"\"))=1899;", true},
      {"ADDMONTHS(TODATE(\"2023-1-31\"),1)=TODATE(\"2023-2-28\");", true},
      {"ADDYEARS(TODATE(\"2024-2-29\"),1)=TODATE(\"2025-2-28\");", true},
      {"ADDMONTHS(TODATE(\"2024-3-15\"),-13)=TODATE(\"2023-2-15\");", true},
      {"ADDMONTHS(D,1)-TODATE(\"2024-4-5\")=D-TODATE(\"2024-3-5\");", true},
      {"LASTDAY(TODATE(\"2000-2-10\"))=29;", true},
      {"LASTDAY(TODATE(\"1900-2-10\"))=28;", true},
      {"TOCHAR(D,\"yyyy-mm-dd hh:nn\")=\"2024-03-05 14:07\";", true},
      {"TOCHAR(D,\"hh:mm\")=\"14:07\";", true},
      {"TOCHAR(D,\"m/d/yy\")=\"3-5-24\";", true},
      {"TOCHAR(D,\"h:nn am/pm\")=\"2:07 pm\";", true},
      {"TOCHAR(10000000,\"yyyy\")=\"\";", true},
      {"TOCHAR(D,\"ddddd\")=\"2024-03-05\";", true},
      {"TOCHAR(D,\"\")=\"2024-03-05 14:07:00\";", true},
      {"TOCHAR(D,\"mmmm\")=\"mars\";", true},
      {"D>45356.5 AND D<45356.6;", true}};
  for (const SSentence& sentence : TextAndNumberSentences()) sentences.push_back(sentence);
  ExpectSentences("sv_SE.UTF-8", Variables("45356,588194444"), sentences);
}

// d_fmt "%Y年%m月%d日": year-month-day with "/", Chinese names in GBK.
TEST_F(LocaleEndToEnd, ChineseWritesGbkNames) {
  const std::string missing = BuildLocale("zh_CN", "UTF-8", "zh_CN.UTF-8");
  if (!missing.empty()) GTEST_SKIP() << missing;
  std::vector<SSentence> sentences = {
      {"TODATE(\"2024/2/29\")=45351;", true},
      {"TODATE(\"2024-2-29\")=0;", true},
      {"TOCHAR(D,\"dddd\")=\"星期二\";", true},
      {"TOCHAR(D,\"mmmm\")=\"三月\";", true},
      {"TOCHAR(D,\"ampm\")=\"下午\";", true},
      {"TOCHAR(D,\"ddddd\")=\"2024年03月05日\";", true},
      {"TOCHAR(D,\"tt\")=\"14时07分00秒\";", true},
      {"TOCHAR(D,\"m/d/yy\")=\"3/5/24\";", true},
      {"D>45356.5;", true}};
  for (const SSentence& sentence : TextAndNumberSentences()) sentences.push_back(sentence);
  ExpectSentences("zh_CN.UTF-8", Variables("45356.588194444"), sentences);
}

// The plain "C" locale: month-day-year with "/".
TEST_F(LocaleEndToEnd, TheCLocaleReadsMonthDayYearWithASlash) {
  ASSERT_FALSE(Folder.empty());
  std::vector<SSentence> sentences = {{"TODATE(\"2/29/2024\")=45351;", true},
                                      {"TODATE(\"2024-2-29\")=0;", true},
                                      {"TODATE(\"2/29/24\")=45351;", true},
                                      {"TOCHAR(D,\"c\")=\"03/05/24 14:07:00\";", true},
                                      {"TOCHAR(D,\"dddddd\")=\"Tue Mar 5\";", true},
                                      {"TOCHAR(D,\"dddd mmmm ampm\")=\"Tuesday March PM\";", true}};
  for (const SSentence& sentence : TextAndNumberSentences()) sentences.push_back(sentence);
  ExpectSentences("C", Variables("45356.588194444"), sentences);
}

// A locale that does not exist falls back to "C".
TEST_F(LocaleEndToEnd, AMissingLocaleFallsBackToC) {
  ASSERT_FALSE(Folder.empty());
  ExpectSentences("xx_XX.UTF-8", Variables("45356.588194444"),
                  {{"TODATE(\"2/29/2024\")=45351;", true}, {"TOCHAR(D,\"c\")=\"03/05/24 14:07:00\";", true}});
}

}  // namespace
}  // namespace rulecalc
