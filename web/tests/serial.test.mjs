// Sending and watching through Web Serial, with the browser's serial port object as the one
// stand-in: the line the page opens, the exact bytes and their order, the gap, Identify's
// pause, Stop and Esc, no frame from a refused value, the send log, and the monitor's rows
// against rvx-strings --monitor reading the same bytes from a real pseudo-terminal.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, openSync, readFileSync, rmSync, writeSync, closeSync,
  writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import { launch, openPage, rvxStrings, serve, stringsProgram } from './harness.mjs';

let server;
let context;
let dir;

before(async () => {
  server = await serve();
  context = await launch();
  dir = mkdtempSync(path.join(os.tmpdir(), 'rvx-web-serial-'));
});

after(async () => {
  await context?.closeAll();
  await server?.close();
  rmSync(dir, { recursive: true, force: true });
});

const bytesOf = (text) => text.trim().split(' ').map((h) => parseInt(h, 16));
const frameOf = (args) => bytesOf(rvxStrings(args).stdout);
const writes = (page) => page.evaluate(() => window.serialRecord.writes);

test('the page gets ready whatever the browser answers about remembered ports', async () => {
  for (const [name, answer] of [
    ['refused', () => Promise.reject(new DOMException('Access to serial ports is blocked.',
      'SecurityError'))],
    ['never answered', () => new Promise(() => {})],
  ]) {
    const page = await openPage(context, server.url, {
      init: `navigator.serial.getPorts = ${answer.toString()};` });
    await page.fill('#address', '123456');
    assert.equal(await page.textContent('#string-up'), rvxStrings(['123456', '--command', 'up'])
      .stdout.trim(), name);
    assert.equal(await page.isDisabled('#connect'), false, name);
    if (name === 'refused') {
      await page.waitForSelector('#port-state:has-text("Remembered ports not listed")');
    }
    assert.deepEqual(page.errors, [], name);
    await page.close();
  }
});

async function connected(page) {
  await page.click('#connect');
  await page.waitForFunction(() => window.serialRecord.opens.length === 1);
  await page.waitForSelector('#port-state:has-text("open")');
}

async function withSite(page, lines) {
  const file = path.join(dir, `site-${lines.length}.csv`);
  writeFileSync(file, lines.join('\n'));
  await page.setInputFiles('#site-file', file);
  await page.waitForSelector(`#site-state:has-text("${lines.length} motors")`);
  await page.click('#select-all');
}

test('the line is 4800 8O1 and Send writes exactly the frame shown', async () => {
  const page = await openPage(context, server.url);
  await connected(page);
  assert.deepEqual(await page.evaluate(() => window.serialRecord.opens),
    [{ baudRate: 4800, dataBits: 8, stopBits: 1, parity: 'odd' }]);
  await page.fill('#address', '123456');
  await page.click('button[aria-label="Send Up"]');
  await page.waitForSelector('#send-state:has-text("Sent")');
  assert.deepEqual((await writes(page)).map((w) => w.bytes),
    [frameOf(['123456', '--command', 'up'])]);
  assert.match(await page.textContent('#send-state'), /Up to single motor 123456 on USB serial port 0403:6001/);
  // The port chosen is offered again among the remembered ones, and opens without the chooser.
  assert.deepEqual(await page.$$eval('#known-ports option', (o) => o.map((x) => x.textContent)),
    ['USB serial port 0403:6001']);
  await page.click('#reconnect');
  await page.waitForFunction(() => window.serialRecord.opens.length === 2);
  assert.equal(await page.evaluate(() => window.serialRecord.requests), 1);
  assert.deepEqual(page.errors, []);
});

test('a refused value sends nothing', async () => {
  const page = await openPage(context, server.url);
  await connected(page);
  await page.fill('#address', '123456');
  await page.fill('#txtPct', '150');
  await page.selectOption('#chosen-command', { label: 'Go to %' });
  assert.equal(await page.isDisabled('#send-chosen'), true);
  assert.equal(await page.isDisabled('button[aria-label="Send Go to %"]'), true);
  await withSite(page, ['123456', 'A1B2C3']);
  await page.selectOption('#site-command', { label: 'Go to %' });
  await page.click('#send-selection');
  assert.match(await page.textContent('#send-state'), /^Not sent: "150": out of range/);
  await sleep(200);
  assert.deepEqual(await writes(page), []);
});

