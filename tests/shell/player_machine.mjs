// A player's machine for the whole-program tests: the real launcher (x86_64
// test build) copied to a folder of its own and run under wine64 in the Wine
// prefix of the suite (WINEPREFIX), with the WebView2 stand-in in driver mode
// playing the page; the content it downloads published with tools/publish
// into the download server's tree; and the checks of what lies on disk.
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { StandInDriver } from '../../tools/webview2-standin/driver.mjs';
import {
  build, launcherExe as builtLauncher, pageAddress, root, sleep, spawnLauncher, wine,
} from '../../tools/webview2-standin/launch.mjs';
import { texts } from '../support/player_texts.mjs';

export { build, pageAddress, root, sleep };

export const stateHeader = '# Norvane launcher state: path|size|mtime|sha256 (delete this file to re-check everything)';

export function sha256(file) {
  return crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex');
}

// Every file below folder, as paths relative to it with '/'.
export function filesBelow(folder) {
  const out = [];
  const walk = (dir, rel) => {
    let names;
    try { names = fs.readdirSync(dir, { withFileTypes: true }); } catch { return; }
    for (const entry of names) {
      const relative = rel ? `${rel}/${entry.name}` : entry.name;
      if (entry.isDirectory()) walk(path.join(dir, entry.name), relative);
      else out.push(relative);
    }
  };
  walk(folder, '');
  return out;
}

// --- The published content --------------------------------------------------

// The manifest lines the publisher writes: version, total and path|size|sha256.
export function parseManifest(text) {
  const manifest = { version: '', total: 0, entries: [] };
  for (const line of text.split('\n')) {
    if (!line || line.startsWith('#')) continue;
    const fields = line.split('|');
    if (fields.length === 2 && fields[0] === 'version') manifest.version = fields[1];
    else if (fields.length === 2 && fields[0] === 'total') manifest.total = Number(fields[1]);
    else if (fields.length >= 3) manifest.entries.push({ path: fields[0], size: Number(fields[1]), sha256: fields[2] });
  }
  return manifest;
}

function writeRandom(file, size, seedText) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  const out = Buffer.alloc(size);
  let block = crypto.createHash('sha256').update(seedText).digest();
  for (let at = 0; at < size; at += block.length) {
    block.copy(out, at);
    block = crypto.createHash('sha256').update(block).digest();
  }
  fs.writeFileSync(file, out);
}

// Two client versions, an HD pack and two launcher builds, published into
// the download tree of the test nginx (www/download), which the test build's
// built-in download address names. offer() switches what the server offers;
// restore() takes everything out again.
export class PublishedContent {
  constructor(work, www) {
    this.work = work;
    this.www = www;
    this.added = [];
    this.saved = new Map();
  }

  // Build A is the launcher as built; build B is the same program with a
  // marker appended after its image, so the two differ in hash only.
  makeBuilds() {
    const builds = path.join(this.work, 'builds');
    fs.mkdirSync(path.join(builds, 'A'), { recursive: true });
    fs.mkdirSync(path.join(builds, 'B'), { recursive: true });
    this.launcher = { A: path.join(builds, 'A/Norvane-Launcher.exe'), B: path.join(builds, 'B/Norvane-Launcher.exe') };
    fs.copyFileSync(builtLauncher, this.launcher.A);
    fs.writeFileSync(this.launcher.B, Buffer.concat([fs.readFileSync(builtLauncher),
      Buffer.from('\0NORVANE-TEST-BUILD-B\0'.padEnd(512, '\0'))]));
    this.launcherHash = { A: sha256(this.launcher.A), B: sha256(this.launcher.B) };
  }

