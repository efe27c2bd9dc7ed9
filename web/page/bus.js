// The port of the bus through Web Serial: opened at the line the engine names, frames written
// one after the other with the engine's bus gap, the bytes read handed to the engine's scanner.
// The frames themselves, their verdicts and the lines of the logs are the engine's.

const sleep = (ms, stopper) => new Promise((resolve) => {
  const timer = setTimeout(resolve, ms);
  stopper.cancel = () => { clearTimeout(timer); resolve(); };
});

function portName(port) {
  const info = port.getInfo ? port.getInfo() : {};
  const hex = (n) => n.toString(16).padStart(4, '0');
  return info.usbVendorId !== undefined
    ? `USB serial port ${hex(info.usbVendorId)}:${hex(info.usbProductId ?? 0)}`
    : 'serial port';
}

export class Bus {
  static available() {
    return 'serial' in navigator;
  }

  constructor(engine, catalogue, view) {
    this.engine = engine;
    this.catalogue = catalogue;
    this.view = view;
    this.port = null;
    this.name = '';
    this.writer = null;
    this.reader = null;
    this.busy = false;
    this.paused = false;
    this.stopper = { cancel: () => {}, stopped: false };
    this.log = [];
    this.monitor = [];
    this.known = [];
    this.watch = new engine.Watch();
    this.silence = null;
  }

  ready() {
    return this.writer !== null && !this.busy;
  }

  async listKnown() {
    this.known = await navigator.serial.getPorts();
    this.view.knownPorts.replaceChildren();
    this.known.forEach((port, i) => {
      const o = document.createElement('option');
      o.value = i;
      o.textContent = portName(port);
      this.view.knownPorts.append(o);
    });
    this.view.changed();
  }

  async connect() {
    let port;
    try {
      port = await navigator.serial.requestPort();
    } catch (error) {
      this.view.portState.textContent = `No port chosen: ${error.message}`;
      return;
    }
    await this.open(port);
    await this.listKnown();
  }

  async openKnown(index) {
    if (this.known[index]) await this.open(this.known[index]);
  }

  async open(port) {
    await this.disconnect();
    const line = this.catalogue.line;
    try {
      await port.open({ baudRate: line.baudRate, dataBits: line.dataBits,
                        stopBits: line.stopBits, parity: line.parity });
    } catch (error) {
      this.view.portState.textContent = `${portName(port)} not opened: ${error.message}`;
      this.view.changed();
      return;
    }
    this.port = port;
    this.name = portName(port);
    this.writer = port.writable.getWriter();
    this.view.portState.textContent = `${this.name} open at ${line.baudRate} `
      + `${line.dataBits}${line.parity[0].toUpperCase()}${line.stopBits}.`;
    this.view.changed();
    this.read(port);
  }

  async disconnect() {
    if (!this.port) return;
    this.stop();
    const port = this.port;
    this.port = null;
    try {
      if (this.reader) await this.reader.cancel();
      if (this.writer) { this.writer.releaseLock(); }
      await port.close();
    } catch (error) {
      // A port that was pulled out is closed already.
    }
    this.writer = null;
    this.reader = null;
    this.view.portState.textContent = 'No port open.';
    this.view.changed();
  }

  // ---- Watching ----

  async read(port) {
    while (port === this.port && port.readable) {
      this.reader = port.readable.getReader();
      try {
        for (;;) {
          const { value, done } = await this.reader.read();
          if (done) break;
          this.received(value);
        }
      } catch (error) {
        this.view.portState.textContent = `${this.name}: ${error.message}`;
      } finally {
        this.reader.releaseLock();
      }
      if (port !== this.port) break;
    }
  }

  received(bytes) {
    this.show(JSON.parse(this.watch.feed(Array.from(bytes), Date.now())));
    clearTimeout(this.silence);
    if (this.watch.pending() > 0) {
      this.silence = setTimeout(() => {
        this.show(JSON.parse(this.watch.flush(Date.now())));
      }, this.catalogue.line.silenceMs);
    }
  }

  show(runs) {
    if (this.paused) return;
    for (const run of runs) {
      this.monitor.push(run.json);
      const tr = document.createElement('tr');
      tr.className = run.frame ? (run.valid ? 'valid' : 'invalid') : 'noise';
      for (const text of [run.time.slice(11, 23), run.bytes, run.command, run.address, run.label,
                          run.verdict]) {
        const td = document.createElement('td');
        td.textContent = text;
        tr.append(td);
      }
      this.view.monitorBody.append(tr);
    }
    this.view.monitorCount.textContent = `${this.monitor.length} rows.`;
  }

  clearMonitor() {
    this.monitor = [];
    this.view.monitorBody.replaceChildren();
    this.view.monitorCount.textContent = '';
  }

  monitorText() {
    return this.monitor.map((line) => `${line}\n`).join('');
  }

  // ---- Sending ----

  send(frames) {
    return this.sendSteps([{ frames, pauseMs: 0 }]);
  }

  // Steps of frames: each frame waits for the one before to have left the line and the gap;
  // a step waits its pause after the step before. Stop ends it at once.
  async sendSteps(steps) {
    if (!this.ready()) return;
    this.busy = true;
    const stopper = { cancel: () => {}, stopped: false };
    this.stopper = stopper;
    this.view.changed();
    const line = this.catalogue.line;
    let first = true;
    let outcome = 'done';
    try {
      for (const step of steps) {
        if (!first && step.pauseMs > 0) await sleep(step.pauseMs, stopper);
        for (const frame of step.frames) {
          if (stopper.stopped) break;
          if (!first) await sleep(line.frameMs + line.gapMs, stopper);
          if (stopper.stopped) break;
          first = false;
          const words = this.engine.sendWords(frame.row, frame.name);
          this.view.sendState.textContent = `Sending ${words} on ${this.name}…`;
          this.view.sendState.className = 'busy';
          const started = Date.now();
          try {
            await this.writer.write(new Uint8Array(frame.bytes));
            this.record(frame, started, 'sent', true);
            this.view.sendState.textContent = `Sent ${words} on ${this.name}.`;
            this.view.sendState.className = 'good';
          } catch (error) {
            this.record(frame, started, `failed: ${error.message}`, false);
            this.view.sendState.textContent = `Failed: ${words} on ${this.name}: ${error.message}`;
            this.view.sendState.className = 'bad';
            outcome = 'failed';
            stopper.stopped = true;
          }
        }
        if (stopper.stopped) break;
      }
    } finally {
      if (stopper.stopped && outcome !== 'failed') {
        this.view.sendState.textContent += ' Stopped; the rest was not sent.';
      }
      this.busy = false;
      this.view.changed();
    }
  }

  stop() {
    this.stopper.stopped = true;
    this.stopper.cancel();
  }

  record(frame, started, result, sent) {
    this.log.push(this.engine.sentLine(frame.bytes, frame.row, frame.kind, frame.address, started,
      this.name, result, sent));
    this.view.logCount.textContent = `${this.log.length} sends in the log.`;
  }

  logText() {
    return this.log.map((line) => `${line}\n`).join('');
  }
}
