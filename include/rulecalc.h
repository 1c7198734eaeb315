/*
 * rulecalc: an embeddable rule calculator.
 *
 * A host hands the library one sentence of the rule language, sets the
 * variables the sentence uses, analyses the sentence (check and compile) and
 * runs it. Running yields true or false; when false, GetRuntimeError explains
 * which clause failed and which variables it involves.
 *
 * All texts are NUL-terminated GBK byte strings; lengths and positions count
 * bytes. The library holds one global state (one tokeniser, one analyser, one
 * virtual machine, one result buffer): call it from one thread at a time.
 *
 * Calling order for one rule:
 *   1. ClearMemory();
 *   2. SetVarValue(name, value, type) for every variable the sentence uses;
 *   3. SetSentence(sentence);
 *   4. optionally GetTokens(), GetNumbers(), GetVarnames();
 *   5. Analyse(); on false, GetAnalyseError() tells why;
 *   6. Run(); GetRuntimeError() gives the run-time error or the explanation
 *      of a false result.
 *
 * Every function that returns text returns the address of one shared
 * 2048-byte result buffer owned by the library. The text stays valid until
 * the next call of a text-returning function; it holds at most 2047 bytes and
 * is always NUL-terminated. The host never frees it.
 */
#ifndef RULECALC_H
#define RULECALC_H

#include <stdint.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

/* SetSentence and SetVarValue use the standard calling convention on 32-bit
 * Windows (the callee removes 4 and 12 bytes of arguments). */
#if defined(_WIN32) && !defined(_WIN64)
#define RULECALC_STDCALL __stdcall
#else
#define RULECALC_STDCALL
#endif

#if defined(_WIN32)
#define RULECALC_API
#elif defined(RULECALC_BUILDING_LIBRARY)
#define RULECALC_API __attribute__((visibility("default")))
#else
#define RULECALC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Copies the sentence (up to its NUL) and rewinds the tokeniser to its start.
 * Variables, code, and both error texts keep their contents. A null pointer
 * counts as the empty sentence. */
RULECALC_API void RULECALC_STDCALL SetSentence(const char *sentence);

/* Every token of the sentence, each followed by ";". Rewinds the tokeniser.
 * Returns the shared result buffer. */
RULECALC_API const char *GetTokens(void);

/* Every number literal of the sentence, each followed by ";". Rewinds the
 * tokeniser. Returns the shared result buffer. */
RULECALC_API const char *GetNumbers(void);

/* The distinct variable names in order of first appearance (letter case
 * ignored), joined by ";". Rewinds the tokeniser. Returns the shared result
 * buffer. */
RULECALC_API const char *GetVarnames(void);

/* Empties the compiled code, the labels, the variables, the registers, the
 * stacks and the run-time text. Keeps the sentence and the analysis error. */
RULECALC_API void ClearMemory(void);

/* Inserts or replaces a variable. type: 0 numeric (numbers and dates),
 * 1 text. An empty numeric value stands for the null number. Names are
 * compared with ASCII letters folded to capitals. Null pointers count as
 * empty texts. */
RULECALC_API void RULECALC_STDCALL SetVarValue(const char *name, const char *value,
                                               int32_t type);

/* Compiles the statement that follows the tokeniser's current position and
 * appends its code. Returns true when a statement was compiled. */
RULECALC_API bool Analyse(void);

/* The message of the last failed analysis (never cleared; empty if none
 * failed). Returns the shared result buffer. */
RULECALC_API const char *GetAnalyseError(void);

/* Runs the compiled code. Returns true when the sentence holds or there is no
 * code; false when it does not hold or a run-time error stopped it. */
RULECALC_API bool Run(void);

/* The run-time error message, or the explanation of a false result.
 * Returns the shared result buffer. */
RULECALC_API const char *GetRuntimeError(void);

#ifdef __cplusplus
}
#endif

#endif /* RULECALC_H */