  makeSets() {
    const client = (v) => path.join(this.work, `client-${v}`);
    for (const v of ['v1', 'v2']) fs.rmSync(client(v), { recursive: true, force: true });
    const put = (v, rel, size, seed) => writeRandom(path.join(client(v), rel), size, seed);
    for (const v of ['v1', 'v2']) {
      put(v, 'norvane.exe', 40000, 'exe');
      fs.writeFileSync(path.join(client(v), 'DATA.INI'),
        '[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=custom_hd2.grf\r\n');
      put(v, 'data/data.grf', 20 * 1024 * 1024, `data-${v}`);
      put(v, 'data/art.grf', 6 * 1024 * 1024, 'art');
      for (let i = 1; i <= 10; i++) put(v, `data/map${i}.rsw`, i * 7000, `map${i}-${i === 3 ? v : ''}`);
      // Small files: a kill lands while some are fetched ahead into memory.
      for (let i = 1; i <= 40; i++) put(v, `data/tiles/t${i}.bin`, 1500 + i * 400, `tile${i}-${i % 5 ? '' : v}`);
    }
    put('v2', 'data/new.dat', 300000, 'new');
    const hd = path.join(this.work, 'hd');
    fs.rmSync(hd, { recursive: true, force: true });
    writeRandom(path.join(hd, 'custom_hd1.grf'), 16 * 1024 * 1024, 'hd1');
    writeRandom(path.join(hd, 'custom_hd2.grf'), 700000, 'hd2');
    this.client = { v1: client('v1'), v2: client('v2') };
    this.hd = hd;
  }

  publish() {
    this.makeBuilds();
    this.makeSets();
    const tree = path.join(this.work, 'tree');
    fs.rmSync(tree, { recursive: true, force: true });
    const publish = (version, client, launcher, out) => execFileSync('python3', [
      path.join(root, 'tools/publish/publish.py'), '--quiet', '--out', out, '--version', version,
      '--client', client, '--hd', this.hd, '--launcher', launcher], { stdio: 'inherit' });
    this.offers = {};
    const keep = (name) => ({
      client: fs.readFileSync(path.join(tree, 'client/manifest.txt')),
      hd: fs.readFileSync(path.join(tree, 'hd/manifest.txt')),
      launcher: fs.readFileSync(path.join(tree, 'launcher/manifest.txt')),
      name,
    });
    publish('20261201000001', this.client.v1, this.launcher.B, tree);
    const b = keep('v1');
    publish('20261201000002', this.client.v2, this.launcher.A, tree);
    const a = keep('v2');
    this.offers = { v1: b.client, v2: a.client, hd: a.hd, launcherA: a.launcher, launcherB: b.launcher };
    this.manifests = { v1: parseManifest(b.client.toString()), v2: parseManifest(a.client.toString()),
      hd: parseManifest(a.hd.toString()) };
    // The tree's own manifests and launcher are written by offer().
    for (const rel of ['client/manifest.txt', 'hd/manifest.txt', 'launcher/manifest.txt',
      'launcher/Norvane-Launcher.exe', 'mirrors.txt']) fs.rmSync(path.join(tree, rel), { force: true });
    for (const rel of filesBelow(tree)) {
      const target = path.join(this.www, rel);
      if (fs.existsSync(target)) continue;
      fs.mkdirSync(path.dirname(target), { recursive: true });
      fs.copyFileSync(path.join(tree, rel), target);
      this.added.push(target);
    }
  }

  #write(rel, data) {
    const target = path.join(this.www, rel);
    if (!this.saved.has(target)) this.saved.set(target, fs.existsSync(target) ? fs.readFileSync(target) : null);
    fs.mkdirSync(path.dirname(target), { recursive: true });
    const temporary = `${target}.offer`;
    fs.writeFileSync(temporary, data);
    fs.renameSync(temporary, target);
  }

  // client: 'v1' or 'v2'; launcher: 'A' or 'B'.
  offer({ client, launcher }) {
    this.#write('client/manifest.txt', this.offers[client]);
    this.#write('hd/manifest.txt', this.offers.hd);
    this.#write('launcher/Norvane-Launcher.exe', fs.readFileSync(this.launcher[launcher]));
    this.#write('launcher/manifest.txt', launcher === 'A' ? this.offers.launcherA : this.offers.launcherB);
    this.offered = { client, launcher };
  }

  restore() {
    for (const file of this.added) fs.rmSync(file, { force: true });
    for (const [target, data] of this.saved) {
      if (data === null) fs.rmSync(target, { force: true });
      else fs.writeFileSync(target, data);
    }
    this.added = [];
    this.saved.clear();
  }
}

