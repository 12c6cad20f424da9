// What the player scenarios share: the published content on the test
// servers, a launcher (the real x86_64 test build under wine64) with its page
// in Chromium, and what a test reads afterwards: the screen and toasts of the
// page, the game folder on disk and the launcher's registry values.
// Runs inside a scripts/test session (Xvfb, wineserver, prefix, servers).
import assert from 'node:assert/strict';
import { after, afterEach, before } from 'node:test';
import { execFile, spawn } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import https from 'node:https';
import net from 'node:net';
import path from 'node:path';
import { StandInDriver, wineFolder } from '../../tools/webview2-standin/driver.mjs';
import { BrowserView } from '../../tools/webview2-standin/browser.mjs';
import { launcherExe, origin, pageAddress, spawnLauncher, until, wine } from '../../tools/webview2-standin/launch.mjs';
import { build, filesBelow, parseManifest, root, sha256, sleep } from '../shell/player_machine.mjs';

export { launcherExe, origin, pageAddress, until };
export const launcherExeB = path.join(build, 'src/shell/Norvane-Launcher-B.exe');
const servers = path.join(build, 'test-servers');
export const www = path.join(servers, 'www/download');
export const work = path.join(build, 'scenarios');
const content = path.join(work, 'content');
const caFile = path.join(servers, 'certs/ca.pem');
// The launcher's default folder on a machine without the game.
export const defaultGame = path.join(process.env.WINEPREFIX || '', 'drive_c/Games/Norvane');
const publicDesktopLink = path.join(process.env.WINEPREFIX || '', 'drive_c/users/Public/Desktop/Norvane.lnk');
const programsFolder = path.join(process.env.WINEPREFIX || '',
  'drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Norvane');
export const nginxMirror = 'https://localhost:18443/download';
export const LAUNCHER_KEY = 'HKCU\\Software\\Norvane\\Launcher';
export const UNINSTALL_KEY = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvane';

// --- Content: three client versions and one HD pack, made once per run -------

// The large file sorts last in the manifest, so a download is inside it for
// most of an install: a pause, a close or an outage lands there.
export const BIG = 'video/intro.bik';
const BIG_SIZE = 12 * 1024 * 1024;
export const VERSIONS = { 1: '20261201000000', 2: '20261202000000', 3: '20261203000000' };

function put(folder, relative, data) {
  const full = path.join(folder, relative);
  fs.mkdirSync(path.dirname(full), { recursive: true });
  fs.writeFileSync(full, data);
}

function prepareContent() {
  if (fs.existsSync(path.join(content, 'ready'))) return;
  fs.rmSync(content, { recursive: true, force: true });
  const v1 = path.join(content, 'client-1');
  const game = path.join(build, 'demo/norvane.exe');
  put(v1, 'norvane.exe', fs.existsSync(game) ? fs.readFileSync(game) : Buffer.concat([Buffer.from('MZ'), crypto.randomBytes(30000)]));
  put(v1, 'DATA.INI', '[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=custom_hd2.grf\r\n');
  put(v1, 'config/options.ini', 'volume=5\r\n');
  put(v1, 'data/a.dat', crypto.randomBytes(5000));
  put(v1, 'data/map.rsw', crypto.randomBytes(20000));
  put(v1, 'data.grf', crypto.randomBytes(64 * 1024));
  put(v1, BIG, crypto.randomBytes(BIG_SIZE));
  // Version 2 changes two files; version 3 the large one again, same size.
  const v2 = path.join(content, 'client-2');
  fs.cpSync(v1, v2, { recursive: true });
  put(v2, 'data/a.dat', crypto.randomBytes(5000));
  put(v2, BIG, crypto.randomBytes(BIG_SIZE));
  const v3 = path.join(content, 'client-3');
  fs.cpSync(v2, v3, { recursive: true });
  put(v3, BIG, crypto.randomBytes(BIG_SIZE));
  const hd = path.join(content, 'hd');
  put(hd, 'custom_hd1.grf', crypto.randomBytes(2 * 1024 * 1024));
  put(hd, 'custom_hd2.grf', crypto.randomBytes(10000));
  fs.writeFileSync(path.join(content, 'ready'), '');
}

