/*
 * Scenario driver: loads the rule calculator at run time, reads a script of
 * calls on standard input, makes each call and prints its result on one line
 * of standard output in a form that compares byte for byte across platforms.
 *
 * The same source builds as a Linux program (dlopen/dlsym on the shared
 * library) and as a 32-bit Windows program (LoadLibraryA/GetProcAddress on
 * the DLL, without an import library).
 *
 * Usage: rulecalc-scenario-driver LIBRARY < script
 *
 * Script lines (texts are written as "x" followed by two hex digits per
 * byte, so "x" alone is the empty text):
 *   SetSentence TEXT              -> SetSentence
 *   SetVarValue NAME VALUE TYPE   -> SetVarValue
 *   ClearMemory                   -> ClearMemory
 *   Analyse | Run                 -> Analyse 0|1, Run 0|1
 *   GetTokens | GetNumbers | GetVarnames | GetAnalyseError | GetRuntimeError
 *                                 -> GetTokens rN TEXT
 *   PeekPrevious                  -> PeekPrevious rN TEXT
 *   Reload                        -> Reload
 *   Language 0|1                  -> Language
 * A text result of the ten exports names the address it came from as rN: r1
 * is the first distinct address seen since the library was loaded, r2 the
 * second, and so on. PeekPrevious prints the text found now at the address
 * that the text result of the ten exports before the last one came from.
 * Reload unloads the library, checks that it is really gone, and loads it
 * again, so that the calls after it see the state at load (the ten exports).
 * Language 1 opens a new handle reading the extended language; the calls
 * after it go to the handle functions (a run answers 1 when it held), and
 * their text results name no address ("h"). Language 0 closes the handle:
 * the calls go to the ten exports again.
 */
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

/* The two exports that take arguments use the standard calling convention on
 * 32-bit Windows (the callee removes the arguments); the other eight take
 * none. */
#if defined(_WIN32) && !defined(_WIN64)
#define HOST_STDCALL __stdcall
#else
#define HOST_STDCALL
#endif

typedef void(HOST_STDCALL *SetSentenceFn)(const char *sentence);
typedef void(HOST_STDCALL *SetVarValueFn)(const char *name, const char *value, int32_t type);
typedef const char *(*TextFn)(void);
typedef void (*ClearMemoryFn)(void);
typedef bool (*BoolFn)(void);

/* The handle functions use the C calling convention everywhere. The handle
 * type stays opaque here. */
typedef struct rulecalc rulecalc;
typedef rulecalc *(*OpenFn)(void);
typedef void (*CloseFn)(rulecalc *calc);
typedef int (*SetLanguageFn)(rulecalc *calc, int language);
typedef void (*HandleSentenceFn)(rulecalc *calc, const char *sentence);
typedef void (*HandleVariableFn)(rulecalc *calc, const char *name, const char *value, int32_t type);
typedef const char *(*HandleTextFn)(rulecalc *calc, size_t *length);
typedef void (*HandleClearFn)(rulecalc *calc);
typedef int (*HandleIntFn)(rulecalc *calc);

/* The status rulecalc_run returns when the sentence holds. */
enum { kHandleHeld = 0 };

enum { kMaxAddresses = 64 };

typedef struct {
  SetSentenceFn SetSentence;
  TextFn GetTokens;
  TextFn GetNumbers;
  TextFn GetVarnames;
  ClearMemoryFn ClearMemory;
  SetVarValueFn SetVarValue;
  BoolFn Analyse;
  TextFn GetAnalyseError;
  BoolFn Run;
  TextFn GetRuntimeError;
  OpenFn rulecalc_open;
  CloseFn rulecalc_close;
  SetLanguageFn rulecalc_set_language;
  HandleSentenceFn rulecalc_set_sentence;
  HandleVariableFn rulecalc_set_variable;
  HandleClearFn rulecalc_clear;
  HandleIntFn rulecalc_analyse;
  HandleIntFn rulecalc_run;
  HandleTextFn rulecalc_tokens;
  HandleTextFn rulecalc_numbers;
  HandleTextFn rulecalc_varnames;
  HandleTextFn rulecalc_analyse_error;
  HandleTextFn rulecalc_runtime_error;
} SExports;

