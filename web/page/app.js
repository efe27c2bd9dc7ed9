// The page: controls, the port, the timing of sends and the display. Every frame, range,
// message, notation, verdict and file comes from the engine (rvx-engine.js); this module only
// shows what it says and puts on the wire what it made.
import createEngine from './rvx-engine.js';
import { Bus } from './bus.js';

const $ = (id) => document.getElementById(id);

const engine = await createEngine();
const ask = (name, ...args) => JSON.parse(engine[name](...args));
const catalogue = ask('catalogue');

// ---- Small helpers of the display ----

function option(select, value, text) {
  const o = document.createElement('option');
  o.value = value;
  o.textContent = text;
  select.append(o);
  return o;
}

function cell(row, text, className) {
  const td = document.createElement('td');
  td.textContent = text;
  if (className) td.className = className;
  row.append(td);
  return td;
}

function download(name, text, type = 'text/plain') {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([text], { type }));
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 0);
}

async function copy(text, state) {
  try {
    await navigator.clipboard.writeText(text);
    state.textContent = 'Copied.';
  } catch (error) {
    state.textContent = `Not copied: ${error.message}`;
  }
}

// ---- The strings of one address ----

const parameterInputs = catalogue.parameters.map((p, field) => {
  const label = document.createElement('label');
  label.className = 'parameter';
  const input = document.createElement('input');
  input.id = p.fieldName;
  input.name = p.fieldName;
  input.value = p.startText;
  input.inputMode = 'decimal';
  input.setAttribute('aria-describedby', `${p.fieldName}-message`);
  const hint = document.createElement('span');
  hint.className = 'hint';
  hint.textContent = p.admittedText;
  const message = document.createElement('span');
  message.className = 'message';
  message.id = `${p.fieldName}-message`;
  label.append(`${p.meaning[0].toUpperCase()}${p.meaning.slice(1)} `, hint, input, message);
  $('parameters').append(label);
  input.dataset.field = field;
  return input;
});

const parameterTexts = () => parameterInputs.map((input) => input.value);
const kind = () => document.querySelector('input[name=kind]:checked').value;

for (const n of catalogue.notations) {
  option($('notation'), n.name, n.platform);
  option($('decode-notation'), n.name, n.platform);
}
catalogue.commands.forEach((c, row) => {
  option($('chosen-command'), row, c.name);
  option($('site-command'), row, c.name);
});
for (const f of catalogue.formats) option($('selection-format'), f, f);
for (const e of catalogue.exports) option($('export-kind'), e.name, e.title);
for (const p of catalogue.parities) option($('target-parity'), p, p);
$('target-parity').value = catalogue.line.parity;
$('target-baud').value = catalogue.line.baudRate;

const stringRows = catalogue.commands.map((command, row) => {
  const tr = document.createElement('tr');
  const th = document.createElement('th');
  th.scope = 'row';
  th.textContent = command.name;
  tr.append(th);
  const out = cell(tr, '', 'string');
  out.id = `string-${command.plainName}`;
  const actions = cell(tr, '', 'actions');
  const copyButton = document.createElement('button');
  copyButton.type = 'button';
  copyButton.textContent = 'Copy';
  copyButton.setAttribute('aria-label', `Copy ${command.name}`);
  const sendButton = document.createElement('button');
  sendButton.type = 'button';
  sendButton.textContent = 'Send';
  sendButton.className = 'send';
  sendButton.setAttribute('aria-label', `Send ${command.name}`);
  actions.append(copyButton, sendButton);
  $('string-table').tBodies[0].append(tr);
  const entry = { out, copyButton, sendButton, frame: null, text: '' };
  copyButton.addEventListener('click', () => copy(entry.text, $('copy-state')));
  sendButton.addEventListener('click', () => {
    if (entry.frame) {
      bus.send([{ bytes: entry.frame, row, kind: kind(), address: $('address').value,
                  name: nameOf(kind(), $('address').value) }]);
    }
  });
  return entry;
});

// An address as the send state names it: the kind's words and the digits.
function nameOf(kindName, address) {
  const words = catalogue.kinds.find((k) => k.name === kindName)?.words ?? kindName;
  return `${words} ${address.toUpperCase()}`;
}

let lastStrings = null;

function showStrings() {
  const address = $('address').value;
  const result = ask('strings', kind(), address, parameterTexts(), $('notation').value, 'text');
  lastStrings = result;
  $('address-message').textContent = address === '' ? '' : result.address.message;
  $('address').setAttribute('aria-invalid', String(address !== '' && !result.address.ok));
  result.values.forEach((v, field) => {
    parameterInputs[field].nextElementSibling.textContent = v.message;
    parameterInputs[field].setAttribute('aria-invalid', String(!v.ok));
  });
  result.rows.forEach((r, row) => {
    const entry = stringRows[row];
    entry.text = r.text;
    entry.frame = r.sendable ? r.frame : null;
    entry.out.textContent = r.text !== '' ? r.text : (result.address.ok ? r.message : '');
    entry.out.classList.toggle('refused', r.text === '' && r.message !== '');
    entry.copyButton.disabled = r.text === '';
  });
  const note = catalogue.notations.find((n) => n.name === $('notation').value)?.rawBytes ?? '';
  $('notation-note').textContent = note;
  showChosen();
  updateSendButtons();
}

