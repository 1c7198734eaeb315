// The built page served over loopback and Debian's chromium, headless: what
// the page's test and its benchmark share.
import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize } from 'node:path';
import { chromium } from 'playwright-core';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };

// The folder as any static server gives it; resolves to the server.
export function serve(root) {
  const server = createServer((request, response) => {
    const path = normalize(join(root, decodeURIComponent(new URL(request.url, 'http://x').pathname)));
    const file = path.endsWith('/') ? join(path, 'index.html') : path;
    if (!file.startsWith(root) || !statSync(file, { throwIfNoEntry: false })?.isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[extname(file)] ?? 'application/octet-stream' });
    createReadStream(file).pipe(response);
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

// As root, without the sandbox; nothing of the browser's own goes online.
export function launch() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update'],
  });
}

// A new page on the served folder, once the library has loaded.
export async function openPage(browser, server) {
  const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.locator('body[data-ready=true]').waitFor({ timeout: 30000 });
  return page;
}

// The page's file check of two files: its counts per rule and its time.
export async function checkFiles(page, rulesPath, dataPath) {
  const checks = Number(await page.locator('#report').getAttribute('data-checks') ?? 0);
  await page.setInputFiles('#rules-file', rulesPath);
  await page.setInputFiles('#data-file', dataPath);
  await page.click('#check');
  // The previous check's table is still there until this one is done.
  await page.locator(`#report[data-checks="${checks + 1}"] #rule-counts`).waitFor({ timeout: 600000 });
  const counts = await page.$$eval('#rule-counts tr[data-rule]', (rows) =>
    Object.fromEntries(rows.map((row) => [row.dataset.rule, {
      held: Number(row.querySelector('.held').textContent),
      failed: Number(row.querySelector('.failed').textContent),
      errors: Number(row.querySelector('.errors').textContent),
    }])));
  return { counts, milliseconds: Number(await page.locator('#report').getAttribute('data-milliseconds')) };
}
