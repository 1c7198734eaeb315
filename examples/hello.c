/* The library from C: one rule, two applicants. Build and run from the
 * source tree after building the library:
 *   cc -Iinclude examples/hello.c -Lbuild/src -lrulecalc -o hello
 *   LD_LIBRARY_PATH=build/src ./hello
 * Texts are GBK: the explanation of a false result holds GBK Chinese.
 */
#include <stdio.h>

#include "rulecalc.h"

static void check_applicant(const char *age, const char *score) {
  ClearMemory(); /* a fresh rule: no code, variables or explanation left over */
  SetVarValue("AGE", age, 0);
  SetVarValue("SCORE", score, 0);
  SetSentence("IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;");
  if (!Analyse()) {
    printf("analysis error: %s\n", GetAnalyseError());
    return;
  }
  if (Run()) {
    printf("AGE=%s SCORE=%s: true\n", age, score);
  } else {
    printf("AGE=%s SCORE=%s: false (%s)\n", age, score, GetRuntimeError());
  }
}

int main(void) {
  check_applicant("20", "75");
  check_applicant("16", "75");
  return 0;
}
