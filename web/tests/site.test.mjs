// A site in the page: opened from a file (picker and drag and drop), filtered, chosen, its
// strings, saved, and the platforms' files byte-identical to rvx-strings --batch --export.
import assert from 'node:assert/strict';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { launch, openPage, rvxStrings, serve } from './harness.mjs';

const siteText = [
  '# a site with every form of line',
  '123456,single,"Kitchen, east",Ground floor,facing the garden',
  '0A0B0C,group,All blinds',
  'a1b2c3',
  '  FFFFFF , single , "Hall ""north"""',
  '00AA01,single,=cmd|calc',
  '',
].join('\n');

let server;
let context;
let dir;
let sitePath;

before(async () => {
  server = await serve();
  context = await launch();
  dir = mkdtempSync(path.join(os.tmpdir(), 'rvx-web-site-'));
  sitePath = path.join(dir, 'house.csv');
  writeFileSync(sitePath, siteText);
});

after(async () => {
  await context?.closeAll();
  await server?.close();
  rmSync(dir, { recursive: true, force: true });
});

async function downloaded(page, click) {
  const [download] = await Promise.all([page.waitForEvent('download'), click()]);
  return { name: download.suggestedFilename(), text: readFileSync(await download.path(), 'utf8') };
}

const exports = [
  ['node-red', 'tcp', ['--target', 'tcp://192.168.1.50:4001']],
  ['node-red', 'serial', ['--target', '/dev/ttyUSB0']],
  ['home-assistant', 'tcp', ['--target', 'tcp://192.168.1.50:4001']],
  ['home-assistant', 'serial', ['--target', '/dev/ttyUSB0', '--baud', '9600', '--parity', 'even']],
  ['openhab-things', 'serial', ['--target', '/dev/ttyUSB0']],
  ['openhab-items', 'serial', ['--target', '/dev/ttyUSB0']],
];

test('the exports of a site are byte for byte those of rvx-strings --batch --export', async () => {
  const page = await openPage(context, server.url);
  await page.setInputFiles('#site-file', sitePath);
  await page.waitForFunction(() => document.querySelectorAll('#site-table tbody tr').length === 5);
  for (const [kind, target, args] of exports) {
    await page.selectOption('#export-kind', kind);
    await page.selectOption('#target-kind', target);
    if (target === 'serial') {
      await page.fill('#target-baud', args.includes('--baud') ? '9600' : '4800');
      await page.selectOption('#target-parity', args.includes('--parity') ? 'even' : 'odd');
    }
    const file = await downloaded(page, () => page.click('#export-run'));
    const run = rvxStrings(['--batch', sitePath, '--export', kind, ...args]);
    assert.equal(run.status, 0, run.stderr);
    assert.equal(file.text, run.stdout, `${kind} ${target}`);
    assert.ok(file.name.startsWith('house'), file.name);
  }
  // A target the platform cannot reach gives rvx-strings' reason and no file.
  await page.selectOption('#export-kind', 'openhab-things');
  await page.selectOption('#target-kind', 'tcp');
  await page.click('#export-run');
  const refused = rvxStrings(['--batch', sitePath, '--export', 'openhab-things', '--target',
    'tcp://192.168.1.50:4001']);
  assert.equal(refused.status, 2);
  const reason = (await page.textContent('#export-message')).split(', not a TCP bridge')[0];
  assert.ok(reason.length > 20 && refused.stderr.includes(`${reason}, not a TCP bridge`),
    `${refused.stderr} / ${reason}`);
  assert.equal(await page.textContent('#export-text'), '');
  assert.deepEqual(page.errors, []);
});

