package org.rulecalc;

/** How one evaluation ended. */
public enum Status {
  /** The sentence holds (or there was no code to run). */
  HELD,
  /** It does not hold: the explanation says which clauses failed. */
  FAILED,
  /** A run-time error stopped it. */
  ERROR;

  static Status of(int code) {
    return code == 0 ? HELD : code == 1 ? FAILED : ERROR;
  }
}