function run(file, args, options = {}) {
  return new Promise((resolve, reject) => {
    execFile(file, args, { maxBuffer: 1 << 24, ...options }, (error, stdout, stderr) => {
      if (error && !options.allowFailure) reject(new Error(`${file} ${args.join(' ')}: ${stderr || error.message}`));
      else resolve({ code: error ? error.code : 0, stdout: String(stdout), stderr: String(stderr) });
    });
  });
}

// Publishes client version n (1 to 3) with the HD pack at the built-in
// download base; with launcher, that build is offered as the self-update.
export async function publishVersion(n, { launcher } = {}) {
  prepareContent();
  const args = [path.join(root, 'tools/publish/publish.py'), '--quiet', '--out', www, '--version', VERSIONS[n],
    '--client', path.join(content, `client-${n}`), '--hd', path.join(content, 'hd')];
  if (launcher) args.push('--launcher', launcher);
  await run('python3', args);
  if (!launcher) fs.rmSync(path.join(www, 'launcher'), { recursive: true, force: true });
}

// The mirror list the launcher loads from the built-in base at its start.
export function useMirror(url) {
  fs.writeFileSync(path.join(www, 'mirrors.txt'), `# scenario mirror\n${url}\n`);
}

// The shared fault server serving the same tree, each 16 KiB block after a
// pause: a download that lasts long enough to act inside it. Its requests
// are logged under id.
export function slowMirror(id, pauseMs = 8) {
  return `https://localhost:18446/f/id=${id},slow=${pauseMs}/tree/download`;
}

export function fetchText(url) {
  return new Promise((resolve, reject) => {
    https.get(url, { ca: fs.readFileSync(caFile) }, (response) => {
      let body = '';
      response.setEncoding('utf8');
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve(body));
    }).on('error', reject);
  });
}

// The requests a fault server saw for id: {path, range}.
export async function serverRequests(id, port = 18446) {
  const text = await fetchText(`https://localhost:${port}/log?id=${encodeURIComponent(id)}`);
  return text.split('\n').filter(Boolean).map((line) => {
    const [requestPath, range] = line.split('\t');
    return { path: requestPath, range };
  });
}

// A fault server of a scenario's own on a free loopback port, serving the
// same tree: one the test can take away and bring back.
export async function ownServer(port) {
  const free = port ?? await new Promise((resolve) => {
    const probe = net.createServer();
    probe.listen(0, '127.0.0.1', () => { const p = probe.address().port; probe.close(() => resolve(p)); });
  });
  const child = spawn('python3', [path.join(root, 'tests/servers/fault_server.py'), '--port', String(free),
    '--cert', path.join(servers, 'certs/server.pem'), '--key', path.join(servers, 'certs/server.key'),
    '--root', path.join(servers, 'www')], { stdio: 'ignore' });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  await until(() => fetchText(`https://localhost:${free}/log?id=x`).then(() => true, () => false), 'own server', 15000);
  return {
    port: free,
    mirror: (id, pauseMs = 8) => `https://localhost:${free}/f/id=${id},slow=${pauseMs}/tree/download`,
    // Gone at once: open connections are cut, new ones refused.
    async kill() { child.kill('SIGKILL'); await exited; },
  };
}

// --- The manifest and the disk ---------------------------------------------------

export function readManifest(set) {
  return parseManifest(fs.readFileSync(path.join(www, set, 'manifest.txt'), 'utf8'));
}

export { build, root, sha256, sleep };

// Every file the game folder holds, relative with '/'.
export function filesIn(folder) {
  return filesBelow(folder).sort();
}

