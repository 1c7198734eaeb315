package org.rulecalc;

/**
 * A calculator's language and date settings; a date setting left {@code null} keeps the
 * platform's (its regional settings and clock).
 *
 * @param dateOrder the order TODATE reads and TOCHAR writes
 * @param dateSeparator one printable ASCII character, neither a letter, a digit nor a blank
 * @param currentYear 1 to 9999: the year TODATE assumes and two-digit years centre on
 * @param language the rule language the sentences are in
 */
public record Settings(DateOrder dateOrder, Character dateSeparator, Integer currentYear, Language language) {

  /** The order of day, month and year in a date's text. */
  public enum DateOrder {
    MDY,
    DMY,
    YMD
  }

  /** The rule language: the classic one, or the extended one with brackets, NOT, IN and more. */
  public enum Language {
    CLASSIC,
    EXTENDED
  }

  /** The platform's date settings and the classic language. */
  public static final Settings DEFAULT = new Settings(null, null, null, Language.CLASSIC);

  public Settings {
    if (language == null) {
      throw new IllegalArgumentException("the language must be given");
    }
    if (dateSeparator != null && !acceptableSeparator(dateSeparator)) {
      throw new IllegalArgumentException(
          "the date separator must be a printable ASCII character, neither a letter, a digit nor a blank, not '"
              + dateSeparator + "'");
    }
    if (currentYear != null && (currentYear < 1 || currentYear > 9999)) {
      throw new IllegalArgumentException("the current year must be 1 to 9999, not " + currentYear);
    }
  }

  public Settings withDateOrder(DateOrder order) {
    return new Settings(order, dateSeparator, currentYear, language);
  }

  public Settings withDateSeparator(char separator) {
    return new Settings(dateOrder, separator, currentYear, language);
  }

  public Settings withCurrentYear(int year) {
    return new Settings(dateOrder, dateSeparator, year, language);
  }

  public Settings withLanguage(Language chosen) {
    return new Settings(dateOrder, dateSeparator, currentYear, chosen);
  }

  private static boolean acceptableSeparator(char c) {
    return c > ' ' && c < 0x7f && !Character.isLetterOrDigit(c);
  }
}