// --- The launcher's processes ------------------------------------------------

// Every process running the executable at exePath (a Linux path): Wine shows
// a Windows process's command line with the path as it was given, as a Linux
// path or as its Z: drive form, and a process started by the launcher with
// its Windows path.
export function launcherPids(exePath) {
  const wanted = exePath.toLowerCase();
  const pids = [];
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    let command;
    try { command = fs.readFileSync(`/proc/${name}/cmdline`, 'latin1'); } catch { continue; }
    if (command.replace(/\0/g, ' ').replace(/\\/g, '/').toLowerCase().includes(wanted)) pids.push(Number(name));
  }
  return pids;
}

// The image names of the Windows processes the prefix's wineserver still
// knows (Wine's tasklist is a stub; its debugger lists them).
export function windowsProcesses() {
  try {
    const out = execFileSync(wine, ['winedbg.exe', '--command', 'info process'],
      { stdio: ['ignore', 'pipe', 'ignore'], timeout: 20000 });
    return [...out.toString().matchAll(/'([^']+)'/g)].map((m) => m[1]);
  } catch {
    return null;
  }
}

export function clearLauncherSettings() {
  try {
    execFileSync(wine, ['reg.exe', 'delete', 'HKCU\\Software\\Norvane\\Launcher', '/f'], { stdio: 'ignore', timeout: 20000 });
  } catch { /* nothing to delete */ }
}

// The launcher copy the player runs, in a folder of its own (the self-update
// replaces it there), started through the stand-in runtime.
export class PlayerMachine {
  constructor(work) {
    this.prefix = process.env.WINEPREFIX;
    this.gameFolder = path.join(this.prefix, 'drive_c/Games/Norvane');
    this.gameFolderWindows = 'C:\\Games\\Norvane';
    this.launcherFolder = path.join(work, 'launcher');
    this.exe = path.join(this.launcherFolder, 'Norvane-Launcher.exe');
    this.log = path.join(work, 'message-boxes.log');
    this.children = [];
  }

  async open() {
    this.driver = await StandInDriver.listen();
    this.session = null;
    // Every launcher process (a restart, the build a self-update started)
    // connects a session of its own; the newest one is the page.
    this.driver.on('session', (session) => {
      this.session = session;
      session.waitFor(() => session.navigations.includes(pageAddress), 60000, 'page navigation')
        .then(() => session.postString(pageAddress, 'ready')).catch(() => {});
    });
  }

  async close() {
    await this.kill();
    await this.driver.close();
  }

  placeLauncher(file) {
    fs.rmSync(this.launcherFolder, { recursive: true, force: true });
    fs.mkdirSync(this.launcherFolder, { recursive: true });
    fs.copyFileSync(file, this.exe);
  }

  start(args = []) {
    // The page of an earlier process is gone: wait for this one's.
    this.session = null;
    const { child } = spawnLauncher(this.driver, { exe: this.exe, args, prefix: this.prefix, log: this.log });
    this.children.push(child);
    this.startedAt = Date.now();
    return child;
  }

  pids() { return launcherPids(this.exe); }

  // kill -9 of every process of the launcher copy, again until none is seen
  // twice in a row (a self-update may be starting the next build just now).
  async kill() {
    let quiet = 0;
    let killed = 0;
    for (let round = 0; round < 60 && quiet < 2; round++) {
      const pids = this.pids();
      if (pids.length === 0) { quiet++; await sleep(300); continue; }
      quiet = 0;
      for (const pid of pids) {
        try { process.kill(pid, 'SIGKILL'); killed++; } catch { /* gone already */ }
      }
      await sleep(200);
    }
    return killed;
  }

