package org.rulecalc;

import java.lang.ref.Cleaner;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ConcurrentLinkedDeque;
import java.util.concurrent.locks.ReadWriteLock;
import java.util.concurrent.locks.ReentrantReadWriteLock;

/**
 * One sentence of the rule language, compiled once and evaluated against many sets of values.
 *
 * <p>The sentence is checked when the Rule is made: {@link AnalysisException} when it compiles for
 * no types of its variables. Variables take their types from {@code types} when declared there,
 * else from each value (a String is text, the rest numbers); the sentence is compiled once for
 * each combination of types and present variables the values bring. Each evaluation sets the
 * variables and runs from a clean machine, so nothing carries over from the one before.
 *
 * <p>Threads: one Rule may be shared by any number of threads. It pools its calculators: an
 * evaluation takes a free calculator set (or makes one), uses it alone and gives it back, so as
 * many evaluations run at once as there are threads, each on calculators no other thread uses at
 * the time. {@link #close} waits for evaluations under way and frees every calculator; later
 * calls throw IllegalStateException. A Rule never closed is freed when it is collected.
 */
public final class Rule implements AutoCloseable {
  static final Cleaner CLEANER = Cleaner.create();

  // Untyped variables up to this many are tried in every combination of types when the Rule checks
  // its sentence.
  private static final int MOST_TYPE_COMBINATIONS = 10;

  private final String sentence;
  private final byte[] gbkSentence;
  private final Settings settings;
  private final List<String> variables;
  private final List<byte[]> gbkNames;
  private final List<VariableType> declared;
  private final List<RuleWarning> warnings;
  private final Pool pool;
  private final Cleaner.Cleanable cleanable;
  private final ReadWriteLock closing = new ReentrantReadWriteLock();
  private boolean closed;

  public Rule(String sentence) {
    this(sentence, Settings.DEFAULT, Map.of());
  }

  public Rule(String sentence, Settings settings) {
    this(sentence, settings, Map.of());
  }

  /**
   * @param types declared types by variable name (letter case ignored); the others follow their values
   */
  public Rule(String sentence, Settings settings, Map<String, VariableType> types) {
    this.sentence = sentence;
    this.settings = settings;
    this.gbkSentence = Texts.gbk(sentence, "the sentence");
    this.pool = new Pool(settings, gbkSentence);
    this.cleanable = CLEANER.register(this, pool::closeAll);
    Calculator checker = pool.newCalculator();
    List<String> names = checker.varnames(gbkSentence);
    this.variables = names;
    this.gbkNames = names.stream().map(name -> Texts.gbk(name, "the variable name")).toList();
    Map<String, VariableType> folded = new HashMap<>();
    types.forEach((name, type) -> folded.put(folded(name), type));
    this.declared = names.stream().map(name -> folded.get(folded(name))).toList();
    this.warnings = checkedWarnings(checker);
  }

  public String sentence() {
    return sentence;
  }

  public Settings settings() {
    return settings;
  }

  /** The sentence's variable names, in order of first appearance. */
  public List<String> variables() {
    return variables;
  }

  /** The warnings of the sentence compiled for the types with the fewest of them. */
  public List<RuleWarning> warnings() {
    return warnings;
  }

  /**
   * Evaluates the sentence with these values; keys match variable names as the calculator does
   * (a-z as A-Z). A variable the map does not give is not set.
   */
  public Result evaluate(Map<String, ?> values) {
    List<Values.Variable> row = variablesOf(values);
    closing.readLock().lock();
    try {
      if (closed) {
        throw new IllegalStateException("the rule was closed");
      }
      Pool.Member member = pool.take();
      try {
        return member.analysedFor(row, this::analysisError).runWith(row);
      } finally {
        pool.giveBack(member);
      }
    } finally {
      closing.readLock().unlock();
    }
  }

  /** Frees the calculators now; a second close does nothing. */
  @Override
  public void close() {
    closing.writeLock().lock();
    try {
      closed = true;
      cleanable.clean();
    } finally {
      closing.writeLock().unlock();
    }
  }

  @Override
  public String toString() {
    return "Rule(" + sentence + ")";
  }

  private List<Values.Variable> variablesOf(Map<String, ?> values) {
    Map<String, String> keys = null;
    List<Values.Variable> row = new ArrayList<>(variables.size());
    for (int index = 0; index < variables.size(); index++) {
      String name = variables.get(index);
      String key = name;
      if (!values.containsKey(name)) {
        if (keys == null) {
          keys = new HashMap<>();
          for (String given : values.keySet()) {
            keys.putIfAbsent(folded(given), given);
          }
        }
        key = keys.get(folded(name));
        if (key == null) {
          continue;
        }
      }
      row.add(Values.variable(name, gbkNames.get(index), values.get(key), declared.get(index)));
    }
    return row;
  }

  private AnalysisException analysisError(String message, List<Values.Variable> row) {
    StringBuilder with = new StringBuilder();
    for (Values.Variable variable : row) {
      with.append(with.length() == 0 ? "" : ", ").append(Texts.decoded(variable.name(), 0, variable.name().length - 1))
          .append(variable.type() == 1 ? " as text" : " as number");
    }
    return new AnalysisException(message + " (with " + (with.length() == 0 ? "no variables" : with) + ")", sentence);
  }

