// The tool's batch engine in the page: a rules file against a data file,
// run in blocks (no threads, no callbacks), with the JSON-lines report read
// back into verdicts and per-rule summaries. Every reading of the files (their
// encodings, typed headers, dates, pictures, settings) is the tool's.
import type { Memory } from './rulecalc';

export type Outcome = 'true' | 'false' | 'error';

export interface Verdict {
  row: number;
  key: string;
  rule: string;
  result: Outcome;
  explanation: string;
  values: Record<string, string>;
  notes: string[];
}

export interface RuleSummary {
  rule: string;
  description: string;
  held: number;
  failed: number;
  errors: number;
  analysisError: string;
  maxFailed: string;
  maxFailedCrossed: boolean;
}

export interface Problem {
  kind: string;
  rule: string;
  message: string;
}

export interface BatchColumn {
  name: string;
  type: 'number' | 'text';
  declared: boolean;
  dateReading: string;
}

export interface BatchReport {
  verdicts: Verdict[];
  rules: RuleSummary[];
  problems: Problem[];
  rowsEvaluated: number;
  rowsSkipped: number;
  columns: BatchColumn[];
  encoding: string;
  diagnostics: string[];
  exitStatus: number;
  milliseconds: number;
}

export interface NamedBytes {
  name: string;
  bytes: Uint8Array;
}

const utf8 = new TextDecoder('utf-8');
const encoder = new TextEncoder();
const ok = 0;
const cannotRun = 6;
const folder = '/files';

export class BatchError extends Error {}

// Options as the tool's long options: [name, value].
export type Options = Array<[string, string]>;

class Engine {
  private readonly handles: number[] = [];

  constructor(private readonly memory: Memory) {}

  private get wasm() {
    return this.memory.wasm;
  }

  open(handle: number): number {
    if (!handle) throw new BatchError('out of memory');
    this.handles.push(handle);
    return handle;
  }

  fromPlan(plan: Uint8Array): number {
    return this.open(this.withBytes(plan, (address) => this.wasm._rulecalc_batch_from_plan(address, plan.length)));
  }

  close(): void {
    for (const handle of this.handles) this.wasm._rulecalc_batch_free(handle);
  }

  text(address: number, length = -1): string {
    if (!address) return '';
    const end = length >= 0 ? address + length : this.wasm.HEAPU8.indexOf(0, address);
    return utf8.decode(this.wasm.HEAPU8.subarray(address, end));
  }

  // The bytes a call returned through out-parameters 0 (address) and 1 (length), copied out.
  returnedBytes(): Uint8Array {
    return this.memory.bytesAt(this.memory.word(0), this.memory.word(1));
  }

  // Throws the engine's message unless status is one of allowed.
  check(handle: number, status: number, ...allowed: number[]): number {
    if (status === ok || allowed.includes(status)) return status;
    const message = this.wasm._rulecalc_batch_message(handle, this.memory.slot(0));
    throw new BatchError(this.text(message, this.memory.word(0)) || `status ${status}`);
  }

  withStrings<T>(texts: string[], fn: (...addresses: number[]) => T): T {
    const addresses = texts.map((text) => {
      const bytes = encoder.encode(text);
      const address = this.wasm._malloc(bytes.length + 1);
      this.wasm.HEAPU8.set(bytes, address);
      this.wasm.HEAPU8[address + bytes.length] = 0;
      return address;
    });
    try {
      return fn(...addresses);
    } finally {
      for (const address of addresses) this.wasm._free(address);
    }
  }

  withBytes<T>(bytes: Uint8Array, fn: (address: number) => T): T {
    return this.memory.withBytes(bytes, fn);
  }

  diagnostics(handle: number): string[] {
    const count = this.wasm._rulecalc_batch_diagnostic_count(handle);
    const texts: string[] = [];
    for (let i = 0; i < count; ++i) {
      const address = this.wasm._rulecalc_batch_diagnostic(handle, i, this.memory.slot(0));
      texts.push(this.text(address, this.memory.word(0)).trimEnd());
    }
    this.wasm._rulecalc_batch_clear_diagnostics(handle);
    return texts;
  }
}

// A file's name as a name in the module's own file system, and for messages.
function fileName(name: string): string {
  return name.replace(/[/\\]/g, '_') || 'data.csv';
}

function readReport(lines: string, report: BatchReport): void {
  for (const line of lines.split('\n')) {
    if (!line) continue;
    const record = JSON.parse(line);
    if (record.summary?.rule !== undefined) {
      const s = record.summary;
      report.rules.push({ rule: s.rule, description: s.description ?? '', held: s.held ?? 0, failed: s.failed ?? 0,
        errors: s.errors ?? 0, analysisError: s.analysis_error ?? '', maxFailed: s.max_failed ?? '',
        maxFailedCrossed: s.max_failed_crossed ?? false });
    } else if (record.summary) {
      report.rowsEvaluated = record.summary.rows_evaluated;
      report.rowsSkipped = record.summary.rows_skipped;
    } else if (record.problem) {
      report.problems.push({ kind: record.problem.kind, rule: record.problem.rule ?? '', message: record.problem.message });
    } else {
      report.verdicts.push({ row: record.row, key: record.key ?? '', rule: record.rule, result: record.result,
        explanation: record.explanation, values: record.values ?? {}, notes: record.notes ?? [] });
    }
  }
}

