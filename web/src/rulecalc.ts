// The rule calculator in the browser: the library's handle functions and
// rule sets, compiled to WebAssembly, with texts as JavaScript strings and
// positions as string indices. The library counts GBK bytes; every position
// it gives is turned into an index of the string it was given.
import createRulecalcModule, { type RulecalcWasm } from 'rulecalc-wasm/rulecalc_wasm.js';
import wasmUrl from 'rulecalc-wasm/rulecalc_wasm.wasm?url';
import { decodeGbk, encodeGbk, writeGbk, type GbkText } from './gbk';

export type Status = 'held' | 'failed' | 'error';
export type VariableType = 'number' | 'text';
export type DateOrder = 'mdy' | 'dmy' | 'ymd';
export type Language = 'classic' | 'extended';

export interface Span {
  from: number;
  to: number;
}
export interface Warning extends Span {
  message: string;
}
export interface FailedClause {
  text: string;
  names: string[];
}
export type TokenKind = 'keyword' | 'function' | 'variable' | 'number' | 'text' | 'operator' | 'unknown';
export interface Token extends Span {
  text: string;
  kind: TokenKind;
}

const statuses: Status[] = ['held', 'failed', 'error'];
const typeCodes: Record<VariableType, number> = { number: 0, text: 1 };
const dateOrders: Record<DateOrder, number> = { mdy: 0, dmy: 1, ymd: 2 };
const languages: Record<Language, number> = { classic: 0, extended: 1 };

// The module's memory as the handle functions use it: GBK texts in, texts
// and numbers out through a small scratch area of out-parameters.
export class Memory {
  private readonly out: number;
  private scratch = 0;
  private scratchSize = 0;

  constructor(readonly wasm: RulecalcWasm) {
    this.out = wasm._malloc(32);
  }

  // Calls fn with the address of a NUL-terminated copy of bytes.
  withBytes<T>(bytes: Uint8Array, fn: (address: number) => T): T {
    const address = this.wasm._malloc(bytes.length + 1);
    this.wasm.HEAPU8.set(bytes, address);
    this.wasm.HEAPU8[address + bytes.length] = 0;
    try {
      return fn(address);
    } finally {
      this.wasm._free(address);
    }
  }

  withText<T>(text: string, fn: (address: number) => T): T {
    return this.withBytes(encodeGbk(text).bytes, fn);
  }

  // The address of text, NUL-terminated, in a buffer kept for the next
  // text: for a call that reads one text and keeps nothing of it.
  passingText(text: string): number {
    if (2 * text.length + 1 > this.scratchSize) {
      this.wasm._free(this.scratch);
      this.scratchSize = Math.max(2 * text.length + 1, 256);
      this.scratch = this.wasm._malloc(this.scratchSize);
    }
    const end = writeGbk(text, this.wasm.HEAPU8, this.scratch);
    this.wasm.HEAPU8[end] = 0;
    return this.scratch;
  }

  // The address of out-parameter i (four bytes each, eight for a double).
  slot(i: number): number {
    return this.out + 4 * i;
  }

  word(i: number): number {
    return this.wasm.HEAPU32[this.slot(i) >> 2];
  }

  int(i: number): number {
    return this.wasm.HEAP32[this.slot(i) >> 2];
  }

  double(i: number): number {
    return this.wasm.HEAPF64[this.slot(i) >> 3];
  }

  bytesAt(address: number, length: number): Uint8Array {
    return this.wasm.HEAPU8.slice(address, address + length);
  }

  // A text the library returned with its length stored in out-parameter 0.
  returned(address: number): Uint8Array {
    return address ? this.bytesAt(address, this.word(0)) : new Uint8Array();
  }
}

// The spans of the items of a listing, each placed in the sentence where it
// stands (the tokeniser lists tokens in order, as written).
function placeItems(sentence: GbkText, items: Uint8Array[]): Span[] {
  const spans: Span[] = [];
  let at = 0;
  for (const item of items) {
    const start = findBytes(sentence.bytes, item, at);
    const from = start < 0 ? at : start;
    at = start < 0 ? at : start + item.length;
    spans.push({ from: sentence.indexOfByte[from], to: sentence.indexOfByte[Math.min(at, sentence.bytes.length)] });
  }
  return spans;
}

function findBytes(haystack: Uint8Array, needle: Uint8Array, from: number): number {
  outer: for (let i = from; i + needle.length <= haystack.length; ++i) {
    for (let j = 0; j < needle.length; ++j) if (haystack[i + j] !== needle[j]) continue outer;
    return i;
  }
  return -1;
}

// One calculator (a handle): its sentence, variables, code and settings.
export class Calculator {
  private sentence: GbkText = encodeGbk('');

  constructor(
    private readonly memory: Memory,
    readonly handle: number,
    private readonly owned: boolean,
  ) {}

  private get wasm(): RulecalcWasm {
    return this.memory.wasm;
  }

  close(): void {
    if (this.owned) this.wasm._rulecalc_close(this.handle);
  }

