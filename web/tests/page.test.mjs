// The page in headless chromium: the README's rule typed, run and broken,
// and the shipped example checked, each count equal to the tool's.
// Usage: node page.test.mjs SITE_DIR TOOL OUTPUT_DIR
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { basename, dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { checkFiles, launch, serve } from './browser.mjs';

const [siteDir, tool, outputDir] = process.argv.slice(2).map((path) => resolve(path));
const sourceDir = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const rulesPath = join(sourceDir, 'examples/applicants.rules');
const dataPath = join(sourceDir, 'examples/applicants.csv');
mkdirSync(outputDir, { recursive: true });

const failures = [];
let toolMilliseconds = 0;
let toolAttention = [];
function expect(what, actual, expected) {
  const same = JSON.stringify(actual) === JSON.stringify(expected);
  console.log(`${same ? 'ok  ' : 'FAIL'} ${what}${same ? '' : `: ${JSON.stringify(actual)} != ${JSON.stringify(expected)}`}`);
  if (!same) failures.push(what);
}

// The README's example rule and the explanation it prints beside it.
function readmeExample() {
  const readme = readFileSync(join(sourceDir, 'README.md'), 'utf8');
  return { rule: /^IF AGE>=18 .*;$/m.exec(readme)[0], explanation: /^SCORE::.*$/m.exec(readme)[0] };
}

function csvRecords(text) {
  const records = [];
  let record = [], field = '', quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') (field += '"'), ++i;
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') record.push(field), (field = '');
    else if (c === '\n') record.push(field), records.push(record), (record = []), (field = '');
    else if (c !== '\r') field += c;
  }
  return records;
}

