// The page for rule authors: an editor coloured by the library's own
// tokeniser with its analysis errors and warnings under the tokens, a
// variables form for trying the rule on one record, and a rules file
// checked against a CSV file. Everything runs in this page.
import { RangeSetBuilder, StateEffect, StateField } from '@codemirror/state';
import { Decoration, EditorView, keymap, type DecorationSet } from '@codemirror/view';
import { defaultKeymap, history, historyKeymap } from '@codemirror/commands';
import { setDiagnostics, type Diagnostic } from '@codemirror/lint';
import { attentionCsv, checkFile, type AttentionRow, type Report } from './check';
import { decodeFile } from './gbk';
import { currentLocale, setLocale, t, type TextId } from './i18n';
import { Library, type Calculator, type FailedClause, type Status, type Token, type VariableType } from './rulecalc';
import { readRulesFile, type Rule } from './rulesfile';
import './style.css';

// Rows of the attention table on one page.
const rowsPerPage = 100;

const setTokens = StateEffect.define<DecorationSet>();
const tokenField = StateField.define<DecorationSet>({
  create: () => Decoration.none,
  update: (tokens, transaction) => {
    for (const effect of transaction.effects) if (effect.is(setTokens)) return effect.value;
    return tokens.map(transaction.changes);
  },
  provide: (field) => EditorView.decorations.from(field),
});

function element<T extends HTMLElement>(id: string): T {
  return document.getElementById(id) as T;
}

function make(tag: string, attributes: Record<string, string> = {}, text = ''): HTMLElement {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  node.textContent = text;
  return node;
}

// What the editor holds: one rule, or the rules of a file, each at its
// place in the document.
interface Piece {
  id: string;
  sentence: string;
  offset: number;
}

interface RunResult {
  id: string;
  status: Status;
  text: string;
  clauses: FailedClause[];
}

class Page {
  private readonly calc: Calculator;
  private readonly view: EditorView;
  private variables = new Map<string, { value: string; type: VariableType }>();
  private names: string[] = [];
  private results: RunResult[] = [];
  private report: Report | null = null;
  private reportError = '';
  private analysisTimer = 0;

  constructor(private readonly library: Library) {
    this.calc = library.open();
    this.view = new EditorView({
      parent: element('editor'),
      extensions: [
        history(),
        keymap.of([...defaultKeymap, ...historyKeymap]),
        tokenField,
        EditorView.lineWrapping,
        EditorView.updateListener.of((update) => {
          if (update.docChanged) this.scheduleAnalysis();
        }),
      ],
    });
    element('locale').addEventListener('click', () => this.switchLocale());
    element('run').addEventListener('click', () => this.run());
    element('check').addEventListener('click', () => void this.checkFiles());
    element('rules-file').addEventListener('change', () => void this.openRulesFile());
    const section = element('check-section');
    section.addEventListener('dragover', (event) => {
      event.preventDefault();
      section.classList.add('dropping');
    });
    section.addEventListener('dragleave', () => section.classList.remove('dropping'));
    section.addEventListener('drop', (event) => {
      event.preventDefault();
      section.classList.remove('dropping');
      if (event.dataTransfer) void this.takeDropped(event.dataTransfer.files);
    });
    for (const radio of document.querySelectorAll<HTMLInputElement>('input[name=mode]'))
      radio.addEventListener('change', () => this.analyseNow());
    this.renderTexts();
    this.analyseNow();
  }

  private get fileMode(): boolean {
    return document.querySelector<HTMLInputElement>('input[name=mode]:checked')?.value === 'file';
  }

  private switchLocale(): void {
    setLocale(currentLocale() === 'zh' ? 'en' : 'zh');
    this.renderTexts();
    this.analyseNow();
    this.renderResults();
    this.renderReport();
  }

  private renderTexts(): void {
    for (const node of document.querySelectorAll<HTMLElement>('[data-t]')) node.textContent = t(node.dataset.t as TextId);
    element('locale').textContent = t('switchLocale');
  }

  private scheduleAnalysis(): void {
    window.clearTimeout(this.analysisTimer);
    this.analysisTimer = window.setTimeout(() => this.analyseNow(), 120);
  }

  private pieces(): { pieces: Piece[]; error: string } {
    const text = this.view.state.doc.toString();
    if (!this.fileMode) return { pieces: [{ id: '', sentence: text, offset: 0 }], error: '' };
    try {
      return { pieces: readRulesFile(text).rules.map((rule: Rule) => ({ id: rule.id, sentence: rule.written, offset: rule.offset })), error: '' };
    } catch (error) {
      return { pieces: [], error: (error as Error).message };
    }
  }