function showChosen() {
  const row = Number($('chosen-command').value);
  const result = lastStrings?.rows[row];
  $('chosen-string').textContent = result?.text ?? '';
  $('chosen-message').textContent = result && result.text === '' && lastStrings.address.ok
    ? result.message : '';
  $('copy-chosen').disabled = !result || result.text === '';
}

$('strings-form').addEventListener('input', showStrings);
$('strings-form').addEventListener('submit', (event) => event.preventDefault());
$('chosen-command').addEventListener('change', () => { showChosen(); updateSendButtons(); });
$('copy-all').addEventListener('click', () => copy(lastStrings?.table ?? '', $('copy-state')));
$('copy-chosen').addEventListener('click', () => {
  copy($('chosen-string').textContent, $('copy-state'));
});
$('send-chosen').addEventListener('click', () => {
  const row = Number($('chosen-command').value);
  const entry = stringRows[row];
  if (entry.frame) {
    bus.send([{ bytes: entry.frame, row, kind: kind(), address: $('address').value,
                name: nameOf(kind(), $('address').value) }]);
  }
});

// ---- Decoding a frame ----

$('decode-form').addEventListener('submit', (event) => {
  event.preventDefault();
  const result = ask('decode', $('decode-text').value, $('decode-notation').value);
  if (result.error) {
    $('decode-verdict').textContent = result.error;
    $('decode-verdict').className = 'verdict bad';
    $('decode-report').textContent = '';
  } else {
    $('decode-verdict').textContent = result.verdict;
    $('decode-verdict').className = result.valid ? 'verdict good' : 'verdict bad';
    $('decode-report').textContent = result.text;
  }
});

// ---- A site ----

// The table holds the first matching motors only: a few screens of its scroll box, cheap to lay
// out however large the site; the filter finds the others.
const shownLimit = 100;
const chosen = new Set();
let siteName = 'site.csv';
let siteMotors = 0;

function showSite() {
  const result = ask('siteRows', $('site-filter').value, shownLimit);
  const body = document.createElement('tbody');
  for (const m of result.rows) {
    const tr = document.createElement('tr');
    const td = document.createElement('td');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = chosen.has(m.index);
    box.dataset.index = m.index;
    box.setAttribute('aria-label', `Choose ${m.name}`);
    td.append(box);
    tr.append(td);
    cell(tr, m.address);
    cell(tr, m.kind);
    cell(tr, m.label);
    cell(tr, m.room);
    cell(tr, m.note);
    body.append(tr);
  }
  $('site-table').tBodies[0].replaceWith(body);
  $('site-shown').textContent = result.total === 0 ? 'No site open.'
    : `${result.matching} of ${result.total} motors match`
      + (result.matching > result.rows.length ? `, the first ${result.rows.length} shown` : '')
      + `; ${chosen.size} chosen.`;
  updateSendButtons();
}

$('site-table').addEventListener('change', (event) => {
  const index = Number(event.target.dataset.index);
  if (event.target.checked) chosen.add(index); else chosen.delete(index);
  showSite();
});

function openSite(name, bytes) {
  const result = ask('openSite', bytes);
  const problems = $('site-problems');
  problems.replaceChildren();
  if (!result.ok) {
    $('site-state').textContent = `${name} not opened: ${result.problems.length} bad line(s); `
      + 'the site stays as it was.';
    for (const p of result.problems) {
      const li = document.createElement('li');
      li.textContent = p;
      problems.append(li);
    }
    return;
  }
  siteName = name;
  siteMotors = result.motors;
  chosen.clear();
  $('site-state').textContent = `${name}: ${result.motors} motors.`;
  showSite();
}

async function openFile(file) {
  openSite(file.name, new Uint8Array(await file.arrayBuffer()));
}

$('site-file').addEventListener('change', (event) => {
  if (event.target.files[0]) openFile(event.target.files[0]);
});
$('drop').addEventListener('dragover', (event) => { event.preventDefault(); });
$('drop').addEventListener('drop', (event) => {
  event.preventDefault();
  const file = event.dataTransfer.files[0];
  if (file) openFile(file);
});
$('site-filter').addEventListener('input', showSite);
$('select-all').addEventListener('click', () => {
  for (const m of ask('siteRows', $('site-filter').value, -1).rows) chosen.add(m.index);
  showSite();
});
$('select-none').addEventListener('click', () => { chosen.clear(); showSite(); });
$('save-site').addEventListener('click', () => {
  if (siteMotors > 0) download(siteName, engine.siteText(), 'text/csv');
});