  // Closes an idle launcher through the page's close command; false when it
  // had to be killed instead.
  async closeIdle() {
    if (this.pids().length === 0) return true;
    await sleep(1000);
    await this.post('close');
    const end = Date.now() + 15000;
    while (this.pids().length && Date.now() < end) await sleep(200);
    return (await this.kill()) === 0;
  }

  // The last page messages of the newest session.
  messages() { return this.session ? this.session.pageMessages() : []; }
  lastState() { return this.messages().filter((m) => m.t === 'state').at(-1); }
  texts(type) { return this.messages().filter((m) => m.t === type).map((m) => m.text); }

  async post(command) {
    const session = this.session;
    if (session && !session.closed) await session.postString(pageAddress, command).catch(() => {});
  }

  // Posts a command that starts a job and sends it again while the launcher
  // answers that another task still runs.
  // Resolves to the moment of the post that was taken.
  async command(text, timeoutMs = 30000) {
    const end = Date.now() + timeoutMs;
    for (;;) {
      const sent = Date.now();
      const session = this.session;
      if (!session) { await sleep(200); continue; }
      const before = session.pageMessages().length;
      await this.post(text);
      await sleep(700);
      const busy = session.pageMessages().slice(before)
        .some((m) => m.t === 'toast' && m.text === texts.kBusyText);
      if (!busy) return sent;
      if (Date.now() > end) throw new Error(`the launcher stayed busy for ${text}`);
    }
  }

  // Waits until the newest session shows what `done` asks for; answers the
  // install screen with an install and a paused screen with resume.
  async settle({ hd = false, until = (s) => s.state === 'ready' && !s.checking, timeoutMs = 180000 } = {}) {
    const end = Date.now() + timeoutMs;
    let answered = null;
    let resumes = 0;
    for (;;) {
      if (Date.now() > end) throw new Error(`no settled screen; last state ${JSON.stringify(this.lastState())}`);
      await sleep(150);
      const state = this.lastState();
      if (!state) {
        if (this.pids().length === 0 && Date.now() - this.startedAt > 5000) throw new Error('the launcher is not running');
        if (Date.now() - this.startedAt > 60000) throw new Error('the launcher showed no screen within 60 s');
        continue;
      }
      if (until(state, this)) return state;
      const key = `${this.session.pageMessages().length}`;
      if (state.state === 'install' && !state.checking && answered !== key) {
        answered = key;
        await this.command(`install|${this.gameFolderWindows}|${hd ? 1 : 0}|0`);
      } else if (state.paused && answered !== key) {
        if (++resumes > 3) throw new Error(`paused again and again: ${this.texts('error').join(' | ')}`);
        answered = key;
        await this.command('resume');
      }
    }
  }
}

// --- What must hold on disk --------------------------------------------------

