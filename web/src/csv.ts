// CSV as in RFC 4180: comma-separated fields, records ended by CRLF or LF,
// double-quoted fields that may hold commas, line breaks and doubled
// quotes. Empty lines between records are skipped; a quote inside an
// unquoted field is an ordinary character.

export function readCsv(text: string): string[][] {
  const records: string[][] = [];
  let record: string[] = [];
  let field = '';
  let i = text.charCodeAt(0) === 0xfeff ? 1 : 0;
  const endRecord = () => {
    record.push(field);
    if (record.length > 1 || record[0] !== '') records.push(record);
    record = [];
    field = '';
  };
  while (i < text.length) {
    const c = text[i];
    if (c === '"' && field === '') {
      for (++i; i < text.length; ++i) {
        if (text[i] === '"' && text[i + 1] === '"') (field += '"'), ++i;
        else if (text[i] === '"') break;
        else field += text[i];
      }
      ++i;
    } else if (c === ',') {
      record.push(field);
      field = '';
      ++i;
    } else if (c === '\n' || (c === '\r' && text[i + 1] === '\n')) {
      endRecord();
      i += c === '\r' ? 2 : 1;
    } else {
      field += c;
      ++i;
    }
  }
  if (field !== '' || record.length > 0) endRecord();
  return records;
}
