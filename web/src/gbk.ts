// Texts cross into the library as GBK. The browser decodes GBK itself; for
// the other direction the table is read once from the same decoder, over
// every double-byte code.

const decoder = new TextDecoder('gbk');
let codes: Map<number, number> | null = null;

function encodingTable(): Map<number, number> {
  if (codes) return codes;
  codes = new Map();
  const pair = new Uint8Array(2);
  for (let lead = 0x81; lead <= 0xfe; ++lead) {
    for (let trail = 0x40; trail <= 0xfe; ++trail) {
      if (trail === 0x7f) continue;
      pair[0] = lead;
      pair[1] = trail;
      const text = decoder.decode(pair);
      const point = text.codePointAt(0) ?? 0xfffd;
      if (point !== 0xfffd && text.length === String.fromCodePoint(point).length && !codes.has(point))
        codes.set(point, (lead << 8) | trail);
    }
  }
  return codes;
}

// A text in GBK, and for each GBK byte the UTF-16 index of the character it
// belongs to (one more entry for the end). A character GBK lacks becomes "?".
export interface GbkText {
  bytes: Uint8Array;
  indexOfByte: Int32Array;
}

export function encodeGbk(text: string): GbkText {
  const table = encodingTable();
  const bytes: number[] = [];
  const indexOfByte: number[] = [];
  for (let i = 0; i < text.length; ) {
    const point = text.codePointAt(i) as number;
    const code = point < 0x80 ? point : table.get(point);
    if (code === undefined || code < 0x80) {
      bytes.push(code ?? 0x3f);
      indexOfByte.push(i);
    } else {
      bytes.push(code >> 8, code & 0xff);
      indexOfByte.push(i, i);
    }
    i += point > 0xffff ? 2 : 1;
  }
  indexOfByte.push(text.length);
  return { bytes: Uint8Array.from(bytes), indexOfByte: Int32Array.from(indexOfByte) };
}

// Writes text in GBK at `at` of out (room for two bytes a character) and
// returns the end: for values, which need no positions.
export function writeGbk(text: string, out: Uint8Array, at: number): number {
  const table = encodingTable();
  for (let i = 0; i < text.length; ++i) {
    let point = text.charCodeAt(i);
    if (point < 0x80) {
      out[at++] = point;
      continue;
    }
    if (point >= 0xd800 && point < 0xdc00 && i + 1 < text.length) point = text.codePointAt(i++) as number;
    const code = table.get(point);
    if (code === undefined || code < 0x80) out[at++] = code ?? 0x3f;
    else (out[at++] = code >> 8), (out[at++] = code & 0xff);
  }
  return at;
}

export function decodeGbk(bytes: Uint8Array): string {
  return decoder.decode(bytes);
}

// A file's text: UTF-8 when its bytes are valid UTF-8 (a byte-order mark
// dropped), GBK otherwise.
export function decodeFile(bytes: Uint8Array): { text: string; encoding: 'UTF-8' | 'GBK' } {
  try {
    const text = new TextDecoder('utf-8', { fatal: true, ignoreBOM: false }).decode(bytes);
    return { text, encoding: 'UTF-8' };
  } catch {
    return { text: decodeGbk(bytes), encoding: 'GBK' };
  }
}
