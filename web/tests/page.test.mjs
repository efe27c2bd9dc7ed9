// The page in Chromium as a user meets it: typing an address, a value out of range, a frame
// pasted to decode, the keyboard alone, a browser without Web Serial, narrow screens and zoom.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { launch, openPage, rvxStrings, screenshot, serve } from './harness.mjs';

let server;
let context;

before(async () => {
  server = await serve();
  context = await launch();
});

after(async () => {
  await context?.closeAll();
  await server?.close();
});

const shownStrings = (page) => page.$$eval('#string-table tbody tr', (rows) => rows.map((r) => ({
  command: r.querySelector('th').textContent, string: r.querySelector('td.string').textContent,
})));

test('a typed address shows the fourteen strings of rvx-strings', async () => {
  const page = await openPage(context, server.url);
  await page.click('#address');
  await page.keyboard.type('a1b2c3');
  const expected = JSON.parse(rvxStrings(['A1B2C3', '--format', 'json']).stdout);
  assert.deepEqual(await shownStrings(page), expected);
  await page.check('input[value=group]');
  await page.selectOption('#notation', 'amx');
  const group = JSON.parse(rvxStrings(['a1b2c3', '--group', '--notation', 'amx', '--format',
    'json']).stdout);
  assert.deepEqual(await shownStrings(page), group);
  await page.selectOption('#chosen-command', { label: 'Lock @ IP #' });
  assert.equal(await page.textContent('#chosen-string'),
    rvxStrings(['a1b2c3', '--group', '--notation', 'amx', '--command', 'lock-at-ip']).stdout.trim());
  assert.deepEqual(page.errors, []);
});

test('a value out of range gives the engine message and no string nor Send for it', async () => {
  const page = await openPage(context, server.url);
  // A port is open, so that Send is offered wherever a string may be sent.
  await page.click('#connect');
  await page.waitForFunction(() => window.serialRecord.opens.length === 1);
  await page.fill('#address', '123456');
  await page.fill('#txtIP', '20');
  const message = rvxStrings(['123456', '--ip', '20']).stderr;
  assert.match(message, /^rvx-strings: --ip /);
  const row = page.locator('#string-table tbody tr', { hasText: 'Go to IP #' });
  assert.equal(await row.locator('td.string').textContent(),
    message.replace('rvx-strings: --ip ', '').trim());
  assert.equal(await page.isDisabled('button[aria-label="Send Go to IP #"]'), true);
  assert.equal(await page.isDisabled('button[aria-label="Send Up"]'), false);
  assert.equal(await page.getAttribute('#txtIP', 'aria-invalid'), 'true');
  // Copy all copies nothing while a value is refused; the table comes back with a right value.
  await page.fill('#txtIP', 'x');
  assert.equal(await row.locator('td.string').textContent(),
    rvxStrings(['123456', '--ip', 'x']).stderr.replace('rvx-strings: --ip ', '').trim());
  await page.fill('#txtIP', '16');
  assert.equal(await row.locator('td.string').textContent(),
    JSON.parse(rvxStrings(['123456', '--ip', '16', '--format', 'json']).stdout)[5].string);
  await page.fill('#address', '12345G');
  assert.equal(await page.textContent('#address-message'),
    rvxStrings(['12345G']).stderr.replace('rvx-strings: ', '').trim());
  assert.equal(await page.isDisabled('button[aria-label="Send Up"]'), true);
  assert.deepEqual(page.errors, []);
});