typedef struct {
  const char *Path;
#if defined(_WIN32)
  HMODULE Handle;
#else
  void *Handle;
#endif
  SExports Calls;
  /* The handle the calls go to, or NULL for the ten exports. */
  rulecalc *Calc;
  const char *Addresses[kMaxAddresses];
  int AddressCount;
  /* Address ids of the last two text results, the latest first (0: none). */
  int RecentIds[2];
} SLibrary;

static void Fail(const char *what, const char *detail) {
  fprintf(stderr, "rulecalc-scenario-driver: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  exit(2);
}

/* Looks up one export by its plain name; a missing export is fatal. */
static void *FindExport(SLibrary *lib, const char *name) {
#if defined(_WIN32)
  FARPROC proc = GetProcAddress(lib->Handle, name);
  void *address = NULL;
  if (proc == NULL) Fail("export not found", name);
  memcpy(&address, &proc, sizeof address < sizeof proc ? sizeof address : sizeof proc);
  return address;
#else
  void *address = dlsym(lib->Handle, name);
  if (address == NULL) Fail("export not found", name);
  return address;
#endif
}

/* Function pointers are copied bytewise: ISO C has no conversion from an
 * object pointer to a function pointer. */
#define BIND(lib, field)                                          \
  do {                                                            \
    void *address_ = FindExport((lib), #field);                   \
    memcpy(&(lib)->Calls.field, &address_, sizeof(void *));       \
  } while (0)

static void LoadLibraryFile(SLibrary *lib) {
#if defined(_WIN32)
  lib->Handle = LoadLibraryA(lib->Path);
  if (lib->Handle == NULL) Fail("cannot load", lib->Path);
#else
  lib->Handle = dlopen(lib->Path, RTLD_NOW | RTLD_LOCAL);
  if (lib->Handle == NULL) Fail("cannot load", dlerror());
#endif
  BIND(lib, SetSentence);
  BIND(lib, GetTokens);
  BIND(lib, GetNumbers);
  BIND(lib, GetVarnames);
  BIND(lib, ClearMemory);
  BIND(lib, SetVarValue);
  BIND(lib, Analyse);
  BIND(lib, GetAnalyseError);
  BIND(lib, Run);
  BIND(lib, GetRuntimeError);
  BIND(lib, rulecalc_open);
  BIND(lib, rulecalc_close);
  BIND(lib, rulecalc_set_language);
  BIND(lib, rulecalc_set_sentence);
  BIND(lib, rulecalc_set_variable);
  BIND(lib, rulecalc_clear);
  BIND(lib, rulecalc_analyse);
  BIND(lib, rulecalc_run);
  BIND(lib, rulecalc_tokens);
  BIND(lib, rulecalc_numbers);
  BIND(lib, rulecalc_varnames);
  BIND(lib, rulecalc_analyse_error);
  BIND(lib, rulecalc_runtime_error);
  lib->Calc = NULL;
  lib->AddressCount = 0;
  lib->RecentIds[0] = lib->RecentIds[1] = 0;
}

/* Closes the handle, if any: the calls go to the ten exports again. */
static void CloseCalculator(SLibrary *lib) {
  if (lib->Calc != NULL) lib->Calls.rulecalc_close(lib->Calc);
  lib->Calc = NULL;
}

/* Calls after this go to a new handle reading the given language (1:
 * extended), or to the ten exports (0). */
static void SwitchLanguage(SLibrary *lib, int language) {
  CloseCalculator(lib);
  if (language == 0) return;
  lib->Calc = lib->Calls.rulecalc_open();
  if (lib->Calc == NULL) Fail("rulecalc_open failed", NULL);
  if (lib->Calls.rulecalc_set_language(lib->Calc, language) != 0) Fail("rulecalc_set_language refused", NULL);
}

/* Unloads the library and makes sure the process no longer holds it, so that
 * the next load starts from the state at load. */
static void UnloadLibraryFile(SLibrary *lib) {
  CloseCalculator(lib);
#if defined(_WIN32)
  char module_path[MAX_PATH];
  DWORD length = GetModuleFileNameA(lib->Handle, module_path, sizeof module_path);
  if (length == 0 || length >= sizeof module_path) Fail("cannot name the loaded module", lib->Path);
  if (!FreeLibrary(lib->Handle)) Fail("FreeLibrary failed", lib->Path);
  if (GetModuleHandleA(module_path) != NULL) Fail("library stayed loaded after FreeLibrary", module_path);
#else
  void *again;
  if (dlclose(lib->Handle) != 0) Fail("dlclose failed", dlerror());
  again = dlopen(lib->Path, RTLD_NOW | RTLD_NOLOAD);
  if (again != NULL) Fail("library stayed loaded after dlclose", lib->Path);
#endif
  lib->Handle = NULL;
}

static int AddressId(SLibrary *lib, const char *address) {
  int i;
  for (i = 0; i < lib->AddressCount; ++i) {
    if (lib->Addresses[i] == address) return i + 1;
  }
  if (lib->AddressCount == kMaxAddresses) Fail("too many distinct result addresses", NULL);
  lib->Addresses[lib->AddressCount] = address;
  return ++lib->AddressCount;
}

static void PrintText(const char *text) {
  const unsigned char *p = (const unsigned char *)text;
  putchar('x');
  if (p == NULL) Fail("a text getter returned a null pointer", NULL);
  for (; *p != 0; ++p) printf("%02x", (unsigned)*p);
}

static void PrintTextResult(SLibrary *lib, const char *call, const char *text) {
  int id = AddressId(lib, text);
  lib->RecentIds[1] = lib->RecentIds[0];
  lib->RecentIds[0] = id;
  printf("%s r%d ", call, id);
  PrintText(text);
  putchar('\n');
}

static int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/* Decodes "x" + hex in place into a NUL-terminated byte string. */
static char *DecodeText(char *field) {
  char *out = field;
  const char *in = field + 1;
  if (field == NULL || field[0] != 'x') Fail("text argument must start with x", field);
  while (in[0] != 0) {
    int high = HexDigit((unsigned char)in[0]);
    int low = in[1] != 0 ? HexDigit((unsigned char)in[1]) : -1;
    if (high < 0 || low < 0) Fail("bad hex text", field);
    *out++ = (char)(high * 16 + low);
    in += 2;
  }
  *out = 0;
  return field;
}

/* Reads one line of any length without its line end; NULL at end of input. */
static char *ReadLine(FILE *in) {
  size_t size = 256, used = 0;
  char *line = malloc(size);
  int c;
  if (line == NULL) Fail("out of memory", NULL);
  while ((c = getc(in)) != EOF && c != '\n') {
    if (used + 1 >= size) {
      char *bigger = realloc(line, size *= 2);
      if (bigger == NULL) Fail("out of memory", NULL);
      line = bigger;
    }
    line[used++] = (char)c;
  }
  if (c == EOF && used == 0) {
    free(line);
    return NULL;
  }
  if (used > 0 && line[used - 1] == '\r') --used;
  line[used] = 0;
  return line;
}

enum { kMaxFields = 4 };

static int SplitFields(char *line, char *fields[kMaxFields]) {
  int count = 0;
  char *token = strtok(line, " ");
  while (token != NULL) {
    if (count == kMaxFields) Fail("too many fields", NULL);
    fields[count++] = token;
    token = strtok(NULL, " ");
  }
  return count;
}

static void Expect(int count, int wanted, const char *command) {
  if (count != wanted) Fail("wrong number of fields for", command);
}

/* A text result of the handle: no address to name, it is the handle's. */
static void PrintHandleText(const char *call, const char *text) {
  printf("%s h ", call);
  PrintText(text);
  putchar('\n');
}

static const char *const kTextCommands[] = {"GetTokens", "GetNumbers", "GetVarnames", "GetAnalyseError",
                                            "GetRuntimeError"};
enum { kTextCommandCount = sizeof kTextCommands / sizeof kTextCommands[0] };

/* The index of a text getter's command name, or -1. */
static int TextCommandIndex(const char *command) {
  int i;
  for (i = 0; i < kTextCommandCount; ++i)
    if (strcmp(command, kTextCommands[i]) == 0) return i;
  return -1;
}

/* Calls text getter `which` of the ten exports or of the handle. */
static void RunTextCommand(SLibrary *lib, int which) {
  const TextFn flat[kTextCommandCount] = {lib->Calls.GetTokens, lib->Calls.GetNumbers, lib->Calls.GetVarnames,
                                          lib->Calls.GetAnalyseError, lib->Calls.GetRuntimeError};
  const HandleTextFn handle[kTextCommandCount] = {lib->Calls.rulecalc_tokens, lib->Calls.rulecalc_numbers,
                                                  lib->Calls.rulecalc_varnames, lib->Calls.rulecalc_analyse_error,
                                                  lib->Calls.rulecalc_runtime_error};
  if (lib->Calc != NULL)
    PrintHandleText(kTextCommands[which], handle[which](lib->Calc, NULL));
  else
    PrintTextResult(lib, kTextCommands[which], flat[which]());
}

static int AnalyseNow(SLibrary *lib) {
  if (lib->Calc != NULL) return lib->Calls.rulecalc_analyse(lib->Calc) == 1;
  return lib->Calls.Analyse() ? 1 : 0;
}

static int RunNow(SLibrary *lib) {
  if (lib->Calc != NULL) return lib->Calls.rulecalc_run(lib->Calc) == kHandleHeld;
  return lib->Calls.Run() ? 1 : 0;
}

static void RunCommand(SLibrary *lib, char *fields[kMaxFields], int count) {
  const char *command = fields[0];
  rulecalc *calc = lib->Calc;
  if (strcmp(command, "SetSentence") == 0) {
    Expect(count, 2, command);
    if (calc != NULL)
      lib->Calls.rulecalc_set_sentence(calc, DecodeText(fields[1]));
    else
      lib->Calls.SetSentence(DecodeText(fields[1]));
    puts("SetSentence");
  } else if (strcmp(command, "SetVarValue") == 0) {
    const char *name, *value;
    int32_t type;
    Expect(count, 4, command);
    name = DecodeText(fields[1]);
    value = DecodeText(fields[2]);
    type = (int32_t)strtol(fields[3], NULL, 10);
    if (calc != NULL)
      lib->Calls.rulecalc_set_variable(calc, name, value, type);
    else
      lib->Calls.SetVarValue(name, value, type);
    puts("SetVarValue");
  } else if (strcmp(command, "ClearMemory") == 0) {
    Expect(count, 1, command);
    if (calc != NULL)
      lib->Calls.rulecalc_clear(calc);
    else
      lib->Calls.ClearMemory();
    puts("ClearMemory");
  } else if (strcmp(command, "Analyse") == 0) {
    Expect(count, 1, command);
    printf("Analyse %d\n", AnalyseNow(lib));
  } else if (strcmp(command, "Run") == 0) {
    Expect(count, 1, command);
    printf("Run %d\n", RunNow(lib));
  } else if (TextCommandIndex(command) >= 0) {
    Expect(count, 1, command);
    RunTextCommand(lib, TextCommandIndex(command));
  } else if (strcmp(command, "PeekPrevious") == 0) {
    int id = lib->RecentIds[1];
    Expect(count, 1, command);
    if (id == 0) Fail("PeekPrevious needs two text results since the last load", NULL);
    printf("PeekPrevious r%d ", id);
    PrintText(lib->Addresses[id - 1]);
    putchar('\n');
  } else if (strcmp(command, "Reload") == 0) {
    Expect(count, 1, command);
    UnloadLibraryFile(lib);
    LoadLibraryFile(lib);
    puts("Reload");
  } else if (strcmp(command, "Language") == 0) {
    Expect(count, 2, command);
    SwitchLanguage(lib, (int)strtol(fields[1], NULL, 10));
    puts("Language");
  } else {
    Fail("unknown command", command);
  }
}

int main(int argc, char **argv) {
  SLibrary lib;
  char *line;
  if (argc != 2) {
    fprintf(stderr, "usage: %s LIBRARY < script\n", argv[0]);
    return 2;
  }
#if defined(_WIN32)
  /* Byte-exact output and input: no CR/LF translation. */
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  memset(&lib, 0, sizeof lib);
  lib.Path = argv[1];
  LoadLibraryFile(&lib);
  while ((line = ReadLine(stdin)) != NULL) {
    char *fields[kMaxFields];
    int count = SplitFields(line, fields);
    if (count > 0) RunCommand(&lib, fields, count);
    fflush(stdout);
    free(line);
  }
  UnloadLibraryFile(&lib);
  return 0;
}