  // Sets the sentence and the variables and analyses it; the tokens, and
  // the diagnostics at their places in the document.
  private analysePiece(piece: Piece, tokens: Token[], diagnostics: Diagnostic[]): boolean {
    this.calc.setSentence(piece.sentence);
    for (const token of this.calc.tokens()) tokens.push({ ...token, from: token.from + piece.offset, to: token.to + piece.offset });
    this.calc.clear();
    for (const name of this.calc.varnames()) {
      const variable = this.variables.get(name.toUpperCase()) ?? { value: '', type: 'number' };
      this.calc.setVariable(name, variable.value, variable.type);
    }
    this.calc.setSentence(piece.sentence);
    const docLength = this.view.state.doc.length;
    const place = (from: number, to: number) => {
      const start = Math.min(from + piece.offset, docLength);
      return { from: start, to: Math.min(Math.max(to + piece.offset, start + 1), docLength) };
    };
    if (!this.calc.analyse()) {
      const stop = this.calc.analysisStop();
      diagnostics.push({ ...place(stop.from, stop.to), severity: 'error', message: this.calc.analyseError() });
      return false;
    }
    for (const warning of this.calc.warnings())
      diagnostics.push({ ...place(warning.from, warning.to), severity: 'warning', message: warning.message });
    return true;
  }

  private analyseNow(): void {
    const { pieces, error } = this.pieces();
    const tokens: Token[] = [];
    const diagnostics: Diagnostic[] = [];
    const names: string[] = [];
    for (const piece of pieces) {
      this.calc.setSentence(piece.sentence);
      for (const name of this.calc.varnames()) if (!names.some((n) => n.toUpperCase() === name.toUpperCase())) names.push(name);
    }
    this.names = names;
    this.renderVariables();
    for (const piece of pieces) this.analysePiece(piece, tokens, diagnostics);
    this.showTokens(tokens);
    this.view.dispatch(setDiagnostics(this.view.state, diagnostics));
    this.renderAnalysis(error, diagnostics);
    // The length of the text last analysed, so a script driving the page can wait for its own.
    element('analysis').dataset.length = String(this.view.state.doc.length);
  }

  private showTokens(tokens: Token[]): void {
    const builder = new RangeSetBuilder<Decoration>();
    const docLength = this.view.state.doc.length;
    for (const token of tokens.sort((a, b) => a.from - b.from))
      if (token.to > token.from && token.to <= docLength)
        builder.add(token.from, token.to, Decoration.mark({ class: `tok-${token.kind}`, attributes: { 'data-kind': token.kind } }));
    this.view.dispatch({ effects: setTokens.of(builder.finish()) });
  }

  private renderAnalysis(fileError: string, diagnostics: Diagnostic[]): void {
    const box = element('analysis');
    box.replaceChildren();
    if (fileError) box.append(make('p', { class: 'message-error' }, fileError));
    for (const diagnostic of diagnostics) {
      const label = diagnostic.severity === 'error' ? t('analyseFailed') : t('warning');
      const where = this.view.state.doc.sliceString(diagnostic.from, diagnostic.to);
      box.append(make('p', { class: `message-${diagnostic.severity}` }, `${label}: ${diagnostic.message} (${where})`));
    }
    if (!fileError && !diagnostics.some((d) => d.severity === 'error'))
      box.prepend(make('p', { class: 'analysed' }, t('analysed')));
  }

  private renderVariables(): void {
    const form = element<HTMLFormElement>('variables');
    form.replaceChildren();
    if (this.names.length === 0) form.append(make('p', {}, t('noVariables')));
    for (const name of this.names) {
      const key = name.toUpperCase();
      const variable = this.variables.get(key) ?? { value: '', type: 'number' as VariableType };
      this.variables.set(key, variable);
      const input = make('input', { id: `var-${key}`, name: key, value: variable.value }) as HTMLInputElement;
      const type = make('select', { id: `type-${key}`, 'aria-label': `${name} type` }) as HTMLSelectElement;
      for (const option of ['number', 'text'] as VariableType[]) type.append(make('option', { value: option }, t(option)));
      type.value = variable.type;
      input.addEventListener('input', () => (variable.value = input.value));
      type.addEventListener('change', () => {
        variable.type = type.value as VariableType;
        this.analyseNow();
      });
      form.append(make('label', { for: `var-${key}` }, name), input, type);
    }
  }

