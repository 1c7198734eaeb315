/* A Windows host that loads rulecalc.dll at run time and checks one rule
 * through the ten exports. Cross-built and run under Wine by .ci/windows.sh:
 *   i686-w64-mingw32-gcc-posix -std=c99 -Iinclude examples/windows_host.c -o windows_host.exe
 *   wine windows_host.exe          (rulecalc.dll beside it)
 */
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <windows.h>

/* SetSentence and SetVarValue are __stdcall; the other eight take no
 * arguments. Analyse and Run return a one-byte bool (in AL). */
typedef void(__stdcall *SetSentenceFn)(const char *sentence);
typedef void(__stdcall *SetVarValueFn)(const char *name, const char *value, int32_t type);
typedef void (*ClearMemoryFn)(void);
typedef bool (*BoolFn)(void);                /* Analyse, Run */
typedef const char *(*TextFn)(void);         /* GetTokens, ..., GetRuntimeError */

/* GetProcAddress returns a generic function pointer; going through
 * void (*)(void) converts it without a cast warning. */
#define IMPORT(type, name) ((type)(void (*)(void))GetProcAddress(dll, name))

int main(void) {
  HMODULE dll = LoadLibraryA("rulecalc.dll");
  if (dll == NULL) return 1;

  SetSentenceFn SetSentence = IMPORT(SetSentenceFn, "SetSentence");
  SetVarValueFn SetVarValue = IMPORT(SetVarValueFn, "SetVarValue");
  ClearMemoryFn ClearMemory = IMPORT(ClearMemoryFn, "ClearMemory");
  BoolFn Analyse = IMPORT(BoolFn, "Analyse");
  BoolFn Run = IMPORT(BoolFn, "Run");
  TextFn GetAnalyseError = IMPORT(TextFn, "GetAnalyseError");
  TextFn GetRuntimeError = IMPORT(TextFn, "GetRuntimeError");
  if (!SetSentence || !SetVarValue || !ClearMemory || !Analyse || !Run || !GetAnalyseError ||
      !GetRuntimeError) {
    FreeLibrary(dll);
    return 1;
  }

  ClearMemory();
  SetVarValue("AGE", "20", 0);   /* 0: number or date */
  SetVarValue("SCORE", "50", 0);
  SetSentence("IF AGE>=18 THEN SCORE>=60;");
  if (!Analyse()) {
    printf("analysis failed: %s\n", GetAnalyseError());   /* GBK text */
  } else if (Run()) {
    printf("the rule holds\n");
  } else {
    printf("the rule does not hold: %s\n", GetRuntimeError());   /* GBK text */
  }

  FreeLibrary(dll);
  return 0;
}