test('several motors go in list order with the gap; Identify pauses between its steps', async () => {
  const page = await openPage(context, server.url);
  await connected(page);
  const site = ['0A0B0C,group,All', '123456,single,Kitchen', 'A1B2C3'];
  await withSite(page, site);
  const line = await page.evaluate(async () => JSON.parse(
    (await (await import('/rvx-engine.js')).default()).catalogue()).line);
  const spacing = line.frameMs + line.gapMs;
  assert.ok(spacing >= 80, `${spacing}`);
  await page.selectOption('#site-command', { label: 'Stop' });
  await page.click('#send-selection');
  await page.waitForFunction(() => window.serialRecord.writes.length === 3);
  let sent = await writes(page);
  assert.deepEqual(sent.map((w) => w.bytes), [
    frameOf(['0A0B0C', '--group', '--command', 'stop']),
    frameOf(['123456', '--command', 'stop']),
    frameOf(['A1B2C3', '--command', 'stop']),
  ]);
  for (let i = 1; i < sent.length; i++) {
    assert.ok(sent[i].at - sent[i - 1].at >= spacing - 1, `gap ${sent[i].at - sent[i - 1].at}`);
  }
  await page.waitForSelector('#identify:enabled');
  await page.click('#identify');
  await page.waitForFunction(() => window.serialRecord.writes.length === 9, null, { timeout: 5000 });
  sent = (await writes(page)).slice(3);
  const jog = (cmd) => [frameOf(['0A0B0C', '--group', '--command', cmd]),
    frameOf(['123456', '--command', cmd]), frameOf(['A1B2C3', '--command', cmd])];
  assert.deepEqual(sent.map((w) => w.bytes), [...jog('jog-up'), ...jog('jog-down')]);
  const pause = sent[3].at - sent[2].at;
  assert.ok(pause >= line.frameMs + 600 - 1, `pause ${pause}`);
  // The send log: a line per frame with the keys of the window's log.
  const log = await (async () => {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-log')]);
    return readFileSync(await download.path(), 'utf8');
  })();
  const entries = log.trimEnd().split('\n').map((l) => JSON.parse(l));
  assert.equal(entries.length, 9);
  assert.deepEqual(Object.keys(entries[0]),
    ['address', 'command', 'frame', 'kind', 'result', 'sent', 'target', 'time']);
  assert.deepEqual(entries.map((e) => e.command).slice(0, 4), ['Stop', 'Stop', 'Stop', 'Jog Up 10 ms']);
  assert.equal(entries[1].frame, rvxStrings(['123456', '--command', 'stop']).stdout.trim());
  assert.equal(entries[0].kind, 'group');
  assert.equal(entries[1].sent, true);
  assert.match(entries[1].time, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$/);
  assert.deepEqual(page.errors, []);
});

test('Stop and Esc end a send at once; what had not gone out stays unsent', async () => {
  const page = await openPage(context, server.url);
  await connected(page);
  const site = Array.from({ length: 30 }, (_, i) => (0x100000 + i).toString(16));
  await withSite(page, site);
  await page.selectOption('#site-command', { label: 'Up' });
  await page.click('#send-selection');
  await page.waitForFunction(() => window.serialRecord.writes.length >= 2);
  await page.keyboard.press('Escape');
  const stoppedAt = (await writes(page)).length;
  await sleep(500);
  assert.equal((await writes(page)).length, stoppedAt);
  assert.ok(stoppedAt < 5, `${stoppedAt}`);
  assert.match(await page.textContent('#send-state'), /Stopped/);
  await page.waitForSelector('#send-selection:enabled');
  await page.click('#send-selection');
  await page.waitForFunction(() => window.serialRecord.writes.length >= 3 + 2);
  await page.click('#stop-sending');
  const second = (await writes(page)).length;
  await sleep(400);
  assert.equal((await writes(page)).length, second);
  assert.deepEqual(page.errors, []);
});

