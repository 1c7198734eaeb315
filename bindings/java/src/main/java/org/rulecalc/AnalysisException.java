package org.rulecalc;

/** A sentence that does not compile, for the variables' types it was given. */
public final class AnalysisException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  private final String sentence;

  AnalysisException(String message, String sentence) {
    super(message);
    this.sentence = sentence;
  }

  /** The sentence that did not compile. */
  public String sentence() {
    return sentence;
  }
}