  setSentence(text: string): void {
    this.sentence = encodeGbk(text);
    this.memory.withBytes(this.sentence.bytes, (address) => this.wasm._rulecalc_set_sentence(this.handle, address));
  }

  // The items of a listing as the library splits it.
  private listing(fn: string): Uint8Array[] {
    const text = this.memory.returned(this.wasm[`_rulecalc_${fn}`](this.handle, this.memory.slot(0)));
    const count = this.wasm._rulecalc_listing_item_count(this.handle);
    const items: Uint8Array[] = [];
    for (let i = 0; i < count; ++i) {
      this.wasm._rulecalc_listing_item(this.handle, i, this.memory.slot(1), this.memory.slot(2));
      const start = this.memory.word(1);
      items.push(text.slice(start, start + this.memory.word(2)));
    }
    return items;
  }

  varnames(): string[] {
    return this.listing('varnames').map(decodeGbk);
  }

  numbers(): string[] {
    return this.listing('numbers').map(decodeGbk);
  }

  // Every token with its place in the sentence and its kind, from the
  // tokeniser's listings: names the library lists as variables, its
  // number literals, text literals, a name before "(" as a function, other
  // names as keywords.
  tokens(): Token[] {
    const variables = new Set(this.varnames().map((name) => name.toUpperCase()));
    const numbers = this.numbers();
    const items = this.listing('tokens');
    const spans = placeItems(this.sentence, items);
    const texts = items.map(decodeGbk);
    let nextNumber = 0;
    return texts.map((text, i) => {
      let kind: TokenKind;
      if (text.startsWith('"')) kind = 'text';
      else if (nextNumber < numbers.length && numbers[nextNumber] === text) (kind = 'number'), ++nextNumber;
      else if (/^[A-Za-z_]/.test(text))
        kind = variables.has(text.toUpperCase()) ? 'variable' : texts[i + 1] === '(' ? 'function' : 'keyword';
      else if (/^[\x21-\x7e]+$/.test(text)) kind = 'operator';
      else kind = 'unknown';
      return { text, kind, ...spans[i] };
    });
  }

  clear(): void {
    this.wasm._rulecalc_clear(this.handle);
  }

  setVariable(name: string, value: string, type: VariableType): void {
    this.memory.withText(name, (n) =>
      this.memory.withText(value, (v) => this.wasm._rulecalc_set_variable(this.handle, n, v, typeCodes[type])),
    );
  }

  // The slot of a variable, for setting it again and again by slot; -1 when
  // it cannot be made.
  bind(name: string, type: VariableType): number {
    return this.memory.withText(name, (n) => this.wasm._rulecalc_bind_variable(this.handle, n, typeCodes[type]));
  }

  // False for a slot not bound or a number that is not finite.
  setNumber(slot: number, value: number): boolean {
    return this.wasm._rulecalc_set_number(this.handle, slot, value) === 0;
  }

  setText(slot: number, value: string): boolean {
    const bytes = encodeGbk(value).bytes;
    return this.memory.withBytes(bytes, (v) => this.wasm._rulecalc_set_text(this.handle, slot, v, bytes.length)) === 0;
  }

  analyse(): boolean {
    return this.wasm._rulecalc_analyse(this.handle) === 1;
  }

  analyseError(): string {
    return decodeGbk(this.memory.returned(this.wasm._rulecalc_analyse_error(this.handle, this.memory.slot(0))));
  }

  // The token the last analysis stopped at.
  analysisStop(): Span {
    this.wasm._rulecalc_analysis_stop(this.handle, this.memory.slot(0), this.memory.slot(1));
    return this.byteSpan(this.memory.word(0), this.memory.word(1));
  }

  private byteSpan(offset: number, length: number): Span {
    const last = this.sentence.bytes.length;
    const at = (byte: number) => this.sentence.indexOfByte[Math.max(0, Math.min(byte, last))];
    return { from: at(offset), to: at(offset + length) };
  }

  warnings(): Warning[] {
    const count = this.wasm._rulecalc_warning_count(this.handle);
    const warnings: Warning[] = [];
    for (let i = 0; i < count; ++i) {
      const address = this.wasm._rulecalc_warning(this.handle, i, this.memory.slot(1), this.memory.slot(0));
      const span = this.byteSpan(this.memory.int(1), 1);
      warnings.push({ message: decodeGbk(this.memory.returned(address)), ...span });
    }
    return warnings;
  }

  run(): Status {
    return statuses[this.wasm._rulecalc_run(this.handle)] ?? 'error';
  }

  runtimeError(): string {
    return decodeGbk(this.runtimeBytes());
  }

  private runtimeBytes(): Uint8Array {
    return this.memory.returned(this.wasm._rulecalc_runtime_error(this.handle, this.memory.slot(0)));
  }

