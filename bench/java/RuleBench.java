import java.util.HashMap;
import java.util.Map;
import org.rulecalc.Rule;

/** Evaluations per second of the rule handle_loop.c runs, through the Java library. */
public class RuleBench {
  public static void main(String[] arguments) {
    long evaluations = arguments.length > 0 ? Long.parseLong(arguments[0]) : 1_000_000;
    try (Rule rule = new Rule("IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;")) {
      run(rule, evaluations / 10);
      long start = System.nanoTime();
      long held = run(rule, evaluations);
      double seconds = (System.nanoTime() - start) / 1e9;
      System.out.printf("Java Rule: %.0f evaluations/s (%d held)%n", evaluations / seconds, held);
    }
  }

  private static long run(Rule rule, long evaluations) {
    long held = 0;
    Map<String, Object> values = new HashMap<>();
    for (long i = 0; i < evaluations; i++) {
      values.put("AGE", i % 40);
      values.put("SCORE", i % 100);
      held += rule.evaluate(values).held() ? 1 : 0;
    }
    return held;
  }
}
