// What the page's tests share: the built page served on 127.0.0.1 (an ephemeral port), Debian's
// Chromium through playwright-core with a new empty profile and kept off the network,
// rvx-strings of the native build run as a process, and the one stand-in: a serial port object
// put into the page before it loads, which records what the page opens and writes and feeds
// its reader.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

export const site = process.env.RVX_WEB_SITE;
export const stringsProgram = process.env.RVX_STRINGS;
const { chromium } = await import(process.env.RVX_PLAYWRIGHT);

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

// The page's folder over HTTP, as a static host serves it; bytes counts what was sent.
export async function serve(root = site, extra = {}) {
  const served = { bytes: 0, files: [] };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    if (extra[name] !== undefined) {
      response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
      response.end(extra[name]);
      return;
    }
    const file = path.join(root, name.endsWith('/') ? `${name}index.html` : name);
    if (!file.startsWith(root)) {
      response.writeHead(403).end();
      return;
    }
    try {
      const body = readFileSync(file);
      served.files.push({ name: path.basename(file), size: statSync(file).size });
      response.writeHead(200, { 'content-type': types[path.extname(file)] ?? 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  served.url = `http://127.0.0.1:${server.address().port}/`;
  served.close = () => new Promise((resolve) => server.close(resolve));
  return served;
}

// Chromium with a profile of its own, which the returned close removes.
export async function launch() {
  const profile = mkdtempSync(path.join(os.tmpdir(), 'rvx-web-profile-'));
  const args = [
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--disable-quic', '--disable-features=Translate,MediaRouter',
  ];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args,
    acceptDownloads: true,
    viewport: { width: 1280, height: 900 },
  });
  context.closeAll = async () => {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  };
  return context;
}

// A page with every console error and uncaught exception kept.
export async function openPage(context, url, { serial = true, removeSerial = false, init } = {}) {
  const page = await context.newPage();
  page.errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') page.errors.push(message.text());
  });
  page.on('pageerror', (error) => page.errors.push(String(error)));
  if (serial) await page.addInitScript(fakeSerial);
  if (init) await page.addInitScript(init);
  if (removeSerial) {
    await page.addInitScript(() => {
      delete Navigator.prototype.serial;
    });
  }
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]');
  return page;
}

// The browser's serial port, as Web Serial gives it, in the page before its scripts run:
// window.serialRecord holds the options of every open() and every write with its time;
// window.serialFeed(bytes) hands bytes to the page's reader.
function fakeSerial() {
  const record = { opens: [], writes: [], requests: 0, closes: 0 };
  window.serialRecord = record;
  let feedController = null;
  class FakePort {
    constructor() {
      this.readable = null;
      this.writable = null;
    }
    getInfo() { return { usbVendorId: 0x0403, usbProductId: 0x6001 }; }
    async open(options) {
      if (this.readable) throw new DOMException('The port is already open.', 'InvalidStateError');
      record.opens.push(JSON.parse(JSON.stringify(options)));
      this.readable = new ReadableStream({ start(c) { feedController = c; } });
      this.writable = new WritableStream({
        write(chunk) {
          record.writes.push({ at: performance.now(), bytes: Array.from(chunk) });
        },
      });
    }
    async close() {
      record.closes += 1;
      this.readable = null;
      this.writable = null;
    }
  }
  const port = new FakePort();
  window.serialFeed = (bytes) => feedController.enqueue(new Uint8Array(bytes));
  const serial = {
    granted: false,
    async requestPort() { record.requests += 1; serial.granted = true; return port; },
    async getPorts() { return serial.granted ? [port] : []; },
    addEventListener() {},
    removeEventListener() {},
  };
  Object.defineProperty(Navigator.prototype, 'serial', { get: () => serial, configurable: true });
}

// rvx-strings with these arguments: its exit status and both outputs, as text.
export function rvxStrings(args, input) {
  const run = spawnSync(stringsProgram, args, { input, encoding: 'utf8', maxBuffer: 1 << 28 });
  return { status: run.status, stdout: run.stdout, stderr: run.stderr };
}

export async function screenshot(page, name) {
  const dir = process.env.RVX_SCREENSHOTS;
  if (!dir) return;
  await page.screenshot({ path: path.join(dir, `${name}.png`), fullPage: false });
}
