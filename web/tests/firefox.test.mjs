// The page in Debian's Firefox ESR, headless, driven through WebDriver BiDi over the browser's
// own WebSocket (playwright-core asks this Firefox for commands it does not have): the page
// loads, the strings of one address are those of rvx-strings, and nothing is logged as an
// error. Web Serial is offered where the browser has it, and the one line says why not where
// it has not.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { rvxStrings, serve } from './harness.mjs';

const firefox = process.env.RVX_FIREFOX || '/usr/bin/firefox-esr';

let server;
let browser;
let profile;
let socket;
let lastId = 0;
const waiting = new Map();
const logged = [];

// One command and its answer; an error answer throws.
function send(method, params = {}) {
  const id = ++lastId;
  socket.send(JSON.stringify({ id, method, params }));
  return new Promise((resolve, reject) => {
    waiting.set(id, (answer) => (answer.type === 'success' ? resolve(answer.result)
      : reject(new Error(`${method}: ${answer.error} ${answer.message}`))));
  });
}

before(async () => {
  server = await serve();
  profile = mkdtempSync(path.join(os.tmpdir(), 'rvx-web-firefox-'));
  browser = spawn(firefox, ['--headless', '--no-remote', '--profile', profile,
    '--remote-debugging-port=0'], { env: { ...process.env, HOME: profile } });
  const address = await new Promise((resolve, reject) => {
    let output = '';
    browser.stderr.on('data', (data) => {
      output += data;
      const found = output.match(/WebDriver BiDi listening on (ws:\/\/\S+)/);
      if (found) resolve(found[1]);
    });
    browser.on('exit', (code) => reject(new Error(`${firefox} ended (${code}): ${output}`)));
  });
  socket = new WebSocket(`${address}/session`);
  await new Promise((resolve, reject) => {
    socket.onopen = resolve;
    socket.onerror = reject;
  });
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.id !== undefined && waiting.has(message.id)) {
      waiting.get(message.id)(message);
      waiting.delete(message.id);
    } else if (message.method === 'log.entryAdded') {
      logged.push(message.params);
    }
  };
  await send('session.new', { capabilities: {} });
  await send('session.subscribe', { events: ['log.entryAdded'] });
});

after(async () => {
  if (socket?.readyState === WebSocket.OPEN) await send('session.end').catch(() => {});
  socket?.close();
  if (browser && browser.exitCode === null) {
    const ended = new Promise((resolve) => browser.on('exit', resolve));
    browser.kill();
    await ended;
  }
  await server?.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
});

// The value of a script run in the page (awaited when it is a promise), as BiDi serialises it.
async function evaluate(context, expression) {
  const answer = await send('script.evaluate', { expression, target: { context },
    awaitPromise: true, resultOwnership: 'none' });
  if (answer.type !== 'success') throw new Error(`${expression}: ${JSON.stringify(answer)}`);
  return JSON.parse(answer.result.value ?? 'null');
}

test('the page in Firefox ESR shows the strings of rvx-strings', async () => {
  const { contexts } = await send('browsingContext.getTree');
  const context = contexts[0].context;
  await send('browsingContext.navigate', { context, url: server.url, wait: 'complete' });
  const ready = await evaluate(context, `new Promise((resolve) => {
    const started = Date.now();
    (function look() {
      if (document.body.dataset.ready === 'true') resolve('true');
      else if (Date.now() - started > 30000) resolve('false');
      else setTimeout(look, 50);
    })();
  })`);
  assert.equal(ready, true, 'the page did not get ready');
  for (const [kind, address, args] of [['single', 'a1b2c3', []], ['group', '0A0B0C', ['--group']]]) {
    const shown = await evaluate(context, `(() => {
      document.querySelector('input[name=kind][value=${kind}]').click();
      const field = document.getElementById('address');
      field.value = '${address}';
      field.dispatchEvent(new Event('input', { bubbles: true }));
      return JSON.stringify([...document.querySelectorAll('#string-table tbody tr')].map((r) => ({
        command: r.querySelector('th').textContent,
        string: r.querySelector('td.string').textContent })));
    })()`);
    assert.deepEqual(shown, JSON.parse(rvxStrings([address, ...args, '--format', 'json']).stdout),
      kind);
  }
  const serial = await evaluate(context, `JSON.stringify({ has: 'serial' in navigator,
    line: document.getElementById('no-serial').hidden ? '' : document.getElementById('no-serial').textContent,
    tools: !document.getElementById('bus-tools').hidden })`);
  if (serial.has) {
    assert.deepEqual(serial, { has: true, line: '', tools: true });
  } else {
    assert.match(serial.line, /no Web Serial/);
    assert.equal(serial.tools, false);
  }
  assert.deepEqual(logged.filter((entry) => entry.level === 'error'), []);
});