// The game folder holds the published client (and the HD pack when hd),
// each file with its manifest hash; no partial or temporary file is left;
// the file state records the client version. DATA.INI may be the reduced
// list, with the shipped one kept as DATA.INI.full.
export function assertGameMatches(folder, { hd }) {
  const client = readManifest('client');
  for (const entry of client.entries) {
    let file = path.join(folder, entry.path);
    if (entry.path === 'DATA.INI' && fs.existsSync(file + '.full')) file += '.full';
    assert.ok(fs.existsSync(file), `${entry.path} is missing`);
    assert.equal(sha256(file), entry.sha256, `${entry.path} differs from the manifest`);
  }
  for (const entry of readManifest('hd').entries) {
    const file = path.join(folder, entry.path);
    if (hd) assert.equal(fs.existsSync(file) && sha256(file), entry.sha256, `HD ${entry.path}`);
    else assert.equal(fs.existsSync(file), false, `HD ${entry.path} is there with the pack off`);
  }
  const leftovers = filesIn(folder).filter((f) => /\.(tmp|part|part\.tag)$/i.test(f) || f.endsWith('.nrv_write_test'));
  assert.deepEqual(leftovers, [], 'partial or temporary files left');
  const state = fs.readFileSync(path.join(folder, 'launcher_state.txt'), 'utf8');
  assert.match(state, new RegExp(`^version\\|${client.version}\\r?$`, 'm'), 'the file state names the version');
  const list = fs.readFileSync(path.join(folder, 'DATA.INI'), 'utf8');
  assert.equal(/custom_hd1\.grf/.test(list), Boolean(hd), 'DATA.INI lists the HD archives only with the pack');
}

// --- The registry of the prefix ----------------------------------------------------

// The values of a key as {name: text}, or null when the key does not exist.
export async function readKey(key) {
  let result;
  // reg says "not found" on its standard output; a Wine start that failed by
  // itself is tried once more.
  const missing = ({ stdout, stderr }) => /Unable to find/.test(stdout + stderr);
  for (let attempt = 0; attempt < 2; attempt += 1) {
    result = await run(wine, ['reg', 'query', key], { allowFailure: true });
    if (result.code === 0 || missing(result)) break;
  }
  const { code, stdout, stderr } = result;
  if (code !== 0 && missing(result)) return null;
  assert.equal(code, 0, `reg query ${key}: ${(stdout + stderr).slice(-400)}`);
  const values = {};
  for (const line of stdout.split(/\r?\n/)) {
    const match = /^\s+(\S+)\s+(REG_\w+)\s+(.*)$/.exec(line);
    if (!match) continue;
    values[match[1]] = match[2] === 'REG_DWORD' ? String(Number(match[3])) : match[3];
  }
  return values;
}

// A machine that never saw the game: no registry values, no game folder, no
// shortcuts; the default folder is the install screen's proposal.
export async function freshMachine() {
  await run(wine, ['cmd', '/c', `reg delete HKCU\\Software\\Norvane /f >nul 2>nul & reg delete ${UNINSTALL_KEY} /f >nul 2>nul`],
    { allowFailure: true });
  fs.rmSync(defaultGame, { recursive: true, force: true });
  fs.rmSync(publicDesktopLink, { force: true });
  fs.rmSync(programsFolder, { recursive: true, force: true });
}

// Registered folder before an install: the install screen proposes it.
export async function proposeFolder(folder) {
  await run(wine, ['reg', 'add', LAUNCHER_KEY, '/v', 'InstallDir', '/t', 'REG_SZ', '/d', wineFolder(folder), '/f']);
}

export function shortcutsPresent() {
  return { desktop: fs.existsSync(publicDesktopLink), programs: fs.existsSync(path.join(programsFolder, 'Norvane.lnk')) };
}

// The partial download of the large file in a game folder: its size, 0 when none.
export function partSize(folder = defaultGame) {
  const part = path.join(folder, BIG + '.part');
  return fs.existsSync(part) ? fs.statSync(part).size : 0;
}

