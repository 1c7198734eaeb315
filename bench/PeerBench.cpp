// The same rules evaluated by the peers on the same records: Lua 5.4,
// muparser, and the rule written by hand in C++ with values read by strtod.
// Each peer runs in both modes: compiled once and evaluated per record, and
// compiled and evaluated per record. The peers read the record's texts the
// way the library does (numbers with strtod, per record); "-doubles" runs
// give them the numbers already read, as a second column.

#include <benchmark/benchmark.h>
#include <lua.hpp>
#include <muParser.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Rules.h"

namespace rulecalc::bench {
namespace {

// --- Lua ---

struct SLuaState {
  lua_State* L = luaL_newstate();
  SLuaState() { luaL_openlibs(L); }
  ~SLuaState() { lua_close(L); }
};

// A record's numbers read once, before the measurement (the "-doubles" runs).
using NumberRecord = std::vector<double>;

const std::vector<NumberRecord>& NumbersFor(const SRule& rule) {
  static std::map<std::string, std::vector<NumberRecord>> cache;
  auto found = cache.find(rule.Id);
  if (found != cache.end()) return found->second;
  std::vector<NumberRecord> numbers;
  for (const Record& record : RecordsFor(rule)) {
    NumberRecord& read = numbers.emplace_back();
    for (const std::string& text : record) read.push_back(std::strtod(text.c_str(), nullptr));
  }
  return cache.emplace(rule.Id, std::move(numbers)).first->second;
}

// The record's texts: numbers read with strtod now, or taken from the
// numbers read beforehand when given.
void SetLuaGlobals(lua_State* L, const SRule& rule, const Record& record, const NumberRecord* numbers) {
  for (std::size_t i = 0; i < rule.Variables.size(); ++i) {
    if (rule.Variables[i].Type != 0) lua_pushlstring(L, record[i].data(), record[i].size());
    else if (numbers != nullptr) lua_pushnumber(L, (*numbers)[i]);
    else lua_pushnumber(L, std::strtod(record[i].c_str(), nullptr));
    lua_setglobal(L, rule.Variables[i].Name);
  }
}

bool CallLua(lua_State* L) {
  if (lua_pcall(L, 0, 1, 0) != LUA_OK) return false;
  const bool result = lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return result;
}

void LuaPrecompiled(benchmark::State& state, const SRule& rule, bool doubles) {
  SLuaState lua;
  if (luaL_loadstring(lua.L, rule.LuaChunk) != LUA_OK) state.SkipWithError("lua chunk does not compile");
  const int function = luaL_ref(lua.L, LUA_REGISTRYINDEX);
  const auto& records = RecordsFor(rule);
  const auto& numbers = NumbersFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t n = i++ & 1023;
    SetLuaGlobals(lua.L, rule, records[n], doubles ? &numbers[n] : nullptr);
    lua_rawgeti(lua.L, LUA_REGISTRYINDEX, function);
    benchmark::DoNotOptimize(CallLua(lua.L));
  }
  state.SetItemsProcessed(state.iterations());
}

void LuaLoadAndCall(benchmark::State& state, const SRule& rule, bool doubles) {
  SLuaState lua;
  const auto& records = RecordsFor(rule);
  const auto& numbers = NumbersFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t n = i++ & 1023;
    SetLuaGlobals(lua.L, rule, records[n], doubles ? &numbers[n] : nullptr);
    luaL_loadstring(lua.L, rule.LuaChunk);
    benchmark::DoNotOptimize(CallLua(lua.L));
  }
  state.SetItemsProcessed(state.iterations());
}

// --- muparser (numbers only) ---

struct SMuParser {
  mu::Parser Parser;
  double Values[8] = {};
  explicit SMuParser(const SRule& rule) {
    for (std::size_t i = 0; i < rule.Variables.size(); ++i) Parser.DefineVar(rule.Variables[i].Name, &Values[i]);
  }
  void Load(const SRule& rule, const Record& record) {
    for (std::size_t i = 0; i < rule.Variables.size(); ++i) Values[i] = std::strtod(record[i].c_str(), nullptr);
  }
  void Load(const SRule& rule, const NumberRecord& numbers) {
    for (std::size_t i = 0; i < rule.Variables.size(); ++i) Values[i] = numbers[i];
  }
};

void MuParserPrecompiled(benchmark::State& state, const SRule& rule, bool doubles) {
  SMuParser mu(rule);
  mu.Parser.SetExpr(rule.MuParserExpression);
  const auto& records = RecordsFor(rule);
  const auto& numbers = NumbersFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t n = i++ & 1023;
    if (doubles) mu.Load(rule, numbers[n]);
    else mu.Load(rule, records[n]);
    benchmark::DoNotOptimize(mu.Parser.Eval() != 0.0);
  }
  state.SetItemsProcessed(state.iterations());
}

void MuParserParseAndEval(benchmark::State& state, const SRule& rule, bool doubles) {
  const auto& records = RecordsFor(rule);
  const auto& numbers = NumbersFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    SMuParser mu(rule);
    const std::size_t n = i++ & 1023;
    if (doubles) mu.Load(rule, numbers[n]);
    else mu.Load(rule, records[n]);
    mu.Parser.SetExpr(rule.MuParserExpression);
    benchmark::DoNotOptimize(mu.Parser.Eval() != 0.0);
  }
  state.SetItemsProcessed(state.iterations());
}

// --- native C++ ---

void Native(benchmark::State& state, const SRule& rule) {
  const auto& records = RecordsFor(rule);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(rule.Native(records[i++ & 1023]));
  state.SetItemsProcessed(state.iterations());
}

const bool kRegistered = [] {
  for (const SRule& rule : Rules()) {
    const std::string id = rule.Id;
    benchmark::RegisterBenchmark(("native/run-only/" + id).c_str(), Native, rule);
    for (const bool doubles : {false, true}) {
      const std::string suffix = doubles ? "-doubles" : "";
      benchmark::RegisterBenchmark(("lua" + suffix + "/run-only/" + id).c_str(), LuaPrecompiled, rule, doubles);
      benchmark::RegisterBenchmark(("lua" + suffix + "/full-cycle/" + id).c_str(), LuaLoadAndCall, rule, doubles);
      if (!rule.MuParserExpression) continue;
      benchmark::RegisterBenchmark(("muparser" + suffix + "/run-only/" + id).c_str(), MuParserPrecompiled, rule,
                                   doubles);
      benchmark::RegisterBenchmark(("muparser" + suffix + "/full-cycle/" + id).c_str(), MuParserParseAndEval, rule,
                                   doubles);
    }
  }
  return true;
}();

}  // namespace
}  // namespace rulecalc::bench
