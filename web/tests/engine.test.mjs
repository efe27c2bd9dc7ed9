// The engine in WebAssembly, as the page loads it in Chromium, against rvx-strings of the native
// build: for thousands of random addresses, kinds, parameter values and frame texts, the page's
// engine gives the same strings, tables, messages and decode reports, byte for byte.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { launch, openPage, rvxStrings, serve } from './harness.mjs';

const options = ['--down', '--ip', '--percent', '--jog-up', '--jog-down', '--priority', '--lock-ip'];
const notations = ['spaced', 'compact', 'escaped', '0x', 'dollar', 'decimal', 'crestron', 'amx',
  'control4', 'rti'];
const formats = ['text', 'csv', 'json'];

// A fixed seed, so that a failure is found again on the next run.
let seed = 0x5eed1234;
function random() {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return seed / 2147483648;
}
const pick = (list) => list[Math.floor(random() * list.length)];
const whole = (low, high) => low + Math.floor(random() * (high - low + 1));

function hexDigits(count) {
  let text = '';
  for (let i = 0; i < count; i++) text += pick('0123456789abcdefABCDEF');
  return text;
}

function randomAddress() {
  const r = random();
  if (r < 0.7) return hexDigits(6);
  if (r < 0.8) return hexDigits(whole(0, 9));
  if (r < 0.9) {
    const digits = hexDigits(6).split('');
    digits[whole(0, 5)] = pick(['G', 'z', ' ', 'é', '-', '0x'.charAt(1), '€']);
    return digits.join('');
  }
  return pick(['FFFFFF', 'ffffff', '000000', '', ' 123456', '１２３４５６']);
}

function randomValue() {
  const r = random();
  if (r < 0.45) return String(whole(0, 120));
  if (r < 0.6) return String(whole(-300, 400));
  if (r < 0.7) return (random() * 300 - 20).toFixed(whole(1, 4));
  return pick(['abc', '', ' 5', '5 ', '1e2', '1E1', '-0', 'NaN', 'nan', 'inf', '-inf', '0x10',
    '1e400', '9.5', '10.4999', '+3', '.5', '5.', '1,5', '١', '16.0000000001', '0.', '00012']);
}

function stringsCase() {
  return {
    kind: random() < 0.3 ? 'group' : 'single',
    address: randomAddress(),
    values: options.map(() => (random() < 0.6 ? null : randomValue())),
    notation: pick(notations),
    format: pick(formats),
  };
}

let server;
let context;
let page;

before(async () => {
  server = await serve();
  context = await launch();
  page = await openPage(context, server.url);
  // The module the page loads, made once more for the comparisons.
  await page.evaluate(async () => {
    window.testEngine = await (await import('/rvx-engine.js')).default();
    window.startTexts = JSON.parse(window.testEngine.catalogue()).parameters.map((p) => p.startText);
  });
});

after(async () => {
  await context?.closeAll();
  await server?.close();
});

test('the strings of random addresses and values are those of rvx-strings', async () => {
  const cases = Array.from({ length: 1500 }, stringsCase);
  const starts = await page.evaluate(() => window.startTexts);
  const results = await page.evaluate((all) => all.map((c) => JSON.parse(window.testEngine.strings(
    c.kind, c.address, c.values.map((v, i) => v ?? c.starts[i]), c.notation, c.format))),
  cases.map((c) => ({ ...c, starts })));
  let failures = 0;
  let refused = 0;
  cases.forEach((c, i) => {
    const args = [c.address];
    if (c.kind === 'group') args.push('--group');
    c.values.forEach((v, field) => { if (v !== null) args.push(`${options[field]}=${v}`); });
    args.push('--notation', c.notation, '--format', c.format);
    const run = rvxStrings([...args.slice(1), '--', args[0]]);
    const result = results[i];
    const name = JSON.stringify(args);
    if (run.status === 0) {
      assert.equal(result.table, run.stdout, `${name}: the table`);
    } else {
      refused += 1;
      assert.equal(run.status, 2, `${name}: ${run.stderr}`);
      assert.equal(result.table, '', `${name}: no table where rvx-strings refuses`);
      const lines = [];
      c.values.forEach((v, field) => {
        if (!result.values[field].ok) lines.push(`rvx-strings: ${options[field]} ${result.values[field].message}`);
      });
      if (!result.address.ok) lines.push(`rvx-strings: ${result.address.message}`);
      const expected = lines.map((l) => `${l}\n`).join('');
      if (expected !== run.stderr) failures += 1;
      assert.equal(expected, run.stderr, `${name}: the messages`);
    }
  });
  assert.equal(failures, 0);
  // Both outcomes were compared, not one of them only.
  assert.ok(refused > 100 && refused < cases.length - 100, `${refused} refused`);
});

