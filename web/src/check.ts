// A rules file checked against a CSV file, record by record, with one rule
// set: per rule the rows that held, failed and stopped with an error, and
// the rows that need attention with their explanations.
import { readCsv } from './csv';
import type { Calculator, Library, Status, VariableType } from './rulecalc';
import { readRulesFile, type RulesFile } from './rulesfile';

export interface Column {
  name: string;
  type: VariableType;
  declared: boolean;
}

export interface RuleCount {
  id: string;
  description: string;
  held: number;
  failed: number;
  errors: number;
  analyseError: string;
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
  columns: Column[];
  firstRecord: string[];
  rules: RuleCount[];
  attention: AttentionRow[];
  ignoredSettings: string[];
  milliseconds: number;
}

// "NAME", "NAME:text" or "NAME:num" (the suffix in any letter case).
function readHeaderCell(cell: string, index: number): { name: string; type?: VariableType } {
  const match = /^\s*([^:]*?)\s*(?::\s*(\w+)\s*)?$/.exec(cell);
  const suffix = match?.[2]?.toLowerCase();
  if (!match || !match[1]) throw new Error(`column ${index + 1} of the header: '${cell}': the variable name is missing`);
  if (suffix === undefined) return { name: match[1] };
  if (suffix === 'text' || suffix === 'num') return { name: match[1], type: suffix === 'num' ? 'number' : 'text' };
  throw new Error(`column ${index + 1} of the header: '${cell}': the page reads the types :text and :num`);
}

// A column without a type is numeric when every value is empty or reads as
// a number, text as soon as one does not.
function columnsOf(header: string[], records: string[][], settings: Calculator): Column[] {
  return header.map((cell, c) => {
    const { name, type } = readHeaderCell(cell, c);
    if (type) return { name, type, declared: true };
    const numeric = records.every((record) => record[c] === '' || settings.readNumber(record[c]) !== null);
    return { name, type: numeric ? 'number' : 'text', declared: false };
  });
}

function settingsFor(library: Library, file: RulesFile): Calculator {
  const settings = library.open();
  settings.setLanguage(file.language);
  if (file.dateOrder) settings.setDateOrder(file.dateOrder);
  if (file.dateSeparator) settings.setDateSeparator(file.dateSeparator);
  return settings;
}

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

export function checkFile(library: Library, rulesText: string, csvText: string): Report {
  const started = performance.now();
  const file = readRulesFile(rulesText);
  const [header, ...body] = readCsv(csvText);
  if (!header) throw new Error('the data file has no header');
  const records = body.filter((record) => record.length === header.length);
  const settings = settingsFor(library, file);
  const columns = columnsOf(header, records, settings);
  const set = library.openRules(settings);
  try {
    const slots = columns.map((column) => set.bind(column.name, column.type));
    const counts: RuleCount[] = file.rules.map((rule) => {
      const index = set.add(rule.id, rule.sentence);
      const analysed = set.rule(index).analyse();
      return { id: set.name(index), description: rule.description, held: 0, failed: 0, errors: 0,
        analyseError: analysed ? '' : set.text(index) };
    });
    const named = file.rules.map((_, i) => new Set(set.rule(i).varnames().map((n) => n.toUpperCase())));
    const attention: AttentionRow[] = [];
    records.forEach((record, r) => {
      set.setTexts(slots, record);
      const unreadable = columns
        .map((column, c) => ({ column, value: record[c] }))
        .filter(({ column, value }) => column.declared && column.type === 'number' && value !== '' &&
          settings.readNumber(value) === null);
      const statuses = set.run();
      statuses.forEach((ruleStatus, i) => {
        const bad = unreadable.find(({ column }) => named[i].has(column.name.toUpperCase()));
        const status: Status = bad ? 'error' : ruleStatus;
        const count = counts[i];
        if (status === 'held') ++count.held;
        else if (status === 'failed') ++count.failed;
        else ++count.errors;
        if (status !== 'held')
          attention.push({ row: r + 1, key: record[0], rule: count.id, status,
            text: bad ? `${bad.column.name}=${bad.value} is not a number` : set.text(i) });
      });
    });
    return { rows: records.length, skipped: body.length - records.length, columns,
      firstRecord: records[0] ?? [], rules: counts, attention,
      ignoredSettings: file.ignoredSettings, milliseconds: performance.now() - started };
  } finally {
    set.close();
    settings.close();
  }
}
