// Node side of the WebView2 stand-in runtime: a loopback TCP server that the
// stand-in DLL inside the launcher connects to. It plays the browser: asks the
// host for resources, sends page messages, starts navigations and new-window
// requests, reports process failures, and records every call the host makes.
//
//   const driver = await StandInDriver.listen();
//   spawn(launcher, { env: { ...process.env, ...driver.environment(runtimeFolder) } });
//   const session = await driver.nextSession();   // launch.mjs does these steps
//   await session.waitForCall('Navigate');
//   const page = await session.resource('https://launcher.norvane.local/');
import net from 'node:net';
import { EventEmitter } from 'node:events';

// Linux path -> the path Wine shows for it (drive Z: is the root).
export function wineFolder(linuxPath) {
  return 'Z:' + linuxPath.replace(/\//g, '\\');
}

export class StandInSession extends EventEmitter {
  constructor(socket) {
    super();
    this.socket = socket;
    this.calls = [];        // every {"ev":"call"} the host made, in order
    this.navigations = [];  // every address the stand-in committed
    this.hello = null;
    this.closed = false;
    this.nextId = 1;
    this.pending = new Map();
    let buffer = '';
    socket.setEncoding('utf8');
    socket.on('data', (chunk) => {
      buffer += chunk;
      let newline;
      while ((newline = buffer.indexOf('\n')) >= 0) {
        const line = buffer.slice(0, newline);
        buffer = buffer.slice(newline + 1);
        if (line.trim()) this.#receive(JSON.parse(line));
      }
    });
    socket.on('close', () => {
      this.closed = true;
      for (const { reject } of this.pending.values()) reject(new Error('stand-in connection closed'));
      this.pending.clear();
      this.emit('closed');
      this.emit('change');
    });
    socket.on('error', () => {});
  }

  #receive(event) {
    if (event.ev === 'hello') this.hello = event;
    else if (event.ev === 'call') this.calls.push(event);
    else if (event.ev === 'navigated') this.navigations.push(event.uri);
    else if (event.ev === 'reply') {
      const waiter = this.pending.get(event.id);
      if (waiter) {
        this.pending.delete(event.id);
        waiter.resolve(event);
      }
    }
    this.emit('change');
  }

  #request(op, fields = {}) {
    if (this.closed) return Promise.reject(new Error('stand-in connection closed'));
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.socket.write(JSON.stringify({ op, id, ...fields }) + '\n');
    });
  }

  // The host's answer through WebResourceRequested: {handled, status, reason,
  // headers, body: Buffer}; handled false when no filter or handler took it.
  async resource(uri) {
    const reply = await this.#request('resource', { uri });
    return { ...reply, body: Buffer.from(reply.body ?? '', 'base64') };
  }

  // A page message posted with chrome.webview.postMessage from source.
  postString(source, text) { return this.#request('message', { source, string: text }); }
  postJson(source, json) { return this.#request('message', { source, json }); }
  // A navigation the page starts; resolves to {cancel}.
  navigate(uri) { return this.#request('navigate', { uri }); }
  // window.open or a _blank link; resolves to {handled}.
  newWindow(uri) { return this.#request('newwindow', { uri }); }
  // kind 0 browser exited, 1 renderer exited, 2 renderer unresponsive, ...
  processFailed(kind) { return this.#request('processfailed', { kind }); }
  // The launcher window's state: {exists, visible, iconic, x, y, width, height, title}.
  windowState() { return this.#request('window'); }
  // WM_CLOSE to the launcher window (Alt+F4, the taskbar).
  closeWindow() { return this.#request('close'); }

  // The browser process goes away.
  disconnect() { this.socket.destroy(); }

  // Resolves when predicate() holds, checked after every event.
  waitFor(predicate, timeoutMs = 15000, what = 'condition') {
    return new Promise((resolve, reject) => {
      const check = () => {
        let value;
        try { value = predicate(); } catch (error) { cleanup(); reject(error); return; }
        if (value) { cleanup(); resolve(value); }
      };
      const timer = setTimeout(() => { cleanup(); reject(new Error(`timed out waiting for ${what}`)); }, timeoutMs);
      const cleanup = () => { clearTimeout(timer); this.off('change', check); };
      this.on('change', check);
      check();
    });
  }

  waitForCall(method, from = 0, timeoutMs = 15000) {
    return this.waitFor(() => this.calls.slice(from).find((c) => c.m === method), timeoutMs, `call ${method}`);
  }

  // The JSON messages the host posted to the page, parsed.
  pageMessages(from = 0) {
    return this.calls.filter((c) => c.m === 'PostWebMessageAsJson').slice(from).map((c) => JSON.parse(c.json));
  }
}

export class StandInDriver extends EventEmitter {
  static async listen() {
    const driver = new StandInDriver();
    await new Promise((resolve) => driver.server.listen(0, '127.0.0.1', resolve));
    return driver;
  }

  constructor() {
    super();
    this.sessions = [];
    this.server = net.createServer((socket) => {
      const session = new StandInSession(socket);
      this.sessions.push(session);
      this.emit('session', session);
    });
  }

  get port() { return this.server.address().port; }

  // What the launcher's environment needs: the runtime folder (a Linux
  // path, given to Wine as Z:...) and this driver's address.
  environment(runtimeFolder) {
    return {
      WEBVIEW2_BROWSER_EXECUTABLE_FOLDER: wineFolder(runtimeFolder),
      NV_STANDIN_ADDRESS: `127.0.0.1:${this.port}`,
    };
  }

  // The next stand-in to connect (one per launcher process) after the first
  // `known` sessions: by default, one that connects from now on.
  nextSession(timeoutMs = 30000, known = this.sessions.length) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => { this.off('session', onSession); reject(new Error('no stand-in connected')); }, timeoutMs);
      const onSession = () => {
        if (this.sessions.length > known) {
          clearTimeout(timer);
          this.off('session', onSession);
          resolve(this.sessions[known]);
        }
      };
      this.on('session', onSession);
      onSession();
    });
  }

  async close() {
    for (const session of this.sessions) session.socket.destroy();
    await new Promise((resolve) => this.server.close(resolve));
  }
}
