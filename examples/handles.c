/* Independent calculators: two rules, each analysed once per thread, run
 * alternately for every applicant on two threads at the same time. The
 * answers must be the ones the ten global functions give one at a time.
 * Build and run from the source tree after building the library:
 *   cc -Iinclude examples/handles.c -Lbuild/src -lrulecalc -lpthread -o handles
 *   LD_LIBRARY_PATH=build/src ./handles
 */
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "rulecalc.h"

#define APPLICANTS 2000
#define RULES 2

static const char *const rules[RULES] = {
    "IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;",
    "LENGTH(NAME)>=3 AND SUBSTR(NAME,1,1)<>\"X\";"};

struct answer {
  int held;
  char explanation[256];
};

static char ages[APPLICANTS][8], scores[APPLICANTS][8], names[APPLICANTS][16];
static struct answer expected[APPLICANTS][RULES];

static void make_applicants(void) {
  int i;
  for (i = 0; i < APPLICANTS; ++i) {
    sprintf(ages[i], "%d", 10 + i % 20);
    sprintf(scores[i], "%d", 40 + (i * 7) % 60);
    sprintf(names[i], "%.*s", 1 + i % 5, i % 3 ? "Xavier" : "Alice");
  }
}

/* The ten global functions, one rule at a time. */
static void answer_with_globals(int applicant, int rule, struct answer *out) {
  ClearMemory();
  SetVarValue("AGE", ages[applicant], 0);
  SetVarValue("SCORE", scores[applicant], 0);
  SetVarValue("NAME", names[applicant], 1);
  SetSentence(rules[rule]);
  Analyse();
  out->held = Run();
  snprintf(out->explanation, sizeof out->explanation, "%s", out->held ? "" : GetRuntimeError());
}

/* One calculator per rule: the rule is analysed once, then only the
 * variables change from one applicant to the next. */
static rulecalc *open_rule(int rule) {
  rulecalc *calc = rulecalc_open();
  rulecalc_set_variable(calc, "AGE", "0", RULECALC_NUMBER);
  rulecalc_set_variable(calc, "SCORE", "0", RULECALC_NUMBER);
  rulecalc_set_variable(calc, "NAME", "", RULECALC_TEXT);
  rulecalc_set_sentence(calc, rules[rule]);
  if (!rulecalc_analyse(calc)) fprintf(stderr, "rule %d: %s\n", rule, rulecalc_analyse_error(calc, NULL));
  return calc;
}

static int same_answer(rulecalc *calc, int applicant, int rule) {
  rulecalc_status status;
  const char *explanation = "";
  rulecalc_set_variable(calc, "AGE", ages[applicant], RULECALC_NUMBER);
  rulecalc_set_variable(calc, "SCORE", scores[applicant], RULECALC_NUMBER);
  rulecalc_set_variable(calc, "NAME", names[applicant], RULECALC_TEXT);
  status = rulecalc_run(calc);
  if (status == RULECALC_RUNTIME_ERROR) return 0;
  if (status == RULECALC_FAILED) explanation = rulecalc_runtime_error(calc, NULL);
  return (status == RULECALC_HELD) == expected[applicant][rule].held &&
         strcmp(explanation, expected[applicant][rule].explanation) == 0;
}

/* Every second applicant, starting at *first; both rules alternately. */
static void *check_applicants(void *first) {
  long mismatches = 0;
  int applicant, rule;
  rulecalc *calcs[RULES];
  for (rule = 0; rule < RULES; ++rule) calcs[rule] = open_rule(rule);
  for (applicant = *(const int *)first; applicant < APPLICANTS; applicant += 2)
    for (rule = 0; rule < RULES; ++rule) mismatches += !same_answer(calcs[rule], applicant, rule);
  for (rule = 0; rule < RULES; ++rule) rulecalc_close(calcs[rule]);
  return (void *)mismatches;
}

int main(void) {
  static const int firsts[2] = {0, 1};
  pthread_t threads[2];
  long total = 0;
  int i, rule;
  void *mismatches;
  make_applicants();
  for (i = 0; i < APPLICANTS; ++i)
    for (rule = 0; rule < RULES; ++rule) answer_with_globals(i, rule, &expected[i][rule]);
  for (i = 0; i < 2; ++i)
    if (pthread_create(&threads[i], NULL, check_applicants, (void *)&firsts[i]) != 0) return 1;
  for (i = 0; i < 2; ++i) {
    pthread_join(threads[i], &mismatches);
    total += (long)mismatches;
  }
  printf("rulecalc %s: %d applicants, %d rules, two threads: %ld differences\n", rulecalc_version(),
         APPLICANTS, RULES, total);
  return total == 0 ? 0 : 1;
}