  private run(): void {
    const { pieces } = this.pieces();
    this.results = pieces.map((piece) => {
      if (!this.analysePiece(piece, [], []))
        return { id: piece.id, status: 'error' as Status, text: this.calc.analyseError(), clauses: [] };
      const status = this.calc.run();
      return { id: piece.id, status, text: this.calc.runtimeError(), clauses: this.calc.failedClauses() };
    });
    this.renderResults();
  }

  private renderResults(): void {
    const box = element('result');
    box.replaceChildren();
    for (const result of this.results) {
      const entry = make('div', { class: 'run-result', 'data-rule': result.id });
      const status = make('p', { class: `status status-${result.status}` }, `${result.id ? result.id + ': ' : ''}${t(result.status)}`);
      entry.append(status);
      if (result.text) entry.append(make('p', { class: 'explanation' }, `${t('explanation')}: `), make('pre', { class: 'explanation-text' }, result.text));
      if (result.clauses.length) {
        const list = make('ul', { class: 'clauses', 'aria-label': t('failedClauses') });
        for (const clause of result.clauses) list.append(make('li', {}, `${clause.names.join(', ')} — ${clause.text}`));
        entry.append(list);
      }
      box.append(entry);
    }
  }

  private async readChosen(id: string): Promise<{ name: string; bytes: Uint8Array; text: string; encoding: string } | null> {
    const file = element<HTMLInputElement>(id).files?.[0];
    if (!file) return null;
    const bytes = new Uint8Array(await file.arrayBuffer());
    return { name: file.name, bytes, ...decodeFile(bytes) };
  }

  // A rules file opened for checking goes into the editor too.
  private async openRulesFile(): Promise<void> {
    const rules = await this.readChosen('rules-file');
    if (!rules) return;
    document.querySelector<HTMLInputElement>('input[name=mode][value=file]')!.checked = true;
    this.view.dispatch({ changes: { from: 0, to: this.view.state.doc.length, insert: rules.text } });
    this.analyseNow();
  }

  // Files dropped on the file check go where the pickers put them: a .rules
  // or .txt file is the rules file, any other the data file. With both
  // chosen, they are checked.
  private async takeDropped(files: FileList): Promise<void> {
    for (const file of Array.from(files)) {
      const id = /\.(rules|txt)$/i.test(file.name) ? 'rules-file' : 'data-file';
      const transfer = new DataTransfer();
      transfer.items.add(file);
      element<HTMLInputElement>(id).files = transfer.files;
      if (id === 'rules-file') await this.openRulesFile();
    }
    if (element<HTMLInputElement>('rules-file').files?.length && element<HTMLInputElement>('data-file').files?.length)
      await this.checkFiles();
  }

  private async checkFiles(): Promise<void> {
    const rules = await this.readChosen('rules-file');
    const data = await this.readChosen('data-file');
    if (!rules || !data) return;
    try {
      this.report = checkFile(this.library, rules, data);
      this.reportError = '';
      element('report').dataset.encoding = `${rules.encoding},${this.report.encoding}`;
      element('report').dataset.milliseconds = this.report.milliseconds.toFixed(1);
      this.takeColumns(this.report);
    } catch (error) {
      this.report = null;
      this.reportError = (error as Error).message;
    }
    this.renderReport();
    // Counts the checks done, so a script driving the page can tell this report from the last.
    const box = element('report');
    box.dataset.checks = String(Number(box.dataset.checks ?? 0) + 1);
  }

  // The variables take the data's column types.
  private takeColumns(report: Report): void {
    for (const column of report.columns) {
      const key = column.name.toUpperCase();
      this.variables.set(key, { value: this.variables.get(key)?.value ?? '', type: column.type });
    }
    this.analyseNow();
  }

