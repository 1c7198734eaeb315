// ROWS generated applicant rows checked with the nine example rules, in
// headless chromium by the page (timed by the page: from reading the rules
// file to the last count) and by `rulecalc batch` (the whole process), in
// the same run; it prints the page's counts beside the times.
// Usage: node bench/web/check_rows.mjs SITE_DIR TOOL [ROWS]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { checkFiles, launch, openPage, serve } from '../../web/tests/browser.mjs';

const [siteDir, tool] = process.argv.slice(2, 4).map((path) => resolve(path));
const rows = process.argv[4] ?? '100000';
const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const rulesPath = join(root, 'examples/applicants.rules');
const folder = mkdtempSync(join(tmpdir(), 'rulecalc-web-bench-'));
const dataPath = join(folder, 'applicants.csv');
writeFileSync(dataPath, execFileSync('/usr/bin/python3', [join(root, 'examples/make_applicants.py'), rows], { maxBuffer: 1 << 30 }));

// The tool over the same files, the whole process.
function toolMillisecondsOnce() {
  const started = performance.now();
  execFileSync(tool, ['batch', '--rules', rulesPath, '--data', dataPath, '--format', 'csv', '--output', join(folder, 'out.csv')],
    { stdio: 'ignore' });
  return performance.now() - started;
}

const server = await serve(siteDir);
const browser = await launch();
try {
  const first = toolMillisecondsOnce();
  const page = await openPage(browser, server);
  const shown = await checkFiles(page, rulesPath, dataPath);
  const toolMilliseconds = Math.min(first, toolMillisecondsOnce());
  console.log(JSON.stringify(shown.counts));
  console.log(`${rows} rows: page ${shown.milliseconds.toFixed(0)} ms, tool ${toolMilliseconds.toFixed(0)} ms, ` +
    `page / tool ${(shown.milliseconds / toolMilliseconds).toFixed(2)}`);
} finally {
  await browser.close();
  server.close();
  rmSync(folder, { recursive: true });
}
