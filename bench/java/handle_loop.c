/* Evaluations per second of one rule through the handle functions, as the
 * Java library makes them: the variables set as texts, a run, and for a rule
 * that does not hold its explanation and failed clauses.
 *   handle_loop EVALUATIONS */
#include <rulecalc.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static const char SENTENCE[] = "IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;";

static double seconds_now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void read_failure(rulecalc_handle *calc) {
  size_t length, spans[4];
  rulecalc_runtime_error(calc, &length);
  size_t count = rulecalc_failed_clause_count(calc);
  for (size_t i = 0; i < count; i++) {
    rulecalc_failed_clause(calc, i, &spans[0], &spans[1], &spans[2], &spans[3]);
  }
}

int main(int argc, char **argv) {
  long evaluations = argc > 1 ? atol(argv[1]) : 1000000;
  rulecalc_handle *calc = rulecalc_open();
  rulecalc_set_variable(calc, "AGE", "", RULECALC_NUMBER);
  rulecalc_set_variable(calc, "SCORE", "", RULECALC_NUMBER);
  rulecalc_set_sentence(calc, SENTENCE);
  if (!rulecalc_analyse(calc)) {
    return 1;
  }
  long held = 0;
  char age[16], score[16];
  double start = seconds_now();
  for (long i = 0; i < evaluations; i++) {
    snprintf(age, sizeof age, "%ld", i % 40);
    snprintf(score, sizeof score, "%ld", i % 100);
    rulecalc_set_variable(calc, "AGE", age, RULECALC_NUMBER);
    rulecalc_set_variable(calc, "SCORE", score, RULECALC_NUMBER);
    if (rulecalc_run(calc) == RULECALC_HELD) {
      held++;
    } else {
      read_failure(calc);
    }
  }
  double elapsed = seconds_now() - start;
  printf("C handles: %.0f evaluations/s (%ld held)\n", (double)evaluations / elapsed, held);
  rulecalc_close(calc);
  return 0;
}