  failedClauses(): FailedClause[] {
    const text = this.runtimeBytes();
    const count = this.wasm._rulecalc_failed_clause_count(this.handle);
    const clauses: FailedClause[] = [];
    for (let i = 0; i < count; ++i) {
      this.wasm._rulecalc_failed_clause(this.handle, i, this.memory.slot(0), this.memory.slot(1),
        this.memory.slot(2), this.memory.slot(3));
      const part = (start: number, length: number) => decodeGbk(text.slice(start, start + length));
      const names = part(this.memory.word(2), this.memory.word(3));
      clauses.push({ text: part(this.memory.word(0), this.memory.word(1)), names: names ? names.split(',') : [] });
    }
    return clauses;
  }

  // The settings return false for a value the library refuses.
  setDateOrder(order: DateOrder): boolean {
    return this.wasm._rulecalc_set_date_order(this.handle, dateOrders[order]) === 0;
  }

  setDateSeparator(separator: string): boolean {
    return separator.length === 1 && this.wasm._rulecalc_set_date_separator(this.handle, separator.charCodeAt(0)) === 0;
  }

  setCurrentYear(year: number): boolean {
    return this.wasm._rulecalc_set_current_year(this.handle, year) === 0;
  }

  setLanguage(language: Language): boolean {
    return this.wasm._rulecalc_set_language(this.handle, languages[language]) === 0;
  }

  // The number a numeric variable of this text holds; null for any other text.
  readNumber(text: string): number | null {
    const read = this.wasm._rulecalc_read_number(this.handle, this.memory.passingText(text), this.memory.slot(2));
    return read === 1 ? this.memory.double(2) : null;
  }
}

// Many named rules over one variable table, each rule analysed once.
export class RuleSet {
  private buffer = 0;
  private bufferSize = 0;
  private readonly statuses: number;

  constructor(
    private readonly memory: Memory,
    private readonly set: number,
  ) {
    this.statuses = this.wasm._malloc(4096);
  }

  private get wasm(): RulecalcWasm {
    return this.memory.wasm;
  }

  close(): void {
    this.wasm._free(this.buffer);
    this.wasm._free(this.statuses);
    this.wasm._rulecalc_rules_close(this.set);
  }

  bind(name: string, type: VariableType): number {
    return this.memory.withText(name, (n) => this.wasm._rulecalc_rules_bind(this.set, n, typeCodes[type]));
  }

  // Gives the variable of each slot its value: a whole record at once,
  // written in GBK into one buffer kept for the next record.
  setTexts(slots: number[], values: string[]): void {
    const room = values.reduce((sum, value) => sum + 2 * value.length, 0);
    if (room > this.bufferSize) {
      this.wasm._free(this.buffer);
      this.bufferSize = Math.max(room, 2 * this.bufferSize);
      this.buffer = this.wasm._malloc(this.bufferSize);
    }
    const heap = this.wasm.HEAPU8;
    let at = this.buffer;
    values.forEach((value, i) => {
      const end = writeGbk(value, heap, at);
      this.wasm._rulecalc_rules_set_text(this.set, slots[i], at, end - at);
      at = end;
    });
  }

  setNumber(slot: number, value: number): boolean {
    return this.wasm._rulecalc_rules_set_number(this.set, slot, value) === 0;
  }

  add(name: string, sentence: string): number {
    return this.memory.withText(name, (n) => this.memory.withText(sentence, (s) => this.wasm._rulecalc_rules_add(this.set, n, s)));
  }

  get count(): number {
    return this.wasm._rulecalc_rules_count(this.set);
  }

  // Runs every rule over the variables as they are: each rule's status.
  run(): Status[] {
    const count = this.count;
    const address = count <= 4096 ? this.statuses : this.wasm._malloc(count);
    this.wasm._rulecalc_rules_run(this.set, address);
    const codes = this.wasm.HEAPU8.subarray(address, address + count);
    const result = Array.from(codes, (code) => statuses[code] ?? 'error');
    if (address !== this.statuses) this.wasm._free(address);
    return result;
  }

  name(index: number): string {
    return decodeGbk(this.memory.returned(this.wasm._rulecalc_rules_name(this.set, index, this.memory.slot(0))));
  }

  text(index: number): string {
    return decodeGbk(this.memory.returned(this.wasm._rulecalc_rules_text(this.set, index, this.memory.slot(0))));
  }

  // The rule's own calculator (the set owns it).
  rule(index: number): Calculator {
    return new Calculator(this.memory, this.wasm._rulecalc_rules_rule(this.set, index), false);
  }
}

export class Library {
  private constructor(readonly memory: Memory) {}

  static async load(): Promise<Library> {
    const wasm = await createRulecalcModule({ locateFile: () => wasmUrl });
    return new Library(new Memory(wasm));
  }

  version(): string {
    const wasm = this.memory.wasm;
    const address = wasm._rulecalc_version();
    const end = wasm.HEAPU8.indexOf(0, address);
    return decodeGbk(this.memory.bytesAt(address, end - address));
  }

  open(): Calculator {
    return new Calculator(this.memory, this.memory.wasm._rulecalc_open(), true);
  }

  // A rule set taking the settings that `settings` has now.
  openRules(settings: Calculator): RuleSet {
    return new RuleSet(this.memory, this.memory.wasm._rulecalc_rules_open(settings.handle));
  }
}
