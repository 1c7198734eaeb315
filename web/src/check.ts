// A rules file checked against a data file by the tool's batch engine: per
// rule the rows that held, failed and stopped with an error, the most common
// explanations, and the rows that need attention.
import { runBatch, type BatchColumn, type NamedBytes } from './batch';
import type { Library, Status } from './rulecalc';

export interface RuleCount {
  id: string;
  description: string;
  held: number;
  failed: number;
  errors: number;
  analyseError: string;
  // The rule's @max-failed limit ("" for none) and whether its failures crossed it.
  maxFailed: string;
  maxFailedCrossed: boolean;
  // The explanations given most often, with how many rows gave each.
  common: Array<[string, number]>;
}

export interface AttentionRow {
  row: number;
  key: string;
  rule: string;
  status: Status;
  text: string;
}

export interface Report {
  rows: number;
  skipped: number;
  columns: BatchColumn[];
  rules: RuleCount[];
  attention: AttentionRow[];
  // What the engine said of the files: warnings, columns, skipped rows.
  notes: string[];
  encoding: string;
  milliseconds: number;
}

// As many as the tool's HTML report shows.
const commonExplanations = 5;

function csvField(text: string): string {
  return /[",\r\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text;
}

// The rows needing attention as CSV: row, key, rule, result (false or
// error), explanation.
export function attentionCsv(report: Report): string {
  const lines = ['row,key,rule,result,explanation'];
  for (const row of report.attention)
    lines.push([String(row.row), row.key, row.rule, row.status === 'failed' ? 'false' : 'error', row.text].map(csvField).join(','));
  return lines.join('\r\n') + '\r\n';
}

function mostCommon(rows: AttentionRow[]): Array<[string, number]> {
  const times = new Map<string, number>();
  for (const row of rows) times.set(row.text, (times.get(row.text) ?? 0) + 1);
  return [...times].sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1)).slice(0, commonExplanations);
}

export function checkFile(library: Library, rules: NamedBytes, data: NamedBytes): Report {
  const batch = runBatch(library.memory, rules, data);
  const attention: AttentionRow[] = batch.verdicts.map((verdict) => ({ row: verdict.row, key: verdict.key,
    rule: verdict.rule, status: verdict.result === 'false' ? 'failed' : 'error', text: verdict.explanation }));
  const byRule = new Map<string, AttentionRow[]>();
  for (const row of attention) {
    const rows = byRule.get(row.rule);
    if (rows) rows.push(row);
    else byRule.set(row.rule, [row]);
  }
  return {
    rows: batch.rowsEvaluated,
    skipped: batch.rowsSkipped,
    columns: batch.columns,
    rules: batch.rules.map((rule) => ({ id: rule.rule, description: rule.description, held: rule.held,
      failed: rule.failed, errors: rule.errors, analyseError: rule.analysisError,
      maxFailed: rule.maxFailed, maxFailedCrossed: rule.maxFailedCrossed,
      common: mostCommon(byRule.get(rule.rule) ?? []) })),
    attention,
    notes: [...batch.problems.map((problem) => problem.message), ...batch.diagnostics],
    encoding: batch.encoding,
    milliseconds: batch.milliseconds,
  };
}