  /** Compiles for the declared types and, for the rest, the choice with the fewest warnings. */
  private List<RuleWarning> checkedWarnings(Calculator checker) {
    String firstError = null;
    List<RuleWarning> fewest = null;
    for (List<VariableType> kinds : typeChoices()) {
      List<Values.Variable> empty = new ArrayList<>();
      for (int index = 0; index < kinds.size(); index++) {
        empty.add(new Values.Variable(gbkNames.get(index), new byte[] {0}, kinds.get(index).code()));
      }
      String error = checker.analyse(gbkSentence, empty);
      if (error != null) {
        firstError = firstError == null ? error : firstError;
        continue;
      }
      List<RuleWarning> found = checker.warnings(gbkSentence);
      if (fewest == null || found.size() < fewest.size()) {
        fewest = found;
      }
      if (fewest.isEmpty()) {
        break;
      }
    }
    checker.close();
    if (fewest == null) {
      close();
      throw new AnalysisException(firstError, sentence);
    }
    return List.copyOf(fewest);
  }

  private List<List<VariableType>> typeChoices() {
    List<Integer> open = new ArrayList<>();
    for (int index = 0; index < declared.size(); index++) {
      if (declared.get(index) == null) {
        open.add(index);
      }
    }
    List<List<VariableType>> choices = new ArrayList<>();
    int combinations = open.isEmpty() ? 1 : open.size() <= MOST_TYPE_COMBINATIONS ? 1 << open.size() : 2;
    for (int choice = 0; choice < combinations; choice++) {
      List<VariableType> kinds = new ArrayList<>(declared);
      for (int place = 0; place < open.size(); place++) {
        boolean text = combinations == 2 ? choice == 1 : (choice >> place & 1) == 1;
        kinds.set(open.get(place), text ? VariableType.TEXT : VariableType.NUMBER);
      }
      choices.add(kinds);
    }
    return choices;
  }

  static String folded(String name) {
    StringBuilder capitals = new StringBuilder(name.length());
    for (char c : name.toCharArray()) {
      capitals.append(c >= 'a' && c <= 'z' ? (char) (c - 32) : c);
    }
    return capitals.toString();
  }

  /**
   * The calculators of one Rule: members free for the next evaluation, and every member made (for
   * closing). Holds no reference to its Rule, so that the Cleaner can run.
   */
  private static final class Pool {
    // Compiled calculators a member keeps, one per combination of types and present variables;
    // beyond this many the least recently used is closed.
    private static final int MOST_ANALYSED = 32;

    private final Settings settings;
    private final byte[] sentence;
    private final ConcurrentLinkedDeque<Member> free = new ConcurrentLinkedDeque<>();
    private final List<Member> made = new ArrayList<>();

    Pool(Settings settings, byte[] sentence) {
      this.settings = settings;
      this.sentence = sentence;
    }

    Calculator newCalculator() {
      return new Calculator(settings);
    }

    Member take() {
      Member member = free.pollFirst();
      if (member == null) {
        member = new Member();
        synchronized (made) {
          made.add(member);
        }
      }
      return member;
    }

    void giveBack(Member member) {
      free.offerFirst(member);
    }

    void closeAll() {
      synchronized (made) {
        made.forEach(Member::close);
        made.clear();
      }
      free.clear();
    }

    interface ErrorMaker {
      AnalysisException make(String message, List<Values.Variable> row);
    }

    /** Calculators compiled for the signatures one thread at a time has met. */
    final class Member {
      private final Map<String, Object> analysed = new LinkedHashMap<>(16, 0.75f, true);

      Calculator analysedFor(List<Values.Variable> row, ErrorMaker error) {
        String signature = signature(row);
        Object found = analysed.get(signature);
        if (found == null) {
          found = compiled(row);
          analysed.put(signature, found);
          evictBeyondLimit();
        }
        if (found instanceof String message) {
          throw error.make(message, row);
        }
        return (Calculator) found;
      }

      private Object compiled(List<Values.Variable> row) {
        Calculator calculator = newCalculator();
        String message = calculator.analyse(sentence, row);
        if (message == null) {
          return calculator;
        }
        calculator.close();
        return message;
      }

      private void evictBeyondLimit() {
        if (analysed.size() > MOST_ANALYSED) {
          var eldest = analysed.entrySet().iterator();
          if (eldest.next().getValue() instanceof Calculator calculator) {
            calculator.close();
          }
          eldest.remove();
        }
      }

      void close() {
        for (Object value : analysed.values()) {
          if (value instanceof Calculator calculator) {
            calculator.close();
          }
        }
        analysed.clear();
      }

      private static String signature(List<Values.Variable> row) {
        StringBuilder key = new StringBuilder();
        for (Values.Variable variable : row) {
          key.append(new String(variable.name(), Texts.GBK)).append(variable.type());
        }
        return key.toString();
      }
    }
  }
}