// The Range of every request a fault server saw for the large file of the
// published client, in order ('' for none).
export async function bigRanges(id, port = 18446) {
  const sha = readManifest('client').entries.find((e) => e.path === BIG).sha256;
  return (await serverRequests(id, port)).filter((r) => r.path.endsWith(sha)).map((r) => r.range);
}

// --- The launcher with its page ----------------------------------------------------

let driver;
let runs = 0;

export async function openDriver() {
  assert.ok(fs.existsSync(launcherExe), `missing ${launcherExe}`);
  assert.ok(process.env.WINEPREFIX && process.env.DISPLAY, 'run inside scripts/test (Xvfb, Wine prefix, servers)');
  driver = await StandInDriver.listen();
  fs.mkdirSync(work, { recursive: true });
  return driver;
}

// The next launcher process to connect, whoever started it (a launcher that
// replaced itself starts its successor).
export function nextSession(ms = 60000) { return driver.nextSession(ms); }

export function sessionCount() { return driver.sessions.length; }

export async function closeDriver() {
  if (driver) await driver.close();
  driver = undefined;
}

// Counts every toast and error the page puts on screen, in every document.
function recordToasts() {
  if (window.__nvToasts) return;
  window.__nvToasts = [];
  new MutationObserver((records) => {
    for (const record of records) {
      for (const node of record.addedNodes) {
        if (node.parentElement && node.parentElement.id === 'toasts') {
          window.__nvToasts.push({ text: node.textContent, error: node.classList.contains('err') });
        }
      }
    }
  }).observe(document, { childList: true, subtree: true });
}

const live = new Set();

// The hooks of a scenario file: a machine without the game and version 1 on
// the nginx mirror before (then setup, the file's own); no launcher left
// running after each test; after the file's teardown, the machine, the
// content and the mirror list as they were.
export function scenarioFile({ setup, teardown } = {}) {
  before(async () => {
    await openDriver();
    await freshMachine();
    await publishVersion(1);
    useMirror(nginxMirror);
    if (setup) await setup();
  });
  afterEach(() => killLeftovers());
  after(async () => {
    if (teardown) await teardown();
    await killLeftovers({ all: true });
    await closeDriver();
    await freshMachine();
    await publishVersion(1);
    useMirror(nginxMirror);
  });
}

// After each test: a launcher the test left running (it failed half-way)
// goes, so the next one is not a second instance. One kept for the whole
// file (keep set) goes only when all is set.
export async function killLeftovers({ all = false } = {}) {
  for (const launcher of [...live]) {
    if (all || !launcher.keep) await launcher.kill().catch(() => {});
  }
}

export class Launcher {
  // exe: which build; browser: show the page in Chromium (else the session
  // alone, as a page that never loaded); answers: the message boxes' answers.
  // session false: a mode without a window (--uninstall).
  static async start({ exe = launcherExe, args = [], answers = [], browser = true, session = true, env = {} } = {}) {
    const log = path.join(work, `run${++runs}.log`);
    fs.rmSync(log, { force: true });
    const run = spawnLauncher(driver, { exe, args, answers, log, env });
    const launcher = new Launcher(run);
    live.add(launcher);
    launcher.exited.then(() => live.delete(launcher));
    if (!session) return launcher;
    launcher.session = await run.waitForSession(60000);
    if (browser) await launcher.show();
    return launcher;
  }

  // A launcher this test did not start (the successor of a self-update): it
  // has ended when its stand-in connection has; its exit code is unknown.
  static async adopt(session, { browser = true } = {}) {
    const exited = new Promise((resolve) => (session.closed ? resolve(0) : session.once('closed', () => resolve(0))));
    const launcher = new Launcher({ child: null, exited, signal: null, lines: () => [] });
    launcher.session = session;
    if (browser) await launcher.show();
    return launcher;
  }

  // run: what spawnLauncher returned, or the same shape for an adopted one.
  constructor(run) {
    this.run = run;
    this.child = run.child;
    this.exited = run.exited;
    this.view = null;
  }

