// A rules file as the tool reads it: `id: sentence;` or
// `id "description": sentence;`, the sentence running to its first ";"
// outside a text literal; "#" starts a comment outside texts; settings on
// lines of their own start with "@". The page takes @language, @date-order
// and @date-separator; it names the other settings it leaves out.
import type { DateOrder, Language } from './rulecalc';

export interface Rule {
  id: string;
  description: string;
  // The sentence as the tool takes it: comments left out, blanks around it dropped.
  sentence: string;
  line: number;
  // The sentence as it stands in the file, comments blanked, from `offset` on.
  written: string;
  offset: number;
}

export interface RulesFile {
  rules: Rule[];
  language: Language;
  dateOrder?: DateOrder;
  dateSeparator?: string;
  ignoredSettings: string[];
}

export class RulesFileError extends Error {
  constructor(
    readonly line: number,
    message: string,
  ) {
    super(`${line}: ${message}`);
  }
}

class Reader {
  at = 0;
  line = 1;

  constructor(readonly text: string) {}

  get done(): boolean {
    return this.at >= this.text.length;
  }

  peek(): string {
    return this.text[this.at] ?? '';
  }

  next(): string {
    const c = this.text[this.at++] ?? '';
    if (c === '\n') ++this.line;
    return c;
  }

  restOfLine(): string {
    let rest = '';
    while (!this.done && this.peek() !== '\n') rest += this.next();
    return rest;
  }

  skipBlanksAndComments(): void {
    while (!this.done) {
      if (this.peek() === '#') this.restOfLine();
      else if (/\s/.test(this.peek())) this.next();
      else return;
    }
  }
}

function readSetting(file: RulesFile, setting: string, line: number): void {
  const [name, ...values] = setting.trim().split(/\s+/);
  const value = values.join(' ');
  if (name === '@language' && (value === 'classic' || value === 'extended')) file.language = value;
  else if (name === '@date-order' && /^(mdy|dmy|ymd)$/.test(value)) file.dateOrder = value as DateOrder;
  else if (name === '@date-separator' && value.length === 1) file.dateSeparator = value;
  else if (/^@(max-failed|column|header-row|skip-rows|sheet)$/.test(name)) file.ignoredSettings.push(name);
  else throw new RulesFileError(line, `unknown setting ${setting.trim()}`);
}

// The head of a rule: its id, and its description when one is quoted.
function readHead(reader: Reader): { id: string; description: string } {
  let id = '';
  while (!reader.done && !/[\s:"]/.test(reader.peek())) id += reader.next();
  reader.skipBlanksAndComments();
  let description = '';
  if (reader.peek() === '"') {
    reader.next();
    while (!reader.done && reader.peek() !== '"') description += reader.next();
    reader.next();
    reader.skipBlanksAndComments();
  }
  if (!id || reader.next() !== ':') throw new RulesFileError(reader.line, `a rule id without a colon: ${id}`);
  return { id, description };
}

// The sentence up to and with its ";", comments left out.
function readSentence(reader: Reader, id: string): Pick<Rule, 'sentence' | 'written' | 'offset'> {
  const offset = reader.at;
  let sentence = '';
  let written = '';
  let inText = false;
  while (!reader.done) {
    const c = reader.peek();
    if (!inText && c === '#') {
      written += reader.restOfLine().replace(/./g, ' ');
      continue;
    }
    sentence += reader.next();
    written += c;
    if (c === '"') inText = !inText;
    else if (c === ';' && !inText) {
      const blanks = written.length - written.trimStart().length;
      return { sentence: sentence.trim(), written: written.slice(blanks), offset: offset + blanks };
    }
  }
  throw new RulesFileError(reader.line, `the ';' that ends rule ${id} is missing`);
}

export function readRulesFile(text: string): RulesFile {
  const file: RulesFile = { rules: [], language: 'classic', ignoredSettings: [] };
  const reader = new Reader(text);
  const ids = new Set<string>();
  for (reader.skipBlanksAndComments(); !reader.done; reader.skipBlanksAndComments()) {
    const line = reader.line;
    if (reader.peek() === '@') {
      readSetting(file, reader.restOfLine().replace(/#.*$/, ''), line);
      continue;
    }
    const head = readHead(reader);
    if (ids.has(head.id)) throw new RulesFileError(line, `rule ${head.id} is there twice`);
    ids.add(head.id);
    file.rules.push({ ...head, ...readSentence(reader, head.id), line });
  }
  if (file.rules.length === 0) throw new RulesFileError(reader.line, 'the file has no rules');
  return file;
}