test('a pasted frame is decoded with the findings of --decode', async () => {
  const page = await openPage(context, server.url);
  const cases = [
    ['\\xAB\\xF1\\xFF\\xFF\\xFF\\xFF\\x12\\x34\\x56\\xFB\\xFF\\xFF\\x09\\x2D', ''],
    ['AB F1 FF FF FF FF 12 34 56 FB F0 FF 09 2D', ''],
    ['171,241,255,255,255,255,18,52,86,254,255,255,9,48', 'decimal'],
    ['AB F1 FF', ''],
    ['AB F1 FG', ''],
  ];
  for (const [text, notation] of cases) {
    await page.fill('#decode-text', text);
    await page.selectOption('#decode-notation', notation);
    await page.click('#decode-run');
    const args = [`--decode=${text}`, ...(notation ? ['--notation', notation] : [])];
    const run = rvxStrings(args);
    if (run.status === 2) {
      assert.equal(`rvx-strings: --decode: ${await page.textContent('#decode-verdict')}\n`, run.stderr);
      assert.equal(await page.textContent('#decode-report'), '');
    } else {
      assert.equal(await page.textContent('#decode-report'), run.stdout, text);
      assert.equal(await page.getAttribute('#decode-verdict', 'class'),
        run.status === 0 ? 'verdict good' : 'verdict bad');
    }
  }
  assert.deepEqual(page.errors, []);
});

test('the keyboard alone reaches every control, and each has a name', async () => {
  const page = await openPage(context, server.url);
  // From the top of the page, Tab reaches the address field; typing there shows the strings.
  let focused = '';
  for (let i = 0; i < 20 && focused !== 'address'; i++) {
    await page.keyboard.press('Tab');
    focused = await page.evaluate(() => document.activeElement.id);
  }
  assert.equal(focused, 'address');
  await page.keyboard.type('00AA01');
  await page.keyboard.press('Tab');
  await page.keyboard.press('Control+A');
  await page.keyboard.type('20');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'txtRU');
  assert.equal(await page.textContent('#string-down'),
    JSON.parse(rvxStrings(['00AA01', '--down', '20', '--format', 'json']).stdout)[1].string);
  // Decode with Tab and Enter: the Decode button is reached from the text.
  await page.focus('#decode-text');
  await page.keyboard.type('AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30');
  await page.keyboard.press('Tab');
  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'decode-run');
  await page.keyboard.press('Enter');
  assert.equal(await page.textContent('#decode-verdict'), 'valid');
  const unnamed = await page.$$eval('input, select, textarea, button, output', (all) => all
    .filter((el) => !el.closest('[hidden]'))
    .filter((el) => !(el.labels?.length || el.getAttribute('aria-label') || el.textContent.trim()))
    .map((el) => el.outerHTML));
  assert.deepEqual(unnamed, []);
  assert.deepEqual(page.errors, []);
});

test('without Web Serial everything else works and one line says why', async () => {
  const page = await openPage(context, server.url, { serial: false, removeSerial: true });
  assert.equal(await page.evaluate(() => 'serial' in navigator), false);
  assert.equal(await page.isVisible('#no-serial'), true);
  assert.match(await page.textContent('#no-serial'), /no Web Serial/);
  assert.equal(await page.isVisible('#connect'), false);
  await page.fill('#address', '123456');
  assert.equal(await page.textContent('#string-up'),
    JSON.parse(rvxStrings(['123456', '--format', 'json']).stdout)[0].string);
  assert.deepEqual(page.errors, []);
});

test('readable on a phone-width screen and at 200 % zoom', async () => {
  for (const [name, viewport] of [['page', { width: 1280, height: 900 }],
    ['page-zoom-200', { width: 640, height: 450 }],
    ['page-phone', { width: 390, height: 844 }]]) {
    // 200 % zoom lays the page out as a screen of half the width does.
    const page = await context.newPage();
    await page.setViewportSize(viewport);
    await page.goto(server.url);
    await page.waitForSelector('body[data-ready=true]');
    await page.fill('#address', '123456');
    await page.fill('#txtPct', '150');
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth
      - document.documentElement.clientWidth);
    assert.ok(overflow <= 0, `${name}: ${overflow} px wider than the screen`);
    // Every string stays within the screen, wrapped where it must.
    const outside = await page.$$eval('td.string', (cells) => cells.filter((c) =>
      c.getBoundingClientRect().right > document.documentElement.clientWidth + 1).length);
    assert.equal(outside, 0, name);
    await screenshot(page, name);
    await page.close();
  }
});