test('one command alone is the string rvx-strings --command prints', async () => {
  const cases = Array.from({ length: 300 }, () => ({ ...stringsCase(), row: whole(0, 13) }));
  const starts = await page.evaluate(() => window.startTexts);
  const catalogue = await page.evaluate(() => JSON.parse(window.testEngine.catalogue()));
  const results = await page.evaluate((all) => all.map((c) => JSON.parse(window.testEngine.oneString(
    c.kind, c.address, c.row, c.values.map((v, i) => v ?? c.starts[i]), c.notation))),
  cases.map((c) => ({ ...c, starts })));
  cases.forEach((c, i) => {
    const args = ['--command', catalogue.commands[c.row].plainName, '--notation', c.notation];
    if (c.kind === 'group') args.push('--group');
    // The page makes a command's string whatever the fields it does not read hold; the command
    // line is given the fields the command reads.
    c.values.forEach((v, field) => {
      if (v !== null && catalogue.commands[c.row].fields.includes(field)) {
        args.push(`${options[field]}=${v}`);
      }
    });
    const run = rvxStrings([...args, '--', c.address]);
    if (run.status === 0) {
      assert.equal(`${results[i].text}\n`, run.stdout, JSON.stringify(c));
    } else {
      assert.equal(results[i].text, '', JSON.stringify(c));
    }
  });
});

function frameText(bytes, notation) {
  const hex = bytes.map((b) => b.toString(16).toUpperCase().padStart(2, '0'));
  switch (notation) {
    case 'compact': return hex.join('');
    case 'escaped': return hex.map((h) => `\\x${h}`).join('');
    case '0x': return hex.map((h) => `0x${h}`).join(', ');
    case 'dollar': return hex.map((h) => `$${h}`).join(',');
    case 'decimal': return bytes.join(',');
    case 'rti': return hex.map((h) => `%${h}`).join('');
    default: return hex.join(' ');
  }
}

test('decoding random frame texts says what rvx-strings --decode says', async () => {
  const made = await page.evaluate(() => {
    const r = JSON.parse(window.testEngine.strings('single', 'A1B2C3',
      window.startTexts, 'spaced', 'text'));
    return r.rows.map((row) => row.frame);
  });
  const cases = [];
  for (let n = 0; n < 1200; n++) {
    let bytes = [...pick(made)];
    const r = random();
    if (r < 0.5) {
      for (let k = whole(1, 3); k > 0; k--) bytes[whole(0, 13)] = whole(0, 255);
    } else if (r < 0.6) {
      bytes = bytes.slice(0, whole(0, 16));
    } else if (r < 0.65) {
      bytes.push(whole(0, 255));
    }
    const notation = pick(['spaced', 'compact', 'escaped', '0x', 'dollar', 'decimal', 'rti']);
    let text = frameText(bytes, notation);
    if (random() < 0.1) text = text.slice(0, whole(0, text.length)) + pick(['G', ' ', ',', 'x', '$', '']);
    if (random() < 0.1) text = ` ${text}\n`;
    const given = notation === 'decimal' || random() < 0.2 ? notation : '';
    cases.push({ text, given, json: random() < 0.3 });
  }
  const results = await page.evaluate((all) => all.map((c) => JSON.parse(
    window.testEngine.decode(c.text, c.given))), cases);
  let valid = 0;
  let wrong = 0;
  let noFrame = 0;
  cases.forEach((c, i) => {
    const args = [`--decode=${c.text}`];
    if (c.given) args.push('--notation', c.given);
    if (c.json) args.push('--format', 'json');
    const run = rvxStrings(args);
    const result = results[i];
    const name = JSON.stringify(c);
    if (run.status === 2) {
      noFrame += 1;
      assert.equal(`rvx-strings: --decode: ${result.error}\n`, run.stderr, name);
    } else {
      assert.equal(result.error, '', name);
      assert.equal(c.json ? result.json : result.text, run.stdout, name);
      assert.equal(run.status, result.valid ? 0 : 1, name);
      if (result.valid) valid += 1; else wrong += 1;
    }
  });
  assert.ok(valid > 50 && wrong > 50 && noFrame > 50, `${valid} valid, ${wrong} not, ${noFrame} no frame`);
});

test('no console error while the engine was asked', () => {
  assert.deepEqual(page.errors, []);
});
