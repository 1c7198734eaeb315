package org.rulecalc;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;

/** Rules and rule sets: results, warnings, settings, threads and closing. */
class RuleTest {
  private static final String SENTENCE = "IF AGE >= 18 THEN SCORE >= 60 ELSE LENGTH(NAME) > 2;";

  @Test
  void aFailedRuleNamesItsClauseAndVariables() {
    try (Rule rule = new Rule("AGE >= 18 AND LENGTH(NAME) >= 4;")) {
      Result result = rule.evaluate(Map.of("AGE", 12, "NAME", "张"));
      assertEquals(new Result(false, Status.FAILED, "AGE::AGE >= 18 ;NAME:: LENGTH(NAME) >= 4;", "AGE >= 18",
          List.of("AGE", "NAME"), ""), result);
    }
  }

  @Test
  void aSentenceThatCompilesForNoTypesIsRefusedWhenMade() {
    assertThrows(AnalysisException.class, () -> new Rule("AGE >= ;"));
  }

  @Test
  void valuesOfTypesTheSentenceRefusesAreAnAnalysisError() {
    try (Rule rule = new Rule("LENGTH(NAME) > 2;", Settings.DEFAULT, Map.of())) {
      assertThrows(AnalysisException.class, () -> rule.evaluate(Map.of()));
    }
  }

  @Test
  void warningsGiveTheCharacterPositionInTheSentence() {
    try (Rule rule = new Rule("\"张伟\" = \"张伟\" AND NAME > \"b\";", Settings.DEFAULT, Map.of("NAME", VariableType.TEXT))) {
      assertEquals(List.of(21), rule.warnings().stream().map(RuleWarning::position).toList());
    }
  }

  @Test
  void theCurrentYearSettingReachesTheCalculator() {
    Settings settings = Settings.DEFAULT.withDateOrder(Settings.DateOrder.DMY).withDateSeparator('.')
        .withCurrentYear(2020);
    try (Rule rule = new Rule("YEAR(TODATE(D)) = 2020;", settings)) {
      assertEquals(Status.HELD, rule.evaluate(Map.of("D", "19.03")).status());
    }
  }

  @Test
  void settingsTheCalculatorCannotTakeAreRefused() {
    assertThrows(IllegalArgumentException.class, () -> Settings.DEFAULT.withDateSeparator('5'));
    assertThrows(IllegalArgumentException.class, () -> Settings.DEFAULT.withCurrentYear(10000));
  }

  @Test
  void eightThreadsSharingOneRuleGetTheAnswersOfOne() throws Exception {
    List<Map<String, Object>> rows = new ArrayList<>();
    for (int i = 0; i < 400; i++) {
      rows.add(i % 7 == 0 ? Map.of("AGE", i % 30, "SCORE", i % 100, "NAME", "名" + i)
                          : Map.of("AGE", "" + i % 30, "SCORE", "" + i % 100, "NAME", "n" + i));
    }
    try (Rule rule = new Rule(SENTENCE)) {
      List<Result> alone = rows.stream().map(rule::evaluate).toList();
      ExecutorService threads = Executors.newFixedThreadPool(8);
      try {
        List<Future<List<Result>>> shared = new ArrayList<>();
        for (int t = 0; t < 8; t++) {
          shared.add(threads.submit(() -> rows.stream().map(rule::evaluate).toList()));
        }
        for (Future<List<Result>> answers : shared) {
          assertEquals(alone, answers.get());
        }
      } finally {
        threads.shutdown();
      }
    }
  }

  @Test
  void closingTwiceDoesNothingAndUseAfterCloseThrows() {
    Rule rule = new Rule(SENTENCE);
    rule.close();
    rule.close();
    assertThrows(IllegalStateException.class, () -> rule.evaluate(Map.of("AGE", 1)));
    RuleSet set = new RuleSet(Settings.DEFAULT, Map.of("AGE", VariableType.NUMBER));
    set.close();
    set.close();
    assertThrows(IllegalStateException.class, () -> set.evaluate(Map.of("AGE", 1)));
    assertThrows(IllegalStateException.class, () -> set.add("adult", "AGE >= 18;"));
  }

  @Test
  void aRuleSetRunsEveryRuleOverOneRecord() {
    try (RuleSet set = new RuleSet(Settings.DEFAULT, Map.of("AGE", VariableType.NUMBER, "NAME", VariableType.TEXT))) {
      set.add("adult", "AGE >= 18;");
      assertThrows(AnalysisException.class, () -> set.add("broken", "AGE >= ;"));
      set.add("name", "LENGTH(NAME) >= 4;");
      assertThrows(IllegalArgumentException.class, () -> set.add("adult", "AGE > 0;"));
      Map<String, Result> results = set.evaluate(Map.of("age", 30));
      assertEquals(List.of("adult", "name"), List.copyOf(results.keySet()));
      assertEquals(List.of(Status.HELD, Status.FAILED), results.values().stream().map(Result::status).toList());
    }
  }
}
