package org.rulecalc;

/** The type of a variable: numbers and dates are {@code NUMBER}, everything else {@code TEXT}. */
public enum VariableType {
  NUMBER,
  TEXT;

  int code() {
    return ordinal();
  }
}
