package org.rulecalc;

import com.sun.jna.NativeLibrary;
import com.sun.jna.NativeLong;
import com.sun.jna.Pointer;
import java.io.File;

/**
 * The handle functions of librulecalc, bound once per process.
 *
 * <p>The library is the file named by the system property {@code rulecalc.library.path} when it is
 * set; else the one the system finds (the dynamic loader's path, {@code jna.library.path}); else the
 * copy this jar carries for linux-x86-64. Texts cross as NUL-terminated GBK byte arrays; {@code
 * size_t} is a Java {@code long}, so the binding asks for a 64-bit platform.
 */
final class Native {
  static final String PATH_PROPERTY = "rulecalc.library.path";

  static {
    if (com.sun.jna.Native.SIZE_T_SIZE != Long.BYTES) {
      throw new UnsupportedOperationException("the rulecalc binding needs a 64-bit platform");
    }
    com.sun.jna.Native.register(Native.class, library());
  }

  private Native() {}

  private static NativeLibrary library() {
    String chosen = System.getProperty(PATH_PROPERTY);
    if (chosen == null || chosen.isEmpty()) {
      return NativeLibrary.getInstance("rulecalc");
    }
    if (!new File(chosen).isFile()) {
      throw new UnsatisfiedLinkError(PATH_PROPERTY + " names " + chosen + ", which is no file");
    }
    return NativeLibrary.getInstance(new File(chosen).getAbsolutePath());
  }

  /** Loads the library now (a class initialiser's error surfaces here, once). */
  static void load() {}

  static native Pointer rulecalc_version();

  static native Pointer rulecalc_open();

  static native void rulecalc_close(Pointer calc);

  static native void rulecalc_set_sentence(Pointer calc, byte[] sentence);

  static native Pointer rulecalc_varnames(Pointer calc, long[] length);

  static native void rulecalc_clear(Pointer calc);

  static native void rulecalc_set_variable(Pointer calc, byte[] name, byte[] value, int type);

  static native int rulecalc_analyse(Pointer calc);

  static native Pointer rulecalc_analyse_error(Pointer calc, long[] length);

  static native int rulecalc_run(Pointer calc);

  static native Pointer rulecalc_runtime_error(Pointer calc, long[] length);

  static native int rulecalc_set_date_order(Pointer calc, int order);

  static native int rulecalc_set_date_separator(Pointer calc, byte separator);

  static native int rulecalc_set_current_year(Pointer calc, int year);

  static native int rulecalc_set_language(Pointer calc, int language);

  static native long rulecalc_warning_count(Pointer calc);

  static native Pointer rulecalc_warning(Pointer calc, long index, int[] position, long[] length);

  static native long rulecalc_failed_clause_count(Pointer calc);

  static native int rulecalc_failed_clause(
      Pointer calc, long index, long[] textStart, long[] textLength, long[] namesStart, long[] namesLength);

  static native Pointer rulecalc_rules_open(Pointer settings);

  static native void rulecalc_rules_close(Pointer rules);

  static native NativeLong rulecalc_rules_bind(Pointer rules, byte[] name, int type);

  static native int rulecalc_rules_set_text(Pointer rules, NativeLong slot, byte[] bytes, long length);

  static native NativeLong rulecalc_rules_add(Pointer rules, byte[] name, byte[] sentence);

  static native int rulecalc_rules_run(Pointer rules, byte[] statuses);

  static native long rulecalc_rules_count(Pointer rules);

  static native Pointer rulecalc_rules_text(Pointer rules, long index, long[] length);

  static native Pointer rulecalc_rules_rule(Pointer rules, long index);
}