test('filter, choose, the strings of the selection, and save', async () => {
  const page = await openPage(context, server.url);
  // Dropped on the page, as from a file manager.
  await page.evaluate((text) => {
    const data = new DataTransfer();
    data.items.add(new File([text], 'dropped.csv', { type: 'text/csv' }));
    document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: data,
      bubbles: true, cancelable: true }));
  }, siteText);
  await page.waitForFunction(() => document.querySelectorAll('#site-table tbody tr').length === 5);
  await page.fill('#site-filter', 'floor');
  assert.equal(await page.locator('#site-table tbody tr').count(), 1);
  await page.fill('#site-filter', 'a');
  await page.click('#select-all');
  await page.fill('#site-filter', '');
  const chosen = await page.$$eval('#site-table tbody input:checked',
    (boxes) => boxes.map((b) => b.closest('tr').children[1].textContent));
  // "a" is in 123456's label, in 0A0B0C, a1b2c3, "Hall" and 00AA01's label; FFFFFF's label too.
  assert.deepEqual(chosen, ['123456', '0A0B0C', 'a1b2c3', 'FFFFFF', '00AA01']);
  await page.locator('#site-table tbody tr', { hasText: '0A0B0C' }).locator('input').uncheck();
  for (const format of ['csv', 'json', 'text']) {
    await page.selectOption('#selection-format', format);
    await page.click('#selection-strings');
    const lines = siteText.split('\n').filter((l) => !l.startsWith('0A0B0C'));
    writeFileSync(path.join(dir, 'chosen.csv'), lines.join('\n'));
    const run = rvxStrings(['--batch', path.join(dir, 'chosen.csv'), '--format', format]);
    assert.equal(await page.textContent('#selection-table'), run.stdout, format);
  }
  // Saved, the site reads back as the same motors: the table of the saved file is the same.
  const saved = await downloaded(page, () => page.click('#save-site'));
  assert.equal(saved.name, 'dropped.csv');
  writeFileSync(path.join(dir, 'saved.csv'), saved.text);
  assert.equal(rvxStrings(['--batch', path.join(dir, 'saved.csv')]).stdout,
    rvxStrings(['--batch', sitePath]).stdout);
  assert.match(saved.text, /^123456,single,"Kitchen, east",Ground floor,facing the garden\n/);
  assert.deepEqual(page.errors, []);
});

test('a large site shows its first motors and finds any of them by the filter', async () => {
  const page = await openPage(context, server.url);
  const lines = [];
  for (let i = 0; i < 10000; i++) {
    lines.push(`${(0x200000 + i).toString(16).toUpperCase()},single,"Blind ${i}",Floor ${i % 7}`);
  }
  const big = path.join(dir, 'big.csv');
  writeFileSync(big, lines.join('\n'));
  await page.setInputFiles('#site-file', big);
  await page.waitForFunction(() => document.getElementById('site-state').textContent
    === 'big.csv: 10000 motors.');
  const shown = await page.locator('#site-table tbody tr').count();
  assert.ok(shown > 10 && shown < 10000, String(shown));
  assert.equal(await page.textContent('#site-shown'),
    `10000 of 10000 motors match, the first ${shown} shown; 0 chosen.`);
  await page.fill('#site-filter', 'blind 9999');
  assert.deepEqual(await page.$$eval('#site-table tbody tr',
    (rows) => rows.map((r) => r.children[1].textContent)), ['20270F']);
  assert.equal(await page.textContent('#site-shown'),
    '1 of 10000 motors match; 0 chosen.');
  assert.deepEqual(page.errors, []);
});

// Files the engine refuses, as rvx-strings --batch refuses them: the page reads the file's own
// bytes, so a label in Latin-1 is refused rather than shown with replacement characters.
const badFiles = [
  ['bad addresses and kinds', Buffer.from('123456\n12345G,single\n0A0B0C,both\n')],
  ['a label in Latin-1', Buffer.from('123456,single,"Caf\xe9"\n0A0B0C,group,Hall\n', 'latin1')],
  ['a room cut inside a character', Buffer.concat([Buffer.from('123456,single,"Hall",K'),
    Buffer.from([0xc3]), Buffer.from(',note\n')])],
];

test('a file with bad lines names them and leaves the open site alone', async () => {
  const page = await openPage(context, server.url);
  await page.setInputFiles('#site-file', sitePath);
  await page.waitForFunction(() => document.querySelectorAll('#site-table tbody tr').length === 5);
  for (const [name, bytes] of badFiles) {
    const bad = path.join(dir, 'bad.csv');
    writeFileSync(bad, bytes);
    await page.evaluate(() => document.getElementById('site-problems').replaceChildren());
    await page.setInputFiles('#site-file', []);
    await page.setInputFiles('#site-file', bad);
    await page.waitForFunction(() => document.querySelectorAll('#site-problems li').length > 0);
    const problems = await page.$$eval('#site-problems li',
      (items) => items.map((i) => i.textContent));
    const run = rvxStrings(['--batch', bad]);
    assert.equal(run.status, 2, name);
    assert.equal(problems.length, run.stderr.trim().split('\n').length, name);
    for (const problem of problems) {
      // The command line says "FILE:LINE: message", the page "line LINE: message".
      const [, line, message] = problem.match(/^line (\d+): (.*)$/);
      assert.ok(run.stderr.includes(`${bad}:${line}: ${message}`), `${name}: ${problem} in ${run.stderr}`);
    }
    assert.equal(await page.locator('#site-table tbody tr').count(), 5, name);
  }
  assert.deepEqual(page.errors, []);
});
