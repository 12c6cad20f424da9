// Browser mode of the stand-in driver: Debian's Chromium (through
// playwright-core) shows the launcher's page on behalf of one StandInSession.
//   - every request to the page origin is answered by the launcher's
//     WebResourceRequested handler (session.resource);
//   - window.chrome.webview posts reach WebMessageReceived with the address of
//     the frame that posted, and the host's PostWebMessageAsJson arrives as a
//     `message` event whose data is the parsed object;
//   - page navigations and new windows ask NavigationStarting and
//     NewWindowRequested first and are cancelled or let through as they say;
//   - a renderer crash is reported as ProcessFailed (renderer exited) and the
//     host's Reload opens the page again in a fresh tab.
//
//   const view = await BrowserView.open(session, { origin, headless: true });
//   await view.page.click('#big');
// onDeliver(json), when given, is called once the page's message listeners
// have run for a host message (the benchmarks time the first state with it).
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
// playwright-core is installed with the page tests (tests/page, npm ci).
function loadChromium() {
  const require = createRequire(path.join(here, '../../tests/page/package.json'));
  return require('playwright-core').chromium;
}

const FLAGS = ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--no-first-run', '--disable-quic', '--font-render-hinting=none'];

// Runs in every document before its own scripts. The binding __nvPost exists
// already; webview is added to Chromium's own window.chrome.
function installWebView() {
  const events = new EventTarget();
  const post = window.__nvPost;
  const webview = {
    postMessage(message) {
      if (typeof message === 'string') post({ string: message });
      else post({ json: JSON.stringify(message) });
    },
    addEventListener: events.addEventListener.bind(events),
    removeEventListener: events.removeEventListener.bind(events),
  };
  window.chrome = window.chrome || {};
  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });
  Object.defineProperty(window, '__nvDeliver', {
    value: (json) => events.dispatchEvent(new MessageEvent('message', { data: JSON.parse(json) })),
  });
}

// "Name: value\r\n..." as the host writes response headers -> an object.
function parseHeaders(text) {
  const headers = {};
  for (const line of String(text || '').split('\r\n')) {
    const colon = line.indexOf(':');
    if (colon > 0) headers[line.slice(0, colon).trim()] = line.slice(colon + 1).trim();
  }
  return headers;
}

