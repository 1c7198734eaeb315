package org.rulecalc;

import com.sun.jna.Pointer;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;

/** One calculator of the library, used by one thread at a time; closed once. */
final class Calculator implements AutoCloseable {
  private Pointer handle;

  Calculator(Settings settings) {
    Native.load();
    handle = Native.rulecalc_open();
    if (handle == null) {
      throw new OutOfMemoryError("the rulecalc library could not make a calculator");
    }
    if (!configure(settings)) {
      close();
      throw new IllegalArgumentException("the library refused the settings " + settings);
    }
  }

  /** Wraps a calculator the library owns (a rule of a set): never closed from here. */
  private Calculator(Pointer borrowed) {
    handle = borrowed;
  }

  static Calculator borrowed(Pointer handle) {
    return new Calculator(handle);
  }

  Pointer handle() {
    return handle;
  }

  private boolean configure(Settings settings) {
    boolean accepted = Native.rulecalc_set_language(handle, settings.language().ordinal()) == 0;
    if (settings.dateOrder() != null) {
      accepted &= Native.rulecalc_set_date_order(handle, settings.dateOrder().ordinal()) == 0;
    }
    if (settings.dateSeparator() != null) {
      accepted &= Native.rulecalc_set_date_separator(handle, (byte) settings.dateSeparator().charValue()) == 0;
    }
    if (settings.currentYear() != null) {
      accepted &= Native.rulecalc_set_current_year(handle, settings.currentYear()) == 0;
    }
    return accepted;
  }

  /** The sentence's variable names, in order of first appearance. */
  List<String> varnames(byte[] sentence) {
    Native.rulecalc_set_sentence(handle, sentence);
    long[] length = new long[1];
    String listing = Texts.decoded(Texts.bytes(Native.rulecalc_varnames(handle, length), length));
    return listing.isEmpty() ? List.of() : List.of(listing.split(";", -1));
  }

  /** Clears, sets the variables and the sentence and analyses; null when it compiled, else why not. */
  String analyse(byte[] sentence, List<Values.Variable> variables) {
    Native.rulecalc_clear(handle);
    set(variables);
    Native.rulecalc_set_sentence(handle, sentence);
    if (Native.rulecalc_analyse(handle) == 1) {
      return null;
    }
    long[] length = new long[1];
    return Texts.decoded(Texts.bytes(Native.rulecalc_analyse_error(handle, length), length));
  }

  void set(List<Values.Variable> variables) {
    for (Values.Variable variable : variables) {
      Native.rulecalc_set_variable(handle, variable.name(), variable.value(), variable.type());
    }
  }

  /** Sets the variables and runs the analysed code from a clean machine. */
  Result runWith(List<Values.Variable> variables) {
    set(variables);
    return run();
  }

  /** Runs the analysed code from a clean machine. */
  Result run() {
    return resultOf(Native.rulecalc_run(handle), () -> {
      long[] length = new long[1];
      return Texts.bytes(Native.rulecalc_runtime_error(handle, length), length);
    });
  }

  interface TextSource {
    byte[] text();
  }

  /** The Result of a run's status, reading its run-time text only when it did not hold. */
  Result resultOf(int code, TextSource runtimeText) {
    Status status = Status.of(code);
    if (status == Status.HELD) {
      return Result.HELD;
    }
    byte[] text = runtimeText.text();
    if (status == Status.ERROR) {
      return Result.error(Texts.decoded(text));
    }
    return failed(text);
  }

  /** The explanation, its first failed clause and every clause's variables. */
  private Result failed(byte[] explanation) {
    String message = Texts.decoded(explanation);
    long[] textStart = new long[1], textLength = new long[1], namesStart = new long[1], namesLength = new long[1];
    String clause = null;
    Set<String> names = new LinkedHashSet<>();
    long count = Native.rulecalc_failed_clause_count(handle);
    for (long index = 0; index < count; index++) {
      if (Native.rulecalc_failed_clause(handle, index, textStart, textLength, namesStart, namesLength) != 0) {
        break;
      }
      if (clause == null) {
        clause = Texts.decoded(explanation, textStart[0], textLength[0]).strip();
      }
      String joined = Texts.decoded(explanation, namesStart[0], namesLength[0]);
      if (!joined.isEmpty()) {
        names.addAll(List.of(joined.split(",")));
      }
    }
    return new Result(false, Status.FAILED, message, clause == null ? message : clause, List.copyOf(names), "");
  }

  /** The warnings of the last successful analysis, at character positions of the sentence. */
  List<RuleWarning> warnings(byte[] sentence) {
    List<RuleWarning> found = new ArrayList<>();
    int[] position = new int[1];
    long[] length = new long[1];
    long count = Native.rulecalc_warning_count(handle);
    for (long index = 0; index < count; index++) {
      byte[] message = Texts.bytes(Native.rulecalc_warning(handle, index, position, length), length);
      int bytes = Math.max(0, Math.min(position[0], sentence.length - 1));
      found.add(new RuleWarning(Texts.decoded(message), Texts.decoded(sentence, 0, bytes).length()));
    }
    return found;
  }

  @Override
  public void close() {
    if (handle != null) {
      Native.rulecalc_close(handle);
      handle = null;
    }
  }
}