// Per rule the tool's held, failed and error counts from its per-row verdicts.
function toolCounts(rules = rulesPath, data = dataPath) {
  const started = performance.now();
  // Status 1 says a threshold was crossed, 2 that a row stopped with an
  // error; the verdicts are there all the same.
  const { stdout: csv, status } = spawnSync(tool, ['batch', '--rules', rules, '--data', data, '--format', 'csv'],
    { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
  if (![0, 1, 2].includes(status)) throw new Error(`${tool} batch: status ${status}`);
  toolMilliseconds = performance.now() - started;
  const [, ...rows] = csvRecords(csv);
  const counts = {};
  toolAttention = rows.filter(([, , result]) => result !== 'true').map(([row, rule, result, text]) => [row, rule, result, text]);
  for (const [, rule, result] of rows) {
    counts[rule] ??= { held: 0, failed: 0, errors: 0 };
    ++counts[rule][result === 'true' ? 'held' : result === 'false' ? 'failed' : 'errors'];
  }
  return counts;
}

async function typeRule(page, text) {
  await page.click('.cm-content');
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Delete');
  await page.keyboard.type(text);
  await page.locator(`#analysis[data-length="${text.length}"]`).waitFor();
}

async function trySentence(page) {
  const { rule, explanation } = readmeExample();
  await typeRule(page, rule);
  expect('the keywords are coloured', await page.locator('[data-kind=keyword]').allTextContents(), ['IF', 'THEN', 'ELSE', 'AND']);
  expect('the variables are coloured', await page.locator('[data-kind=variable]').allTextContents(), ['AGE', 'SCORE', 'SCORE', 'NAME']);
  expect('the variables form names them', await page.locator('#variables label').allTextContents(), ['AGE', 'SCORE', 'NAME']);
  await page.fill('#var-AGE', '20');
  await page.fill('#var-SCORE', '50');
  await page.fill('#var-NAME', '张三');
  await page.selectOption('#type-NAME', 'text');
  await page.click('#run');
  expect('the rule fails', await page.locator('.status').getAttribute('class'), 'status status-failed');
  // The README shows the explanation without the blank the library leaves after a THEN branch.
  expect('the explanation is the README\'s', (await page.locator('.explanation-text').textContent()).trimEnd(), explanation);
  await page.screenshot({ path: join(outputDir, '1-explanation.png'), fullPage: true });

  await page.fill('#var-SCORE', '70');
  await page.click('#run');
  expect('with SCORE 70 it holds', await page.locator('.status').getAttribute('class'), 'status status-held');

  const broken = rule.replace('AGE>=18', 'AGE>=');
  await typeRule(page, broken);
  const mark = page.locator('.cm-lintRange-error');
  await mark.waitFor();
  expect('the mark is under THEN', await mark.textContent(), 'THEN');
  const before = await mark.evaluate((node) => {
    const range = document.createRange();
    range.setStart(node.closest('.cm-content'), 0);
    range.setEndBefore(node);
    return range.toString();
  });
  expect('the mark starts at the token', before.length, broken.indexOf('THEN'));
  expect('the message is shown', await page.locator('#analysis .message-error').count(), 1);
  await page.screenshot({ path: join(outputDir, '2-analysis-error.png'), fullPage: true });
}

async function checkExample(page) {
  const { counts: shown, milliseconds: pageMilliseconds } = await checkFiles(page, rulesPath, dataPath);
  const expected = toolCounts();
  for (const rule of Object.keys(expected)) expect(`the counts of ${rule}`, shown[rule], expected[rule]);
  expect('the same rules', Object.keys(shown).sort(), Object.keys(expected).sort());
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const downloaded = csvRecords(readFileSync(await download.path(), 'utf8').replace(/^\ufeff/, ''))
    .slice(1).map(([row, , rule, result, text]) => [row, rule, result, text]);
  expect('the downloaded rows are the tool\'s rows that did not hold, with its explanations', downloaded, toolAttention);
  console.log(`the example checked: page ${pageMilliseconds} ms, the tool (a process) ${toolMilliseconds.toFixed(1)} ms`);
  expect('the rules file analyses in the editor with the data\'s types', await page.locator('.cm-lintRange-error').count(), 0);
  await page.screenshot({ path: join(outputDir, '3-file-check.png'), fullPage: true });
  await page.click('#locale');
  expect('English on the switch', await page.locator('h1').textContent(), 'Rule workbench');
  await page.screenshot({ path: join(outputDir, '4-english.png'), fullPage: true });
}

// A GBK file with quoted fields (a comma, a line break), a value that is no
// number under :num, and readings only the tool's engine had before: a
// Chinese header naming a variable, a number picture, a date format.
async function checkGbkFile(page) {
  const rules = join(outputDir, 'gbk.rules');
  const data = join(outputDir, 'gbk.csv');
  writeFileSync(rules, '@max-failed size 1\nsize "大小": N > 1;\nname: LENGTH(NAME) >= 4;\namount: AMOUNT < 10000;\n' +
    'born: YEAR(BORN) < 2000;\n');
  execFileSync('/usr/bin/python3', ['-c', 'import sys; open(sys.argv[1], "wb").write(sys.argv[2].encode("gbk"))', data,
    '姓名=NAME,N:num,"金额=AMOUNT:num(#,##0.00)",BORN:date(yyyy年m月d日)\r\n张三,2,"12,345.00",1990年1月31日\r\n' +
    '"李,四",abc,900.00,2010年5月1日\r\n"王\n五五",0,"1,000.50",1985年12月1日\r\n赵,,5.00,2001年2月3日\r\n']);
  const { counts } = await checkFiles(page, rules, data);
  expect('a GBK file counts as the tool counts it', counts, toolCounts(rules, data));
  expect('it is read as GBK', await page.locator('#report').getAttribute('data-encoding'), 'UTF-8,GBK');
  expect('a crossed @max-failed is marked', await page.locator('#rule-counts tr[data-rule=size] .limit.crossed').count(), 1);
  const born = toolAttention.filter(([, rule]) => rule === 'born').map(([, , , text]) => text);
  expect('the most common explanation of a rule is the tool\'s', await page.locator('#common-explanations ol[data-rule=born] li')
    .first().textContent(), `${born.filter((text) => text === born[0]).length} × ${born[0]}`);
}

// 250 rows that all fail: the rows needing attention come 100 to a page.
async function checkPaging(page) {
  const rules = join(outputDir, 'paging.rules');
  const data = join(outputDir, 'paging.csv');
  writeFileSync(rules, 'positive: N > 0;\n');
  writeFileSync(data, 'N\n' + '0\n'.repeat(250));
  await checkFiles(page, rules, data);
  expect('three pages', await page.locator('#page-number').textContent(), '1 / 3');
  await page.click('#page-next');
  expect('the second page starts at row 101', await page.locator('#attention tr[data-rule] td').first().textContent(), '101');
  await page.screenshot({ path: join(outputDir, '5-paging.png'), fullPage: true });
}

// The example's two files dropped on the file check together: checked as
// the pickers' are.
async function checkDropped(page) {
  const checks = Number(await page.locator('#report').getAttribute('data-checks'));
  const files = [rulesPath, dataPath].map((path) => ({ name: basename(path), text: readFileSync(path, 'utf8') }));
  await page.evaluate((dropped) => {
    const transfer = new DataTransfer();
    for (const { name, text } of dropped) transfer.items.add(new File([text], name));
    document.getElementById('check-section').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true }));
  }, files);
  await page.locator(`#report[data-checks="${checks + 1}"] #rule-counts`).waitFor();
  const shown = await page.$$eval('#rule-counts tr[data-rule]', (rows) => rows.map((row) => row.dataset.rule));
  expect('dropped files are checked', shown, Object.keys(toolCounts()));
}