// The same bytes, in the same pieces and pauses, to the page's reader and to rvx-strings
// --monitor on one end of a pseudo-terminal pair.
const good = frameOf(['123456', '--command', 'up']);
const corrupted = [...frameOf(['A1B2C3', '--command', 'down'])];
corrupted[13] ^= 0x01;
const cutOff = good.slice(0, 6);
const pieces = [
  [good.slice(0, 5), 0], [good.slice(5), 50],
  [[0x00, 0x17, 0x42], 400],
  [corrupted, 0],
  [[...cutOff, ...frameOf(['0A0B0C', '--group', '--command', 'stop'])], 400],
  [[0xAB, 0xF1], 400],
];

async function monitorLines() {
  const bus = path.join(dir, 'bus');
  const feed = path.join(dir, 'feed');
  const socat = spawn('socat', [`pty,raw,echo=0,link=${bus}`, `pty,raw,echo=0,link=${feed}`]);
  for (let i = 0; i < 100 && !(existsSync(bus) && existsSync(feed)); i++) await sleep(50);
  const monitor = spawn(stringsProgram, ['--monitor', bus, '--format', 'json']);
  let out = '';
  let err = '';
  monitor.stdout.on('data', (d) => { out += d; });
  monitor.stderr.on('data', (d) => { err += d; });
  await sleep(700);
  const fd = openSync(feed, 'w');
  for (const [bytes, pause] of pieces) {
    writeSync(fd, Buffer.from(bytes));
    await sleep(pause);
  }
  await sleep(600);
  closeSync(fd);
  monitor.kill('SIGINT');
  await new Promise((resolve) => monitor.on('exit', resolve));
  socat.kill();
  assert.match(err, /stopped; 3 frames and 3 runs of noise seen/);
  return out.trimEnd().split('\n');
}

const withoutTime = (line) => {
  const row = JSON.parse(line);
  assert.match(row.time, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$/);
  delete row.time;
  return row;
};

test('the monitor rows are those of rvx-strings --monitor for the same bytes', async () => {
  const page = await openPage(context, server.url);
  await connected(page);
  for (const [bytes, pause] of pieces) {
    await page.evaluate((b) => window.serialFeed(b), bytes);
    await sleep(pause);
  }
  await page.waitForFunction((n) => document.querySelectorAll('#monitor-table tbody tr').length >= n,
    5, { timeout: 3000 });
  await sleep(400);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-monitor')]);
  const pageLines = readFileSync(await download.path(), 'utf8').trimEnd().split('\n');
  const expected = await monitorLines();
  assert.deepEqual(pageLines.map(withoutTime), expected.map(withoutTime));
  // Rows for a frame, its findings and the noise, as the table shows them.
  const rows = await page.$$eval('#monitor-table tbody tr', (trs) => trs.map((tr) => tr.className));
  assert.deepEqual(rows, ['valid', 'noise', 'invalid', 'noise', 'valid', 'noise']);
  // Paused, nothing is added; cleared, the rows are gone.
  await page.click('#pause');
  await page.evaluate((b) => window.serialFeed(b), good);
  await sleep(300);
  assert.equal(await page.locator('#monitor-table tbody tr').count(), 6);
  await page.click('#clear-monitor');
  assert.equal(await page.locator('#monitor-table tbody tr').count(), 0);
  assert.deepEqual(page.errors, []);
});

test('a frame of a motor of the open site is shown with its label', async () => {
  const page = await openPage(context, server.url);
  await connected(page);
  await withSite(page, ['123456,single,Kitchen east']);
  await page.evaluate((b) => window.serialFeed(b), good);
  await page.waitForSelector('#monitor-table tbody tr');
  assert.equal(await page.locator('#monitor-table tbody tr td').nth(4).textContent(), 'Kitchen east');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-monitor')]);
  const row = JSON.parse(readFileSync(await download.path(), 'utf8'));
  assert.equal(row.label, 'Kitchen east');
  assert.equal(row.valid, true);
});