  private renderReport(): void {
    const box = element('report');
    box.replaceChildren();
    if (this.reportError) box.append(make('p', { class: 'message-error' }, this.reportError));
    const report = this.report;
    if (!report) return;
    box.append(make('p', { id: 'report-summary' },
      `${report.rows} ${t('rows')}; ${t('skipped')}: ${report.skipped}; ${t('encoding')}: ${box.dataset.encoding ?? ''}; ` +
      `${Math.round(report.milliseconds)} ${t('milliseconds')}`));
    if (report.notes.length) {
      const notes = make('ul', { id: 'report-notes' });
      for (const note of report.notes) notes.append(make('li', {}, note));
      box.append(notes);
    }
    box.append(this.countsTable(report), this.commonExplanations(report), make('h3', {}, t('attention')));
    const filter = make('select', { id: 'attention-filter', 'aria-label': t('rule') }) as HTMLSelectElement;
    filter.append(make('option', { value: '' }, t('allRules')));
    for (const rule of report.rules) filter.append(make('option', { value: rule.id }, rule.id));
    const table = make('table', { id: 'attention' });
    const pager = make('div', { id: 'pager' });
    let page = 0;
    const fill = () => {
      const rows = report.attention.filter((row) => !filter.value || row.rule === filter.value);
      const pages = Math.max(1, Math.ceil(rows.length / rowsPerPage));
      page = Math.min(page, pages - 1);
      table.replaceChildren(...this.attentionRows(rows.slice(page * rowsPerPage, (page + 1) * rowsPerPage)));
      pager.replaceChildren(this.pageButton('previous', page > 0, () => (--page, fill())),
        make('span', { id: 'page-number' }, `${page + 1} / ${pages}`),
        this.pageButton('next', page + 1 < pages, () => (++page, fill())));
    };
    filter.addEventListener('change', () => ((page = 0), fill()));
    fill();
    const download = make('button', { id: 'download', type: 'button' }, t('download'));
    download.addEventListener('click', () => this.download(report));
    box.append(filter, download, table, pager);
  }

  private pageButton(id: 'previous' | 'next', enabled: boolean, go: () => void): HTMLElement {
    const button = make('button', { id: `page-${id}`, type: 'button' }, t(id)) as HTMLButtonElement;
    button.disabled = !enabled;
    button.addEventListener('click', go);
    return button;
  }

  // Per rule that did not always hold, its most common explanations.
  private commonExplanations(report: Report): HTMLElement {
    const block = make('div', { id: 'common-explanations' });
    block.append(make('h3', {}, t('common')));
    for (const rule of report.rules) {
      if (!rule.common.length) continue;
      const list = make('ol', { 'data-rule': rule.id });
      for (const [text, times] of rule.common) list.append(make('li', {}, `${times} × ${text}`));
      block.append(make('h4', {}, rule.id), list);
    }
    return block;
  }

  private download(report: Report): void {
    const link = make('a', { download: 'attention.csv' }) as HTMLAnchorElement;
    link.href = URL.createObjectURL(new Blob(['\ufeff' + attentionCsv(report)], { type: 'text/csv;charset=utf-8' }));
    link.click();
    URL.revokeObjectURL(link.href);
  }

  private countsTable(report: Report): HTMLElement {
    const table = make('table', { id: 'rule-counts' });
    const head = make('tr');
    for (const id of ['rule', 'description', 'heldCount', 'failedCount', 'errorCount', 'limit'] as TextId[]) head.append(make('th', {}, t(id)));
    head.append(make('th'));
    table.append(head);
    for (const rule of report.rules) {
      const row = make('tr', { 'data-rule': rule.id });
      const bar = make('div', { class: 'bar', role: 'img', 'aria-label': `${rule.held}/${rule.failed}/${rule.errors}` });
      const total = Math.max(1, rule.held + rule.failed + rule.errors);
      for (const part of ['held', 'failed', 'errors'] as const)
        bar.append(make('span', { class: part, style: `width:${(100 * rule[part]) / total}%` }));
      row.append(make('td', {}, rule.id), make('td', {}, rule.analyseError || rule.description),
        make('td', { class: 'count held' }, String(rule.held)), make('td', { class: 'count failed' }, String(rule.failed)),
        make('td', { class: 'count errors' }, String(rule.errors)),
        make('td', { class: `limit${rule.maxFailedCrossed ? ' crossed' : ''}` },
          rule.maxFailed ? `${rule.maxFailed}${rule.maxFailedCrossed ? ` (${t('crossed')})` : ''}` : ''));
      const cell = make('td');
      cell.append(bar);
      row.append(cell);
      table.append(row);
    }
    return table;
  }

  private attentionRows(rows: AttentionRow[]): HTMLElement[] {
    const head = make('tr');
    for (const id of ['row', 'key', 'rule', 'result', 'explanation'] as TextId[]) head.append(make('th', {}, t(id)));
    return [head, ...rows.map((row) => {
      const line = make('tr', { 'data-rule': row.rule });
      line.append(make('td', { class: 'count' }, String(row.row)), make('td', {}, row.key), make('td', {}, row.rule),
        make('td', { class: `status-${row.status}` }, t(row.status)), make('td', {}, row.text));
      return line;
    })];
  }
}

element('analysis').textContent = t('loading');
Library.load().then((library) => {
  const page = new Page(library);
  (window as unknown as { rulecalcPage: Page }).rulecalcPage = page;
  document.body.dataset.ready = 'true';
});
