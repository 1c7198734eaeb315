import java.math.BigDecimal;
import java.time.LocalDate;
import java.util.Map;
import org.rulecalc.Result;
import org.rulecalc.Rule;
import org.rulecalc.RuleSet;
import org.rulecalc.Settings;
import org.rulecalc.VariableType;

/** One rule evaluated twice, then two named rules over one applicant. */
public class Example {
  public static void main(String[] arguments) {
    try (Rule rule = new Rule("IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;")) {
      Result result = rule.evaluate(Map.of("AGE", 16, "SCORE", 75));
      System.out.println(result.held() + " " + result.explanation());
      System.out.println(rule.evaluate(Map.of("AGE", 16, "SCORE", new BigDecimal("80.5"))).held());
    }

    Settings dates = Settings.DEFAULT.withDateOrder(Settings.DateOrder.DMY).withDateSeparator('.');
    Map<String, VariableType> columns = Map.of("BIRTH", VariableType.NUMBER, "APPLIED", VariableType.TEXT,
        "INCOME", VariableType.NUMBER);
    try (RuleSet checks = new RuleSet(dates, columns)) {
      checks.add("adult", "ADDMONTHS(BIRTH, 216) <= TODATE(APPLIED);");
      checks.add("income", "NVL(INCOME, 0) < 8000;");
      Map<String, Object> applicant = Map.of("BIRTH", LocalDate.of(2008, 8, 7), "APPLIED", "19.03.2025");
      checks.evaluate(applicant).forEach((name, verdict) ->
          System.out.println(name + ": " + verdict.status() + " " + verdict.variables()));
    }
  }
}
