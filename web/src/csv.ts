// CSV as in RFC 4180: comma-separated fields, records ended by CRLF or LF,
// double-quoted fields that may hold commas, line breaks and doubled
// quotes. Empty lines between records are skipped; a quote inside an
// unquoted field is an ordinary character.

// A quoted field from the quote at `at`: its text and the index after it.
function quotedField(text: string, at: number): [string, number] {
  let field = '';
  let from = at + 1;
  for (;;) {
    const quote = text.indexOf('"', from);
    if (quote < 0) return [field + text.slice(from), text.length];
    field += text.slice(from, quote);
    if (text[quote + 1] !== '"') return [field, quote + 1];
    field += '"';
    from = quote + 2;
  }
}

export function readCsv(text: string): string[][] {
  const records: string[][] = [];
  let record: string[] = [];
  let i = text.charCodeAt(0) === 0xfeff ? 1 : 0;
  const endRecord = () => {
    if (record.length > 1 || record[0] !== '') records.push(record);
    record = [];
  };
  while (i < text.length) {
    let field: string;
    if (text[i] === '"') {
      [field, i] = quotedField(text, i);
      // Anything after the closing quote, up to the border, stays in the field.
      let end = i;
      while (end < text.length && text[end] !== ',' && text[end] !== '\n' && !(text[end] === '\r' && text[end + 1] === '\n')) ++end;
      field += text.slice(i, end);
      i = end;
    } else {
      let end = i;
      while (end < text.length && text[end] !== ',' && text[end] !== '\n' && !(text[end] === '\r' && text[end + 1] === '\n')) ++end;
      field = text.slice(i, end);
      i = end;
    }
    record.push(field);
    if (i >= text.length) break;
    if (text[i] === ',') {
      ++i;
      if (i >= text.length) record.push('');
      continue;
    }
    i += text[i] === '\r' ? 2 : 1;
    endRecord();
  }
  if (record.length > 0) endRecord();
  return records;
}
