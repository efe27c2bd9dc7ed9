// The page's costs in Chromium, each printed with its ratio to its floor (at most 1 passes):
//   everything the page loads, gzip-compressed, against 300 KB;
//   navigation to the first strings of a typed address, against twice a bare page with one
//   text field loaded and typed into in the same run;
//   a 10 000-motor site opened (read by the engine and its table shown), against 200 ms.
// Run: scripts/bench-web (builds the page first).
import { readFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { gzipSync } from 'node:zlib';

import { launch, serve, site } from '../tests/harness.mjs';

const bare = '<!doctype html><html><head><meta charset="utf-8"><title>bare</title>'
  + '<link rel="icon" href="data:,"></head><body><input id="address"><p id="out"></p><script>'
  + 'document.getElementById("address").addEventListener("input",(e)=>{'
  + 'document.getElementById("out").textContent=e.target.value;});'
  + 'document.body.dataset.ready="true";</script></body></html>';
const server = await serve(site, { '/bare.html': bare });
const context = await launch();
const runs = 7;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function timeToStrings(url, shown) {
  const page = await context.newPage();
  const start = Date.now();
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]');
  await page.fill('#address', '123456');
  await page.waitForFunction(shown);
  const ms = Date.now() - start;
  await page.close();
  return ms;
}

const pageTimes = [];
const bareTimes = [];
for (let i = 0; i < runs; i++) {
  bareTimes.push(await timeToStrings(`${server.url}bare.html`,
    () => document.getElementById('out').textContent === '123456'));
  pageTimes.push(await timeToStrings(server.url,
    () => document.getElementById('string-up').textContent.startsWith('AB F1')));
}

// What a fresh load fetched, compressed as a static host would send it.
const loaded = new Set(server.files.map((f) => f.name));
loaded.delete('bare.html');
let compressed = 0;
for (const name of loaded) {
  compressed += gzipSync(readFileSync(path.join(site, name)), { level: 9 }).length;
}

const lines = ['# generated motor list'];
for (let i = 0; i < 10000; i++) {
  lines.push(`${(0x100000 + i).toString(16).toUpperCase()},single,"Blind ${i}",Floor ${i % 7},`);
}
const siteText = lines.join('\n');
const openTimes = [];
for (let i = 0; i < runs; i++) {
  const page = await context.newPage();
  await page.goto(server.url);
  await page.waitForSelector('body[data-ready=true]');
  const ms = await page.evaluate(async (text) => {
    // Where a user drops a file: the drop zone and the table below it on the screen.
    document.getElementById('drop').scrollIntoView();
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
    const data = new DataTransfer();
    data.items.add(new File([text], 'big.csv', { type: 'text/csv' }));
    const start = performance.now();
    document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: data,
      bubbles: true, cancelable: true }));
    while (!document.getElementById('site-state').textContent.includes('10000 motors')) {
      await new Promise((resolve) => setTimeout(resolve, 0));
    }
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
    return performance.now() - start;
  }, siteText);
  openTimes.push(ms);
  await page.close();
}

await context.closeAll();
await server.close();

const cpu = os.cpus()[0]?.model ?? 'unknown';
console.log(`machine: ${os.cpus().length} cores, ${cpu}; load ${os.loadavg()[0].toFixed(1)}`);
console.log(`loaded, gzip -9: ${compressed} bytes of ${[...loaded].join(', ')}; `
  + `ratio to 300 KB ${(compressed / 300000).toFixed(3)}`);
const pageMs = median(pageTimes);
const bareMs = median(bareTimes);
console.log(`navigation to first strings: page ${pageMs} ms, bare page ${bareMs} ms (median of `
  + `${runs}); ratio to 2x bare ${(pageMs / (2 * bareMs)).toFixed(3)}`);
const openMs = median(openTimes);
console.log(`10 000-motor site opened and shown: ${openMs.toFixed(1)} ms (median of ${runs}); `
  + `ratio to 200 ms ${(openMs / 200).toFixed(3)}`);
