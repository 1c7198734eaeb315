package org.rulecalc;

import com.sun.jna.NativeLong;
import com.sun.jna.Pointer;
import java.lang.ref.Cleaner;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Many named rules over one record: the variables are declared once with their types, each rule is
 * compiled once when added, and one evaluation sets every variable once and runs every rule.
 *
 * <p>Threads: a RuleSet takes one call at a time (its methods take turns); give each thread a set of
 * its own to evaluate in parallel. Closed by {@link #close}, or freed when collected.
 */
public final class RuleSet implements AutoCloseable {
  private final Map<String, VariableType> types = new LinkedHashMap<>();
  private final Map<String, NativeLong> slots = new HashMap<>();
  private final Map<String, Integer> ruleIndexes = new LinkedHashMap<>();
  private final Map<String, List<RuleWarning>> warnings = new HashMap<>();
  private final Owned owned;
  private final Cleaner.Cleanable cleanable;
  private byte[] statuses = new byte[0];

  /**
   * @param variables every variable the rules name, with its type (names: letter case ignored)
   */
  public RuleSet(Settings settings, Map<String, VariableType> variables) {
    Pointer rules;
    try (Calculator model = new Calculator(settings)) {
      rules = Native.rulecalc_rules_open(model.handle());
    }
    if (rules == null) {
      throw new OutOfMemoryError("the rulecalc library could not make a rule set");
    }
    owned = new Owned(rules);
    cleanable = Rule.CLEANER.register(this, owned);
    variables.forEach(this::bind);
  }

  private void bind(String name, VariableType type) {
    String key = Rule.folded(name);
    NativeLong slot = Native.rulecalc_rules_bind(owned.rules, Texts.gbk(name, "the variable name"), type.code());
    if (slot.longValue() < 0) {
      throw new OutOfMemoryError("the rulecalc library could not bind " + name);
    }
    types.put(key, type);
    slots.put(key, slot);
  }

  /**
   * Compiles the sentence as the rule of this name; AnalysisException (and nothing added) when it
   * does not compile, IllegalArgumentException for a name already taken.
   */
  public synchronized void add(String name, String sentence) {
    Pointer rules = owned.open();
    if (ruleIndexes.containsKey(name)) {
      throw new IllegalArgumentException("the set has a rule " + name + " already");
    }
    byte[] gbkSentence = Texts.gbk(sentence, "the sentence of " + name);
    long index = Native.rulecalc_rules_add(rules, Texts.gbk(name, "the rule name"), gbkSentence).longValue();
    if (index < 0) {
      throw new OutOfMemoryError("the rulecalc library could not add " + name);
    }
    // A rule that does not compile stays in the library's set (and errs on every run): the
    // statuses must have room for it too.
    statuses = new byte[Math.toIntExact(Native.rulecalc_rules_count(rules))];
    Calculator rule = Calculator.borrowed(Native.rulecalc_rules_rule(rules, index));
    if (Native.rulecalc_analyse(rule.handle()) != 1) {
      long[] length = new long[1];
      String message = Texts.decoded(Texts.bytes(Native.rulecalc_rules_text(rules, index, length), length));
      throw new AnalysisException(message, sentence);
    }
    ruleIndexes.put(name, (int) index);
    warnings.put(name, rule.warnings(gbkSentence));
  }

  /** The rules' names, in order of adding. */
  public synchronized List<String> names() {
    return List.copyOf(ruleIndexes.keySet());
  }

  /** The warnings of the named rule's sentence. */
  public synchronized List<RuleWarning> warnings(String name) {
    List<RuleWarning> found = warnings.get(name);
    if (found == null) {
      throw new IllegalArgumentException("the set has no rule " + name);
    }
    return found;
  }

  /**
   * Evaluates every rule against the record (keys: letter case ignored); a declared variable the
   * record does not give is the null. Results by rule name, in order of adding.
   */
  public synchronized Map<String, Result> evaluate(Map<String, ?> record) {
    Pointer rules = owned.open();
    Map<String, Object> values = new HashMap<>();
    record.forEach((name, value) -> values.put(Rule.folded(name), value));
    for (var variable : types.entrySet()) {
      String name = variable.getKey();
      byte[] text = Values.text(name, values.get(name), variable.getValue());
      Native.rulecalc_rules_set_text(rules, slots.get(name), text, text.length - 1);
    }
    Native.rulecalc_rules_run(rules, statuses);
    Map<String, Result> results = new LinkedHashMap<>();
    for (var rule : ruleIndexes.entrySet()) {
      int index = rule.getValue();
      Calculator calculator = Calculator.borrowed(Native.rulecalc_rules_rule(rules, index));
      results.put(rule.getKey(), calculator.resultOf(statuses[index], () -> {
        long[] length = new long[1];
        return Texts.bytes(Native.rulecalc_rules_text(rules, index, length), length);
      }));
    }
    return results;
  }

  /** Frees the set and its rules now; a second close does nothing. */
  @Override
  public synchronized void close() {
    cleanable.clean();
  }

  /** The library's set, closed once; holds no reference to the RuleSet. */
  private static final class Owned implements Runnable {
    private volatile Pointer rules;

    Owned(Pointer rules) {
      this.rules = rules;
    }

    Pointer open() {
      Pointer current = rules;
      if (current == null) {
        throw new IllegalStateException("the rule set was closed");
      }
      return current;
    }

    @Override
    public void run() {
      Pointer current = rules;
      rules = null;
      if (current != null) {
        Native.rulecalc_rules_close(current);
      }
    }
  }
}