function columnsOf(engine: Engine, memory: Memory, handle: number): BatchColumn[] {
  const wasm = memory.wasm;
  const columns: BatchColumn[] = [];
  const count = wasm._rulecalc_batch_column_count(handle);
  for (let i = 0; i < count; ++i) {
    wasm._rulecalc_batch_column(handle, i, memory.slot(0), memory.slot(1), memory.slot(2), memory.slot(3));
    columns.push({ name: engine.text(memory.word(0)), type: memory.int(1) === 0 ? 'number' : 'text',
      declared: memory.int(2) === 1, dateReading: engine.text(memory.word(3)) });
  }
  return columns;
}

// Every rule of the rules file against every record of the data file, as
// `rulecalc batch --format jsonl --failed-only --show-values` reports them
// (with the options given too). Throws BatchError with the engine's message
// (file, line, value) when a file cannot be used.
export function runBatch(memory: Memory, rules: NamedBytes, data: NamedBytes, options: Options = []): BatchReport {
  const started = performance.now();
  const wasm = memory.wasm;
  const engine = new Engine(memory);
  const fs = wasm.FS;
  const dataName = fileName(data.name);
  try {
    const client = engine.open(wasm._rulecalc_batch_new());
    const all: Options = [['format', 'jsonl'], ['failed-only', '1'], ['show-values', '1'], ...options];
    for (const [name, value] of all)
      engine.check(client, engine.withStrings([name, value], (n, v) => wasm._rulecalc_batch_set_option(client, n, v)));
    engine.check(client, engine.withBytes(rules.bytes, (address) => engine.withStrings([fileName(rules.name)],
      (name) => wasm._rulecalc_batch_read_rules_text(client, address, rules.bytes.length, name))));
    if (!fs.analyzePath(folder).exists) fs.mkdir(folder);
    fs.chdir(folder);
    fs.writeFile(dataName, data.bytes);
    engine.check(client, engine.withStrings([dataName], (name) => wasm._rulecalc_batch_add_data(client, name)));

    wasm._rulecalc_batch_file(client, 0, 0, memory.slot(0), memory.slot(2), memory.slot(4));
    const encoding = engine.text(memory.word(0));
    const dataStart = memory.word(2);
    const size = memory.word(4);
    engine.check(client, wasm._rulecalc_batch_plan(client, memory.slot(0), memory.slot(1)));
    const scanner = engine.fromPlan(engine.returnedBytes());
    // A 64-bit offset crosses as two 32-bit halves, low first.
    engine.check(scanner, wasm._rulecalc_batch_scan(scanner, 0, dataStart, 0, size, 0, memory.slot(0), memory.slot(1)));
    const scan = engine.returnedBytes();
    engine.withBytes(scan, (address) => {
      wasm.HEAPU32[memory.slot(6) >> 2] = address;
      wasm.HEAPU32[memory.slot(7) >> 2] = scan.length;
      engine.check(client, wasm._rulecalc_batch_fold_scans(client, 1, memory.slot(6), memory.slot(7)));
    });
    const report: BatchReport = { verdicts: [], rules: [], problems: [], rowsEvaluated: 0, rowsSkipped: 0,
      columns: [], encoding, diagnostics: [], exitStatus: 0, milliseconds: 0 };
    const prepared = engine.check(client, wasm._rulecalc_batch_prepare(client), cannotRun);
    report.columns = columnsOf(engine, memory, client);
    if (prepared === cannotRun) {
      report.diagnostics = engine.diagnostics(client);
      report.exitStatus = 2;
      report.milliseconds = performance.now() - started;
      return report;
    }
    engine.check(client, wasm._rulecalc_batch_plan(client, memory.slot(0), memory.slot(1)));
    const worker = engine.fromPlan(engine.returnedBytes());
    engine.check(client, wasm._rulecalc_batch_heading(client, memory.slot(0), memory.slot(1)));
    const blocks = wasm._rulecalc_batch_block_count(client);
    for (let i = 0; i < blocks; ++i) {
      engine.check(client, wasm._rulecalc_batch_block(client, i, memory.slot(0), memory.slot(1)));
      const block = engine.returnedBytes();
      engine.withBytes(block, (address) => engine.check(worker, wasm._rulecalc_batch_evaluate(worker, address, block.length, memory.slot(0), memory.slot(1))));
      const part = engine.returnedBytes();
      engine.withBytes(part, (address) => engine.check(client, wasm._rulecalc_batch_take(client, address, part.length, memory.slot(0), memory.slot(1))));
      readReport(utf8.decode(engine.returnedBytes()), report);
    }
    engine.check(client, wasm._rulecalc_batch_finish(client, memory.slot(0), memory.slot(1)));
    readReport(utf8.decode(engine.returnedBytes()), report);
    report.diagnostics = engine.diagnostics(client);
    report.exitStatus = wasm._rulecalc_batch_exit_status(client);
    report.milliseconds = performance.now() - started;
    return report;
  } finally {
    engine.close();
    if (fs.analyzePath(`${folder}/${dataName}`).exists) fs.unlink(`${folder}/${dataName}`);
  }
}
