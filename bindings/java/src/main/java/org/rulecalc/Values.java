package org.rulecalc;

import java.math.BigDecimal;
import java.math.BigInteger;
import java.time.LocalDate;
import java.time.LocalDateTime;
import java.time.temporal.ChronoUnit;
import java.util.regex.Pattern;

/**
 * Java values as the library takes them: a GBK text and a type.
 *
 * <p>A String is text, every other value a number, unless the variable's type is declared. Dates
 * are day numbers: days since 30 December 1899, the time of day as the fraction. null is the null:
 * the null number, or the empty text. A value the library cannot hold as written (NaN, an
 * infinity, a number beyond a double's range, a text GBK lacks, a text that is no number for a
 * numeric variable) throws IllegalArgumentException naming the variable.
 */
final class Values {
  private static final LocalDateTime DATE_ORIGIN = LocalDateTime.of(1899, 12, 30, 0, 0);
  private static final double NANOS_PER_DAY = 86_400e9;
  private static final byte[] EMPTY = {0};

  /** One variable for the library: name and value as NUL-terminated GBK, and the type code. */
  record Variable(byte[] name, byte[] value, int type) {}

  private static volatile char separator;

  private Values() {}

  static Variable variable(String name, byte[] gbkName, Object value, VariableType declared) {
    VariableType type = declared != null ? declared : value instanceof String ? VariableType.TEXT : VariableType.NUMBER;
    return new Variable(gbkName, text(name, value, type), type.code());
  }

  /** The library's text of a value for a variable of the type. */
  static byte[] text(String name, Object value, VariableType type) {
    if (value == null) {
      return EMPTY;
    }
    if (value instanceof String text) {
      return type == VariableType.TEXT ? Texts.gbk(text, "the value of " + name) : numberText(name, text);
    }
    if (type == VariableType.TEXT && (value instanceof LocalDate || value instanceof LocalDateTime)) {
      throw new IllegalArgumentException("the value of " + name + " is a date, which a text variable cannot take");
    }
    String digits = digits(name, value);
    return Texts.ascii(type == VariableType.TEXT ? digits : digits.replace('.', decimalSeparator()));
  }

  /** A number's text with a point. */
  private static String digits(String name, Object value) {
    if (value instanceof Integer || value instanceof Long || value instanceof Short || value instanceof Byte) {
      return value.toString();
    }
    if (value instanceof Boolean flag) {
      return flag ? "1" : "0";
    }
    if (value instanceof Double || value instanceof Float) {
      return finite(name, value, ((Number) value).doubleValue(), value.toString());
    }
    if (value instanceof BigDecimal decimal) {
      return finite(name, value, decimal.doubleValue(), decimal.toString());
    }
    if (value instanceof BigInteger whole) {
      return finite(name, value, whole.doubleValue(), whole.toString());
    }
    if (value instanceof LocalDate date) {
      return Long.toString(ChronoUnit.DAYS.between(DATE_ORIGIN.toLocalDate(), date));
    }
    if (value instanceof LocalDateTime moment) {
      long nanos = ChronoUnit.NANOS.between(DATE_ORIGIN, moment);
      return Double.toString(nanos / NANOS_PER_DAY);
    }
    throw new IllegalArgumentException("the value of " + name
        + " must be a String, a number, a LocalDate, a LocalDateTime or null, not " + value.getClass().getName());
  }

  private static String finite(String name, Object value, double number, String digits) {
    if (!Double.isFinite(number)) {
      throw new IllegalArgumentException(
          "the value of " + name + " is " + value + ", which the library cannot hold as a number");
    }
    return digits;
  }

  private static byte[] numberText(String name, String text) {
    if (text.isEmpty()) {
      return EMPTY;
    }
    char point = decimalSeparator();
    String escaped = Pattern.quote(String.valueOf(point));
    String number = " *[+-]?(?:\\d+(?:" + escaped + "\\d*)?|" + escaped + "\\d+)(?:[eE][+-]?\\d+)? *";
    if (!text.matches(number)) {
      throw new IllegalArgumentException("the value of " + name + " is \"" + text + "\", which is not a number");
    }
    finite(name, text, Double.parseDouble(text.strip().replace(point, '.')), text);
    return Texts.ascii(text);
  }

  /** The decimal separator the library reads numbers with (the process locale's), found by asking it. */
  static char decimalSeparator() {
    if (separator == 0) {
      separator = askedSeparator();
    }
    return separator;
  }

  private static char askedSeparator() {
    byte[] name = Texts.ascii("X");
    try (Calculator calculator = new Calculator(Settings.DEFAULT)) {
      String error = calculator.analyse(Texts.ascii("X*4=2;"),
          java.util.List.of(new Variable(name, Texts.ascii("0,5"), VariableType.NUMBER.code())));
      return error == null && calculator.run().held() ? ',' : '.';
    }
  }
}
