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
 * A text result names the address it came from as rN: r1 is the first
 * distinct address seen since the library was loaded, r2 the second, and so
 * on. PeekPrevious prints the text found now at the address that the text
 * result before the last one came from.
 * Reload unloads the library, checks that it is really gone, and loads it
 * again, so that the calls after it see the state at load.
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
} SExports;

typedef struct {
  const char *Path;
#if defined(_WIN32)
  HMODULE Handle;
#else
  void *Handle;
#endif
  SExports Calls;
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
  lib->AddressCount = 0;
  lib->RecentIds[0] = lib->RecentIds[1] = 0;
}

/* Unloads the library and makes sure the process no longer holds it, so that
 * the next load starts from the state at load. */
static void UnloadLibraryFile(SLibrary *lib) {
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

static void RunCommand(SLibrary *lib, char *fields[kMaxFields], int count) {
  const char *command = fields[0];
  if (strcmp(command, "SetSentence") == 0) {
    Expect(count, 2, command);
    lib->Calls.SetSentence(DecodeText(fields[1]));
    puts("SetSentence");
  } else if (strcmp(command, "SetVarValue") == 0) {
    Expect(count, 4, command);
    lib->Calls.SetVarValue(DecodeText(fields[1]), DecodeText(fields[2]), (int32_t)strtol(fields[3], NULL, 10));
    puts("SetVarValue");
  } else if (strcmp(command, "ClearMemory") == 0) {
    Expect(count, 1, command);
    lib->Calls.ClearMemory();
    puts("ClearMemory");
  } else if (strcmp(command, "Analyse") == 0) {
    Expect(count, 1, command);
    printf("Analyse %d\n", lib->Calls.Analyse() ? 1 : 0);
  } else if (strcmp(command, "Run") == 0) {
    Expect(count, 1, command);
    printf("Run %d\n", lib->Calls.Run() ? 1 : 0);
  } else if (strcmp(command, "GetTokens") == 0) {
    Expect(count, 1, command);
    PrintTextResult(lib, command, lib->Calls.GetTokens());
  } else if (strcmp(command, "GetNumbers") == 0) {
    Expect(count, 1, command);
    PrintTextResult(lib, command, lib->Calls.GetNumbers());
  } else if (strcmp(command, "GetVarnames") == 0) {
    Expect(count, 1, command);
    PrintTextResult(lib, command, lib->Calls.GetVarnames());
  } else if (strcmp(command, "GetAnalyseError") == 0) {
    Expect(count, 1, command);
    PrintTextResult(lib, command, lib->Calls.GetAnalyseError());
  } else if (strcmp(command, "GetRuntimeError") == 0) {
    Expect(count, 1, command);
    PrintTextResult(lib, command, lib->Calls.GetRuntimeError());
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
