package org.rulecalc;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.sun.jna.Library;
import com.sun.jna.Pointer;
import java.io.IOException;
import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

/** The shipped rules over the shipped data give the verdicts of the tool's CSV report, row for row. */
class ExamplesTest {
  private static final Path SOURCE = Path.of(System.getProperty("rulecalc.test.source"));
  private static final Path RULES = SOURCE.resolve("examples/applicants.rules");
  private static final Path DATA = SOURCE.resolve("examples/applicants.csv");

  /** The batch engine's reader of rules files, so that the test reads them as the tool does. */
  interface RulesReader extends Library {
    Pointer rulecalc_batch_new();

    void rulecalc_batch_free(Pointer batch);

    int rulecalc_batch_read_rules(Pointer batch, String path);

    long rulecalc_batch_rule_count(Pointer batch);

    int rulecalc_batch_rule(Pointer batch, long index, Pointer[] id, Pointer[] description, Pointer[] sentence,
        long[] line);
  }

  @Test
  void theExampleRulesGiveTheToolsVerdicts() throws Exception {
    List<List<String>> table = Csv.read(Files.readString(DATA, StandardCharsets.UTF_8));
    Map<String, VariableType> columns = columnTypes(table);
    Settings mdy = Settings.DEFAULT.withDateOrder(Settings.DateOrder.MDY).withDateSeparator('/');
    List<String> verdicts = new ArrayList<>();
    try (RuleSet set = new RuleSet(mdy, columns)) {
      readRules().forEach(set::add);
      for (int row = 1; row < table.size(); row++) {
        Map<String, Object> record = record(table.get(0), table.get(row), columns);
        for (var verdict : set.evaluate(record).entrySet()) {
          verdicts.add(row + "," + verdict.getKey() + "," + cells(verdict.getValue()));
        }
      }
    }
    assertEquals(toolVerdicts(), verdicts);
  }

  private static String cells(Result result) {
    return switch (result.status()) {
      case HELD -> "true,";
      case FAILED -> "false," + result.explanation();
      case ERROR -> "error," + result.error();
    };
  }

  /** Each column by its header's type, else a number when every value reads as one, else text. */
  private static Map<String, VariableType> columnTypes(List<List<String>> table) {
    Map<String, VariableType> types = new LinkedHashMap<>();
    for (int column = 0; column < table.get(0).size(); column++) {
      String[] header = table.get(0).get(column).split(":");
      boolean numbers = header.length == 1;
      for (int row = 1; row < table.size() && numbers; row++) {
        numbers = table.get(row).get(column).matches("|-?\\d+(\\.\\d*)?");
      }
      types.put(header[0], numbers ? VariableType.NUMBER : VariableType.TEXT);
    }
    return types;
  }

  /** A data row with numbers as BigDecimal or long, empty numbers as null. */
  private static Map<String, Object> record(List<String> header, List<String> cells, Map<String, VariableType> types) {
    Map<String, Object> record = new HashMap<>();
    for (int column = 0; column < header.size(); column++) {
      String name = header.get(column).split(":")[0];
      String cell = cells.get(column);
      Object value = cell;
      if (types.get(name) == VariableType.NUMBER) {
        value = cell.isEmpty() ? null : cell.contains(".") ? new BigDecimal(cell) : (Object) Long.parseLong(cell);
      }
      record.put(name, value);
    }
    return record;
  }

  private static Map<String, String> readRules() {
    RulesReader reader = com.sun.jna.Native.load(System.getProperty("rulecalc.test.batch"), RulesReader.class);
    Pointer batch = reader.rulecalc_batch_new();
    try {
      assertEquals(0, reader.rulecalc_batch_read_rules(batch, RULES.toString()));
      Map<String, String> rules = new LinkedHashMap<>();
      for (long index = 0; index < reader.rulecalc_batch_rule_count(batch); index++) {
        Pointer[] id = new Pointer[1];
        Pointer[] sentence = new Pointer[1];
        reader.rulecalc_batch_rule(batch, index, id, null, sentence, null);
        rules.put(id[0].getString(0, "UTF-8"), sentence[0].getString(0, "GBK"));
      }
      return rules;
    } finally {
      reader.rulecalc_batch_free(batch);
    }
  }

  private static List<String> toolVerdicts() throws IOException, InterruptedException {
    Process tool = new ProcessBuilder(System.getProperty("rulecalc.test.tool"), "batch", "--rules", RULES.toString(),
        "--data", DATA.toString(), "--format", "csv", "--raw-cells")
        .redirectError(ProcessBuilder.Redirect.DISCARD).start();
    String report = new String(tool.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    tool.waitFor();
    List<List<String>> lines = Csv.read(report);
    List<String> verdicts = new ArrayList<>();
    for (List<String> line : lines.subList(1, lines.size())) {
      verdicts.add(String.join(",", line));
    }
    return verdicts;
  }

  /** Comma-separated values with double-quoted cells, as RFC 4180 writes them. */
  static final class Csv {
    private Csv() {}

    static List<List<String>> read(String text) {
      List<List<String>> lines = new ArrayList<>();
      List<String> line = new ArrayList<>();
      StringBuilder cell = new StringBuilder();
      boolean quoted = false;
      for (int i = 0; i < text.length(); i++) {
        char c = text.charAt(i);
        if (quoted) {
          if (c != '"') {
            cell.append(c);
          } else if (i + 1 < text.length() && text.charAt(i + 1) == '"') {
            cell.append('"');
            i++;
          } else {
            quoted = false;
          }
        } else if (c == '"') {
          quoted = true;
        } else if (c == ',') {
          line.add(cell.toString());
          cell.setLength(0);
        } else if (c == '\n') {
          line.add(cell.toString());
          cell.setLength(0);
          lines.add(line);
          line = new ArrayList<>();
        } else if (c != '\r') {
          cell.append(c);
        }
      }
      if (cell.length() > 0 || !line.isEmpty()) {
        line.add(cell.toString());
        lines.add(line);
      }
      return lines;
    }
  }
}