  async show(session = this.session) {
    this.view = await BrowserView.open(session, { origin });
    await this.view.context.addInitScript(recordToasts);
    await this.view.page.evaluate(recordToasts).catch(() => {});
  }

  // Message boxes and external opens, from the test build's seam.
  lines() { return this.run.lines(); }

  get page() { return this.view.page; }

  messages(type) { return this.session.pageMessages().filter((m) => !type || m.t === type); }

  async waitForScreen(screen, ms = 60000) { await this.view.waitForScreen(screen, ms); }

  // The last state message the page got, once the page shows its screen.
  async settled(screen, ms = 60000) {
    await this.waitForScreen(screen, ms);
    return until(() => {
      const last = this.messages('state').at(-1);
      return last && last.state === screen && !last.checking && last;
    }, `a final ${screen} state`, ms);
  }

  async toasts() {
    return this.page.evaluate(() => (window.__nvToasts || []).slice()).catch(() => []);
  }

  // The page showed text (a string, or a pattern) as a toast (error: as an
  // error toast).
  async waitForToast(text, { error = false, ms = 60000 } = {}) {
    const matches = (shown) => (text instanceof RegExp ? text.test(shown) : shown === text);
    await until(async () => (await this.toasts()).some((t) => matches(t.text) && t.error === error),
      `the ${error ? 'error' : 'toast'} "${text}"`, ms);
  }

  async text(selector) { return this.page.textContent(selector); }

  // INSTALL on the install card, once the free space of the folder is known.
  async clickInstall({ hd = false } = {}) {
    await this.settled('install');
    await this.page.waitForFunction(() => {
      const free = document.getElementById('freeLine');
      return free && !free.textContent.includes('checking');
    }, null, { timeout: 30000 });
    const ticked = () => this.page.evaluate(() => document.querySelector('#optHd')?.getAttribute('aria-checked') === 'true');
    if (hd !== await ticked()) await this.page.click('#optHd');
    await this.page.click('#big');
  }

  // A progress message about the large file with at least bytes of it done.
  async waitInsideBig(bytes = 1024 * 1024, ms = 60000) {
    const from = this.session.calls.length;
    await this.session.waitFor(() => this.session.calls.slice(from).some((c) => {
      if (c.m !== 'PostWebMessageAsJson') return false;
      const m = JSON.parse(c.json);
      return m.t === 'progress' && m.file === BIG && m.fileDone >= bytes && m.fileDone < m.fileTotal;
    }), ms, `a download inside ${BIG}`);
  }

  async windowTitle() { return (await this.session.windowState()).title; }

  // The close button; a running download asks first, and CLOSE is pressed.
  async close({ confirm = false } = {}) {
    // An open settings sheet holds the page: Escape closes it first.
    if (await this.page.isVisible('#sheet')) await this.page.keyboard.press('Escape');
    await this.page.click('#btnClose');
    if (confirm) {
      await this.page.waitForSelector('#dialog:not([hidden])');
      assert.equal(await this.text('#dlgTitle'), 'CLOSE THE LAUNCHER?');
      await this.page.click('#dlgOk');
    }
    return this.ended();
  }

  // The process's exit code, once it is gone; the browser goes with it.
  async ended(ms = 20000) {
    let timer;
    const code = await Promise.race([this.exited,
      new Promise((_, reject) => { timer = setTimeout(() => reject(new Error('the launcher did not exit')), ms); })]);
    clearTimeout(timer);
    if (this.view) await this.view.close();
    // An exit by a signal is no exit code: it fails the caller's check.
    return this.run.signal ? this.run.signal : code;
  }

  async kill() {
    if (this.child) this.child.kill('SIGKILL');
    else this.session.disconnect();
    await this.exited;
    if (this.view) await this.view.close();
  }

  async screenshot(name) {
    const folder = path.join(build, 'scenarios-output');
    fs.mkdirSync(folder, { recursive: true });
    await this.page.screenshot({ path: path.join(folder, `${name}.png`) });
  }
}