// The file-state file as its format documents it; every deviation is a problem.
export function parseStateFile(text) {
  const problems = [];
  const entries = new Map();
  let version = null;
  if (!text.endsWith('\n')) problems.push('the state file does not end with a line end');
  const lines = text.split('\n');
  if (lines[0] !== stateHeader) problems.push(`state header is ${JSON.stringify(lines[0].slice(0, 100))}`);
  const validPath = (p) => p.length >= 1 && p.length <= 400 && !p.startsWith('/') && !/[\\:]/.test(p) &&
    p.split('/').every((s) => s && s !== '.' && s !== '..' && !/[\x00-\x1f<>"|?*]/.test(s) && !/[. ]$/.test(s));
  const decimal = (v) => /^[0-9]{1,18}$/.test(v);
  for (const line of lines.slice(1)) {
    if (line === '') continue;
    const fields = line.split('|');
    if (fields.length === 2 && fields[0] === 'version') {
      if (version !== null) problems.push('two version lines');
      version = fields[1];
    } else if (fields.length === 4 && validPath(fields[0]) && decimal(fields[1]) && decimal(fields[2]) &&
      /^([0-9a-f]{64})?$/.test(fields[3])) {
      if (entries.has(fields[0])) problems.push(`two lines for ${fields[0]}`);
      entries.set(fields[0], { size: BigInt(fields[1]), mtime: BigInt(fields[2]), sha256: fields[3] });
    } else {
      problems.push(`bad state line ${JSON.stringify(line.slice(0, 120))}`);
    }
  }
  if (version === null) problems.push('no version line');
  return { version, entries, problems };
}

// FILETIME of a file's last write as Wine reports it.
function fileTime(stat) { return stat.mtimeNs / 100n + 116444736000000000n; }

// The installed game against the manifests: every file there with its hash
// (DATA.INI as shipped, kept as DATA.INI.full while reduced), no temporary
// or partial file, a file state that parses and vouches for no wrong file.
export function checkGame(gameFolder, { client, hd, hdOn }) {
  const problems = [];
  const statePath = path.join(gameFolder, 'launcher_state.txt');
  if (!fs.existsSync(statePath)) return ['launcher_state.txt is missing'];
  const state = parseStateFile(fs.readFileSync(statePath, 'latin1'));
  problems.push(...state.problems);
  if (state.version !== client.version) problems.push(`state version ${state.version}, offered ${client.version}`);
  const sets = hdOn ? [...client.entries, ...hd.entries] : client.entries;
  for (const entry of sets) {
    let file = path.join(gameFolder, entry.path);
    if (entry.path === 'DATA.INI' && fs.existsSync(`${file}.full`)) file = `${file}.full`;
    if (!fs.existsSync(file)) { problems.push(`${entry.path} is missing`); continue; }
    const actual = sha256(file);
    if (actual !== entry.sha256) problems.push(`${entry.path} has the wrong hash`);
    const remembered = state.entries.get(entry.path);
    const stat = fs.statSync(file, { bigint: true });
    if (remembered && remembered.sha256 && remembered.size === stat.size && remembered.mtime === fileTime(stat) &&
      remembered.sha256 !== actual) problems.push(`the state vouches for a wrong ${entry.path}`);
  }
  for (const rel of filesBelow(gameFolder)) {
    if (/\.tmp$/i.test(rel)) problems.push(`${rel} was left behind`);
    if (/\.part(\.tag)?$/i.test(rel)) problems.push(`${rel} was left behind after the launcher finished`);
  }
  return problems;
}

// The launcher copies: each one a complete build, the player's copy the one
// on offer, nothing half-placed beside it.
export function checkLaunchers(machine, content, { installed }) {
  const problems = [];
  const known = (file) => Object.entries(content.launcherHash).find(([, h]) => h === sha256(file))?.[0];
  if (!fs.existsSync(machine.exe)) problems.push('the player\'s launcher is missing');
  else {
    const build = known(machine.exe);
    if (!build) problems.push('the player\'s launcher is no complete build');
    else if (build !== content.offered.launcher) problems.push(`the player runs build ${build}, build ${content.offered.launcher} is on offer`);
  }
  const copy = path.join(machine.gameFolder, 'Norvane-Launcher.exe');
  if (installed && !fs.existsSync(copy)) problems.push('the game folder has no launcher copy');
  if (fs.existsSync(copy) && !known(copy)) problems.push('the game folder\'s launcher copy is no complete build');
  for (const rel of filesBelow(machine.launcherFolder)) {
    if (rel !== 'Norvane-Launcher.exe') problems.push(`${rel} lies beside the player's launcher`);
  }
  return problems;
}

// A machine without the game, running build A, and the content published
// under work; end() takes both away again.
export async function freshPlayer(work, www) {
  fs.mkdirSync(work, { recursive: true });
  const content = new PublishedContent(work, www);
  content.publish();
  content.offer({ client: 'v1', launcher: 'A' });
  const machine = new PlayerMachine(work);
  await machine.open();
  clearLauncherSettings();
  fs.rmSync(machine.gameFolder, { recursive: true, force: true });
  machine.placeLauncher(content.launcher.A);
  const end = async () => {
    await machine.close();
    content.restore();
  };
  return { content, machine, end };
}