// Data the rules cannot run on, and bytes that are no text: the engine's
// findings and message in the page, and the page goes on.
async function checkUnusable(page) {
  const rules = join(outputDir, 'paging.rules');
  const noColumn = join(outputDir, 'no-column.csv');
  writeFileSync(noColumn, 'M\n1\n');
  const checks = Number(await page.locator('#report').getAttribute('data-checks'));
  await page.setInputFiles('#rules-file', rules);
  await page.setInputFiles('#data-file', noColumn);
  await page.click('#check');
  await page.locator(`#report[data-checks="${checks + 1}"]`).waitFor();
  expect('a variable no column has is named', /\bN\b/.test(await page.locator('#report-notes').textContent()), true);
  const binary = join(outputDir, 'binary.csv');
  writeFileSync(binary, Buffer.from([0x4e, 0x0a, 0x00, 0xff, 0xfe, 0x81, 0x0a, 0x22, 0x0a]));
  await page.setInputFiles('#data-file', binary);
  await page.click('#check');
  await page.locator(`#report[data-checks="${checks + 2}"]`).waitFor();
  const said = await page.locator('#report').textContent();
  expect('bytes that are no text are reported', said.length > 0, true);
  console.log(`  (the page said: ${said.slice(0, 160)})`);
}

const server = await serve(siteDir);
const browser = await launch();
try {
  const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  const outside = [];
  page.on('request', (request) => {
    if (!request.url().startsWith(`http://127.0.0.1:${server.address().port}/`)) outside.push(request.url());
  });
  page.on('pageerror', (error) => failures.push(`page error: ${error.message}`));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.locator('body[data-ready=true]').waitFor({ timeout: 30000 });
  expect('Chinese by default', await page.locator('h1').textContent(), '规则编写工作台');
  await trySentence(page);
  await checkExample(page);
  await checkGbkFile(page);
  await checkPaging(page);
  await checkUnusable(page);
  await checkDropped(page);
  expect('nothing fetched from elsewhere', outside, []);
} finally {
  await browser.close();
  server.close();
}
if (failures.length) {
  console.error(`${failures.length} failed: ${failures.join('; ')}`);
  process.exit(1);
}