const chosenInOrder = () => [...chosen].sort((a, b) => a - b);

$('selection-strings').addEventListener('click', () => {
  const result = ask('siteTable', chosenInOrder(), parameterTexts(), $('notation').value,
    $('selection-format').value);
  $('selection-table').textContent = result.error || result.text;
});
$('copy-selection').addEventListener('click', () => {
  copy($('selection-table').textContent, $('site-state'));
});

function showTargetFields() {
  const tcp = $('target-kind').value === 'tcp';
  for (const el of document.querySelectorAll('.tcp-only')) el.hidden = !tcp;
  for (const el of document.querySelectorAll('.serial-only')) el.hidden = tcp;
}
$('target-kind').addEventListener('change', showTargetFields);
showTargetFields();

$('export-run').addEventListener('click', () => {
  const result = ask('siteExport', $('export-kind').value, $('target-kind').value,
    $('target-device').value, $('target-host').value, Number($('target-port').value) || 0,
    Number($('target-baud').value) || 0, $('target-parity').value, parameterTexts(),
    $('notation').value);
  $('export-message').textContent = result.error;
  $('export-text').textContent = result.text;
  if (!result.error) {
    download(siteName.replace(/\.[^.]*$/, '') + result.suffix, result.text);
  }
});

// ---- Sending and watching ----

const bus = new Bus(engine, catalogue, {
  portState: $('port-state'),
  sendState: $('send-state'),
  logCount: $('log-count'),
  monitorBody: $('monitor-table').tBodies[0],
  monitorCount: $('monitor-count'),
  knownPorts: $('known-ports'),
  changed: () => updateSendButtons(),
});

function updateSendButtons() {
  const ready = bus.ready();
  for (const entry of stringRows) entry.sendButton.disabled = !ready || !entry.frame;
  $('send-chosen').disabled = !ready || !stringRows[Number($('chosen-command').value)].frame;
  $('send-selection').disabled = !ready || chosen.size === 0;
  $('identify').disabled = !ready || chosen.size === 0;
  $('stop-sending').disabled = !bus.busy;
  $('disconnect').disabled = !bus.port;
  $('reconnect').disabled = $('known-ports').options.length === 0;
}

function selectionFrames(row) {
  const result = ask('siteFrames', chosenInOrder(), row, parameterTexts());
  if (result.message) {
    $('send-state').textContent = `Not sent: ${result.message}`;
    return null;
  }
  return result.frames.map((f) => ({ bytes: f.bytes, row, kind: f.kind, address: f.address,
                                     name: f.name }));
}

$('send-selection').addEventListener('click', () => {
  const frames = selectionFrames(Number($('site-command').value));
  if (frames) bus.send(frames);
});
$('identify').addEventListener('click', () => {
  const steps = [];
  for (const step of catalogue.identify) {
    const frames = selectionFrames(step.command);
    if (!frames) return;
    steps.push({ frames, pauseMs: step.pauseMs });
  }
  bus.sendSteps(steps);
});
$('stop-sending').addEventListener('click', () => bus.stop());
document.addEventListener('keydown', (event) => {
  if (event.key === 'Escape' && bus.busy) {
    event.preventDefault();
    bus.stop();
  }
});
$('connect').addEventListener('click', () => bus.connect());
$('reconnect').addEventListener('click', () => bus.openKnown(Number($('known-ports').value)));
$('disconnect').addEventListener('click', () => bus.disconnect());
$('save-log').addEventListener('click', () => {
  download('send-log.jsonl', bus.logText(), 'application/jsonl');
});
$('pause').addEventListener('click', () => {
  bus.paused = !bus.paused;
  $('pause').setAttribute('aria-pressed', String(bus.paused));
  $('pause').textContent = bus.paused ? 'Resume' : 'Pause';
});
$('clear-monitor').addEventListener('click', () => bus.clearMonitor());
$('save-monitor').addEventListener('click', () => {
  download('monitor.jsonl', bus.monitorText(), 'application/jsonl');
});

if (!Bus.available()) {
  $('no-serial').hidden = false;
  $('no-serial').textContent = 'This browser has no Web Serial, so sending and watching are '
    + 'not offered; Chrome, Edge and Opera have it, and recent Firefox releases.';
  $('bus-tools').hidden = true;
} else {
  // The ports chosen before are listed once the browser answers; the page does not wait for
  // it, nor stop should the browser refuse to tell.
  bus.listKnown().catch((error) => {
    $('port-state').textContent = `Remembered ports not listed: ${error.message}`;
  });
}

showStrings();
showSite();
$('loading').textContent = '';
document.body.dataset.ready = 'true';