export class BrowserView {
  // origin: the page origin the host filters ("https://launcher.norvane.local/").
  static async open(session, { origin, headless = true, executablePath = process.env.NV_CHROMIUM || '/usr/bin/chromium',
    width = 960, height = 600, onDeliver = null } = {}) {
    const chromium = loadChromium();
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'nv-standin-browser-'));
    const args = [...FLAGS];
    if (!headless) args.push('--test-type', '--app=data:text/html,', `--window-size=${width},${height}`);
    const context = await chromium.launchPersistentContext(profile, {
      executablePath, headless, args, viewport: headless ? { width, height } : null,
    });
    const view = new BrowserView(session, context, profile, origin);
    view.onDeliver = onDeliver;
    await view.#start(context.pages()[0] || await context.newPage());
    return view;
  }

  constructor(session, context, profile, origin) {
    this.session = session;
    this.context = context;
    this.profile = profile;
    this.origin = origin;
    this.page = null;
    this.address = null;        // the address the host navigated to last
    this.crashes = 0;
    this.closed = false;
    this.errors = [];           // page errors, for the caller's report
    this.delivered = 0;         // host messages handed to the page
    this.served = [];           // {url, status, body} of every origin request the host answered
    this.#seenCalls = 0;
    this.#letThrough = [];
    this.#queue = Promise.resolve();
  }

  #seenCalls;
  #lastWindow = { url: '', at: 0 };
  #opening = false;
  #letThrough;
  #queue;
  #goingTo = null;

  async #start(page) {
    await this.context.exposeBinding('__nvPost', (source, message) => {
      if (this.closed || !message || typeof message !== 'object') return;
      // The sender is the frame that posted, never anything the page claims.
      const sender = source.frame.url();
      const sent = typeof message.string === 'string'
        ? this.session.postString(sender, message.string)
        : this.session.postJson(sender, String(message.json));
      sent.catch(() => {});
    });
    await this.context.addInitScript(installWebView);
    await this.context.route('**/*', (route) => this.#route(route).catch(() => route.abort('failed').catch(() => {})));
    this.context.on('page', (opened) => {
      if (this.#opening) this.#opening = false;  // the tab that replaces a crashed one
      else if (opened !== this.page) this.#popup(opened);
    });
    this.context.on('close', () => this.#browserGone());
    this.#usePage(page);
    this.onChange = () => this.#hostChanged();
    this.session.on('change', this.onChange);
    this.#hostChanged();
  }

  #usePage(page) {
    this.page = page;
    page.on('pageerror', (e) => this.errors.push(String(e)));
    page.on('crash', () => this.#crashed(page));
  }

  // New calls from the host, in order: navigations, messages, reloads.
  #hostChanged() {
    const navigations = this.session.navigations;
    while (this.#seenNavigations < navigations.length) {
      const uri = navigations[this.#seenNavigations++];
      const own = this.#letThrough.indexOf(uri);
      if (own >= 0) { this.#letThrough.splice(own, 1); this.address = uri; continue; }
      this.address = uri;
      this.#enqueue(() => this.#goto(uri));
    }
    const calls = this.session.calls;
    while (this.#seenCalls < calls.length) {
      const call = calls[this.#seenCalls++];
      if (call.m === 'PostWebMessageAsJson') this.#enqueue(() => this.#deliver(call.json));
      else if (call.m === 'PostWebMessageAsString') this.#enqueue(() => this.#deliver(JSON.stringify(call.string)));
      else if (call.m === 'Reload') this.#enqueue(() => this.#reload());
      else if (call.m === 'Close') this.#enqueue(() => this.close());
    }
    if (this.session.closed) this.#enqueue(() => this.close());
  }

  #seenNavigations = 0;

  #enqueue(work) {
    this.#queue = this.#queue.then(() => (this.closed ? undefined : work())).catch((e) => this.errors.push(String(e)));
    return this.#queue;
  }

  async #goto(uri) {
    this.#goingTo = uri;
    try {
      await this.page.goto(uri, { waitUntil: 'load' });
    } finally {
      this.#goingTo = null;
    }
  }

  async #deliver(json) {
    if (this.page.isClosed()) return;
    await this.page.evaluate((text) => window.__nvDeliver && window.__nvDeliver(text), json);
    this.delivered++;
    if (this.onDeliver) this.onDeliver(json);
  }

  async #route(route) {
    const request = route.request();
    const url = request.url();
    // A new window's first request comes before its frame exists.
    let frame = null;
    try { frame = request.frame(); } catch { frame = null; }
    if (!frame || frame.page() !== this.page) {
      // The first request of a window the page opened (window.open, _blank):
      // the host's NewWindowRequested decides, the window never loads here.
      await route.abort('failed');
      // Chromium may try the aborted first request once more: one question.
      const again = this.#lastWindow.url === url && Date.now() - this.#lastWindow.at < 1000;
      this.#lastWindow = { url, at: Date.now() };
      if (request.isNavigationRequest() && !again) await this.session.newWindow(url).catch(() => {});
      return;
    }
    const mainDocument = request.isNavigationRequest() && frame === this.page.mainFrame();
    if (mainDocument && url !== this.#goingTo) {
      // The page leaves: the host's NavigationStarting decides.
      this.#letThrough.push(url);
      const { cancel } = await this.session.navigate(url);
      if (cancel) {
        const own = this.#letThrough.indexOf(url);
        if (own >= 0) this.#letThrough.splice(own, 1);
        await route.abort('aborted');
        return;
      }
    }
    if (!url.startsWith(this.origin)) {
      await route.continue();
      return;
    }
    const reply = await this.session.resource(url);
    if (!reply.handled) {
      await route.abort('failed');
      return;
    }
    this.served.push({ url, status: reply.status, body: reply.body });
    await route.fulfill({ status: reply.status, headers: parseHeaders(reply.headers), body: reply.body });
  }

  // A window that never makes a request (about:blank) is asked for as such.
  async #popup(opened) {
    // Its first request may come before or after this event.
    const asked = () => Date.now() - this.#lastWindow.at < 1500;
    for (let waited = 0; waited < 1000 && !asked(); waited += 50) {
      await new Promise((r) => setTimeout(r, 50));
    }
    if (!asked()) await this.session.newWindow(opened.url()).catch(() => {});
    await opened.close().catch(() => {});
  }

  async #crashed(page) {
    if (page !== this.page || this.closed) return;
    this.crashes++;
    await this.session.processFailed(1).catch(() => {});
  }

  // A crashed tab cannot be reloaded: a new one takes its place, and the
  // navigation the stand-in starts for the reload loads the page into it.
  async #reload() {
    const old = this.page;
    this.#opening = true;
    const page = await this.context.newPage();
    this.#usePage(page);
    await old.close().catch(() => {});
  }

  // Kills the renderer the way a crash would.
  async crashRenderer() {
    const cdp = await this.context.newCDPSession(this.page);
    cdp.send('Page.crash').catch(() => {});
  }

  // Resolves when the page's body shows the given screen (class s-<screen>).
  async waitForScreen(screen, timeoutMs = 60000) {
    const end = Date.now() + timeoutMs;
    for (;;) {
      const current = await this.screen();
      if (current === screen) return;
      if (Date.now() > end) throw new Error(`screen ${current}, expected ${screen}`);
      await new Promise((r) => setTimeout(r, 200));
    }
  }

  async screen() {
    try {
      const name = await this.page.evaluate(() => document.body && document.body.className);
      const match = /(?:^| )s-([a-z]+)/.exec(name || '');
      return match ? match[1] : '';
    } catch {
      return '';
    }
  }

  #browserGone() {
    if (this.closed) return;
    this.closed = true;
    // The browser process went away: the stand-in reports it to the host.
    this.session.disconnect();
  }

  async close() {
    if (this.closed) return;
    this.closed = true;
    this.session.off('change', this.onChange);
    await this.context.close().catch(() => {});
    fs.rmSync(this.profile, { recursive: true, force: true });
  }
}
