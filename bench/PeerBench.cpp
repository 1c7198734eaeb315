// The same rules evaluated by the peers on the same records: Lua 5.4,
// muparser, and the rule written by hand in C++ with values read by strtod.
// Each peer runs in both modes: compiled once and evaluated per record, and
// compiled and evaluated per record.

#include <benchmark/benchmark.h>
#include <lua.hpp>
#include <muParser.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "Rules.h"

namespace rulecalc::bench {
namespace {

// --- Lua ---

struct SLuaState {
  lua_State* L = luaL_newstate();
  SLuaState() { luaL_openlibs(L); }
  ~SLuaState() { lua_close(L); }
};

void SetLuaGlobals(lua_State* L, const SRule& rule, const Record& record) {
  for (std::size_t i = 0; i < rule.Variables.size(); ++i) {
    if (rule.Variables[i].Type == 0) lua_pushnumber(L, std::strtod(record[i].c_str(), nullptr));
    else lua_pushlstring(L, record[i].data(), record[i].size());
    lua_setglobal(L, rule.Variables[i].Name);
  }
}

bool CallLua(lua_State* L) {
  if (lua_pcall(L, 0, 1, 0) != LUA_OK) return false;
  const bool result = lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return result;
}

void LuaPrecompiled(benchmark::State& state, const SRule& rule) {
  SLuaState lua;
  if (luaL_loadstring(lua.L, rule.LuaChunk) != LUA_OK) state.SkipWithError("lua chunk does not compile");
  const int function = luaL_ref(lua.L, LUA_REGISTRYINDEX);
  const auto& records = RecordsFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    SetLuaGlobals(lua.L, rule, records[i++ & 1023]);
    lua_rawgeti(lua.L, LUA_REGISTRYINDEX, function);
    benchmark::DoNotOptimize(CallLua(lua.L));
  }
  state.SetItemsProcessed(state.iterations());
}

void LuaLoadAndCall(benchmark::State& state, const SRule& rule) {
  SLuaState lua;
  const auto& records = RecordsFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    SetLuaGlobals(lua.L, rule, records[i++ & 1023]);
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
};

void MuParserPrecompiled(benchmark::State& state, const SRule& rule) {
  SMuParser mu(rule);
  mu.Parser.SetExpr(rule.MuParserExpression);
  const auto& records = RecordsFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    mu.Load(rule, records[i++ & 1023]);
    benchmark::DoNotOptimize(mu.Parser.Eval() != 0.0);
  }
  state.SetItemsProcessed(state.iterations());
}

void MuParserParseAndEval(benchmark::State& state, const SRule& rule) {
  const auto& records = RecordsFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    SMuParser mu(rule);
    mu.Load(rule, records[i++ & 1023]);
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
    benchmark::RegisterBenchmark(("lua/run-only/" + id).c_str(), LuaPrecompiled, rule);
    benchmark::RegisterBenchmark(("lua/full-cycle/" + id).c_str(), LuaLoadAndCall, rule);
    if (rule.MuParserExpression) {
      benchmark::RegisterBenchmark(("muparser/run-only/" + id).c_str(), MuParserPrecompiled, rule);
      benchmark::RegisterBenchmark(("muparser/full-cycle/" + id).c_str(), MuParserParseAndEval, rule);
    }
  }
  return true;
}();

}  // namespace
}  // namespace rulecalc::bench
