package org.rulecalc;

import java.util.List;

/**
 * The outcome of one evaluation; {@code held} exactly when the sentence holds.
 *
 * @param held whether the sentence holds
 * @param status how the run ended
 * @param explanation the calculator's text when the sentence does not hold, else ""
 * @param clause the first failed clause of the explanation, else ""
 * @param variables the variable names of every failed clause, each once, in order
 * @param error the run-time error's message, else ""
 */
public record Result(
    boolean held, Status status, String explanation, String clause, List<String> variables, String error) {

  public Result {
    variables = List.copyOf(variables);
  }

  static final Result HELD = new Result(true, Status.HELD, "", "", List.of(), "");

  static Result error(String message) {
    return new Result(false, Status.ERROR, "", "", List.of(), message);
  }
}
