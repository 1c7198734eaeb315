package org.rulecalc;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.math.BigDecimal;
import java.time.LocalDate;
import java.time.LocalDateTime;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** Every kind of Java value a variable takes, and every value the calculator cannot hold. */
class ValuesTest {
  private static final Settings MDY = Settings.DEFAULT.withDateOrder(Settings.DateOrder.MDY).withDateSeparator('/');

  static Stream<Arguments> heldValues() {
    return Stream.of(
        Arguments.of("GBK text", "LENGTH(X) = 4 AND X = \"张伟\";", "张伟", null),
        Arguments.of("int", "X = 20;", 20, null),
        Arguments.of("long", "X - 4000000000 = 1;", 4000000001L, null),
        Arguments.of("double", "X = 2.5;", 2.5, null),
        Arguments.of("BigDecimal", "X = 12.5;", new BigDecimal("12.50"), null),
        Arguments.of("BigDecimal declared text, as written", "X = \"12.50\";", new BigDecimal("12.50"),
            VariableType.TEXT),
        Arguments.of("LocalDate as its day number", "X = TODATE(\"03/19/2025\") AND X = 45735;",
            LocalDate.of(2025, 3, 19), null),
        Arguments.of("LocalDateTime with the time as the fraction", "X = 45735.75;",
            LocalDateTime.of(2025, 3, 19, 18, 0), null),
        Arguments.of("null number", "NVL(X, 7) = 7;", null, null),
        Arguments.of("null text", "X = \"\";", null, VariableType.TEXT),
        Arguments.of("number declared text", "X = \"12\";", 12, VariableType.TEXT),
        Arguments.of("text declared number", "X + 1 = 13.5;", "12.5", VariableType.NUMBER));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("heldValues")
  void aValueReachesTheCalculatorAsWritten(String what, String sentence, Object value, VariableType declared) {
    try (Rule rule = new Rule(sentence, MDY, declared == null ? Map.of() : Map.of("X", declared))) {
      Result result = rule.evaluate(withX(value));
      assertTrue(result.held(), () -> what + ": " + result);
    }
  }

  static Stream<Arguments> refusedValues() {
    return Stream.of(
        Arguments.of(Double.NaN, null),
        Arguments.of(Double.POSITIVE_INFINITY, null),
        Arguments.of(Double.NEGATIVE_INFINITY, null),
        Arguments.of(Float.NaN, null),
        Arguments.of(new BigDecimal("1e400"), null),
        Arguments.of("笑😀", null),
        Arguments.of("a\0b", null),
        Arguments.of("twelve", VariableType.NUMBER),
        Arguments.of(LocalDate.of(2025, 3, 19), VariableType.TEXT),
        Arguments.of(List.of(1), null));
  }

  @ParameterizedTest(name = "{0} as {1}")
  @MethodSource("refusedValues")
  void aValueTheCalculatorCannotHoldIsRefusedByName(Object value, VariableType declared) {
    try (Rule rule = new Rule("X = X;", Settings.DEFAULT,
        declared == null ? Map.of() : Map.of("X", declared))) {
      IllegalArgumentException refused = assertThrows(IllegalArgumentException.class,
          () -> rule.evaluate(withX(value)));
      assertTrue(refused.getMessage().contains("value of X"), refused.getMessage());
    }
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("keysInAnyCase")
  void keysMatchVariablesWithLettersInAnyCase(String key) {
    try (Rule rule = new Rule("Age >= 18;")) {
      assertEquals(Status.HELD, rule.evaluate(Map.of(key, 18)).status());
    }
  }

  static Stream<String> keysInAnyCase() {
    return Stream.of("Age", "AGE", "age");
  }

  private static Map<String, Object> withX(Object value) {
    Map<String, Object> values = new HashMap<>();
    values.put("X", value);
    return values;
  }
}
