// Kill -9 at random moments: the real launcher under wine64 is killed during
// an install, an update, a repair, the HD pack download and its own
// self-update (also aimed at its new build taking the launcher's name), then
// started again and left to finish. After every point: the
// launcher started again, the file-state file parses, every game file has its
// manifest hash, no temporary or partial file is left, and each launcher
// executable is one of the two complete builds.
//
//   NV_KILL_POINTS=50   how many kill points (default: one of each kind)
//   NV_KILL_SEED=n      replays a run: the same kinds, kill modes and moments
//
// Run by scripts/suites/crash.sh inside a scripts/test session, in a Wine
// prefix of its own.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  build, checkGame, checkLaunchers, clearLauncherSettings, freshPlayer, filesBelow, sleep,
  windowsProcesses,
} from './player_machine.mjs';
import { texts } from '../support/player_texts.mjs';

const work = path.join(build, 'crash');
const www = path.join(build, 'test-servers/www/download');
const kindCount = 6;
const points = Number(process.env.NV_KILL_POINTS || kindCount);
const seed = Number(process.env.NV_KILL_SEED || Math.floor(Math.random() * 2 ** 31));

// A small seeded generator (mulberry32): a seed replays the same choices.
function generator(value) {
  let a = value >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

let machine;
let content;
const world = { installed: false, hdOn: false, client: 'v1', launcher: 'A' };

// Bytes written below folder since t0: files whose last write is newer.
function bytesWrittenSince(folder, t0) {
  let total = 0;
  for (const rel of filesBelow(folder)) {
    try {
      const stat = fs.statSync(path.join(folder, rel));
      if (stat.mtimeMs >= t0 - 50) total += stat.size;
    } catch { /* replaced just now */ }
  }
  return total;
}

async function startAndSettle(options) {
  machine.start();
  return machine.settle({ hd: world.hdOn, ...options });
}

// The job that showed the settled screen ends moments later; then the
// command goes out once, and the kill window opens with it.
async function postToIdle(command) {
  await sleep(1000);
  const sent = Date.now();
  await machine.post(command);
  return sent;
}

const readyShown = () => machine.lastState()?.state === 'ready' && !machine.lastState()?.checking;
const toastShown = (text) => () => machine.texts('toast').some((t) => t.startsWith(text));

const toastSeen = (text) => (s, m) => m.texts('toast').some((t) => t.startsWith(text)) && !s.checking;
// What both repair toasts (every file fine, or some fixed) start with.
const REPAIR_FINISHED = texts.kRepairFixedText.slice(0, texts.kRepairFixedText.indexOf('{}'));

async function ensureInstalled() {
  content.offer({ client: world.client, launcher: world.launcher });
  if (!world.installed) {
    await startAndSettle();
    world.installed = true;
    await machine.closeIdle();
  }
}

async function offerOtherClient() {
  world.client = world.client === 'v1' ? 'v2' : 'v1';
  content.offer({ client: world.client, launcher: world.launcher });
}

const manifestBytes = (m) => m.entries.reduce((s, e) => s + e.size, 0);

// Each kind: prepare (the state before), act (returns the moment the kill
// window opens), the bytes it writes, a time window for the kill, and how
// the player finishes it after the restart.
const kinds = {
  install: {
    window: 3500,
    ended: readyShown,
    async prepare() {
      await machine.closeIdle();
      clearLauncherSettings();
      fs.rmSync(machine.gameFolder, { recursive: true, force: true });
      world.installed = false;
      world.hdOn = this.rng() < 0.4;
      content.offer({ client: world.client, launcher: world.launcher });
      machine.start();
      await machine.settle({ until: (s) => s.state === 'install' && !s.checking });
    },
    async act() {
      return postToIdle(`install|${machine.gameFolderWindows}|${world.hdOn ? 1 : 0}|0`);
    },
    bytes: () => manifestBytes(content.manifests[world.client]) + (world.hdOn ? manifestBytes(content.manifests.hd) : 0),
    folder: () => machine.gameFolder,
    async finish() {
      await startAndSettle();
      world.installed = true;
    },
  },
  update: {
    window: 4500,
    ended: readyShown,
    async prepare() {
      await ensureInstalled();
      await offerOtherClient();
    },
    async act() {
      machine.start();
      return Date.now();
    },
    bytes: () => {
      const old = new Map(content.manifests[world.client === 'v1' ? 'v2' : 'v1'].entries.map((e) => [e.path, e.sha256]));
      return content.manifests[world.client].entries.filter((e) => old.get(e.path) !== e.sha256)
        .reduce((s, e) => s + e.size, 0);
    },
    folder: () => machine.gameFolder,
    async finish() { await startAndSettle(); },
  },
  repair: {
    window: 1500,
    ended: toastShown(REPAIR_FINISHED),
    timeOnly: true,
    async prepare() {
      await ensureInstalled();
      await startAndSettle();
      fs.rmSync(path.join(machine.gameFolder, 'data/map5.rsw'), { force: true });
      const art = path.join(machine.gameFolder, 'data/art.grf');
      const damaged = fs.readFileSync(art);
      damaged.fill(0x41, 0, 4096);
      fs.writeFileSync(art, damaged);
    },
    async act() {
      return postToIdle('repair');
    },
    bytes: () => 0,
    folder: () => machine.gameFolder,
    async finish() {
      await startAndSettle();
      await machine.command('repair');
      await machine.settle({ until: toastSeen(REPAIR_FINISHED) });
    },
  },
  hd: {
    window: 1200,
    ended: toastShown(texts.kHdInstalledText),
    async prepare() {
      await ensureInstalled();
      await startAndSettle();
      if (world.hdOn) {
        await machine.command('hd|0');
        await machine.settle({ until: toastSeen(texts.kHdRemovedText) });
        world.hdOn = false;
      }
    },
    async act() {
      return postToIdle('hd|1');
    },
    bytes: () => manifestBytes(content.manifests.hd),
    folder: () => machine.gameFolder,
    async finish() {
      world.hdOn = true;
      await startAndSettle();
      await machine.command('hd|1');
      await machine.settle({ until: toastSeen(texts.kHdInstalledText) });
    },
  },
  selfupdate: {
    window: 4500,
    ended: readyShown,
    async prepare() {
      await ensureInstalled();
      world.launcher = world.launcher === 'A' ? 'B' : 'A';
      content.offer({ client: world.client, launcher: world.launcher });
    },
    async act() {
      machine.start();
      return Date.now();
    },
    bytes: () => fs.statSync(content.launcher[world.launcher]).size,
    folder: () => machine.launcherFolder,
    async finish() { await startAndSettle(); },
  },
  // The moment the new build, started as ".new", takes the launcher's name,
  // widened by a test pause: the window opens once ".new" is complete.
  handover: {
    window: 3000,
    ended: readyShown,
    timeOnly: true,
    async prepare() { await kinds.selfupdate.prepare(); },
    async act() {
      const fresh = `${machine.exe}.new`;
      const size = fs.statSync(content.launcher[world.launcher]).size;
      process.env.NORVANE_TEST_HANDOVER_PAUSE_MS = '1500';
      try {
        machine.start();
      } finally {
        delete process.env.NORVANE_TEST_HANDOVER_PAUSE_MS;
      }
      const end = Date.now() + 20000;
      while (Date.now() < end && !(fs.existsSync(fresh) && fs.statSync(fresh, { throwIfNoEntry: false })?.size === size)) {
        await sleep(20);
      }
      return Date.now();
    },
    bytes: () => 0,
    folder: () => machine.launcherFolder,
    async finish() { await startAndSettle(); },
  },
};
assert.equal(Object.keys(kinds).length, kindCount);

let player;

before(async () => {
  assert.ok(process.env.WINEPREFIX, 'run inside scripts/suites/crash.sh');
  player = await freshPlayer(work, www);
  ({ content, machine } = player);
});

after(async () => {
  await player?.end();
});

// One point: prepare, act, kill at the chosen moment, make sure the process
// is gone, start again, finish, close and check.
async function runPoint(index, kindName, rng) {
  const kind = kinds[kindName];
  kind.rng = rng;
  await kind.prepare();
  const mode = kind.timeOnly || rng() < 0.5 ? 'time' : 'bytes';
  const fraction = rng();
  const t0 = await kind.act();
  let moment;
  if (mode === 'time') {
    const delay = Math.floor(fraction * kind.window);
    await sleep(Math.max(0, t0 + delay - Date.now()));
    moment = `time ${delay} ms`;
  } else {
    const threshold = Math.floor((0.05 + 0.9 * fraction) * kind.bytes());
    const end = t0 + kind.window * 3;
    while (bytesWrittenSince(kind.folder(), t0) < threshold && Date.now() < end) await sleep(20);
    moment = `${(threshold / 1048576).toFixed(1)} MiB written, ${Date.now() - t0} ms`;
  }
  const shown = machine.lastState();
  const ended = kind.ended();
  const killed = await machine.kill();
  const problems = [];
  if (killed === 0) problems.push('no launcher process was running at the kill');
  if (machine.pids().length) problems.push('a launcher process survived kill -9');
  const windows = windowsProcesses();
  if (!windows) problems.push('the wineserver\'s process list could not be read');
  else if (windows.some((n) => /norvane-launcher/i.test(n))) problems.push('the wineserver still lists the launcher');

  if (!fs.existsSync(machine.exe)) {
    problems.push('the player\'s launcher is gone after the kill');
    machine.placeLauncher(content.launcher[world.launcher]);
  }
  try {
    await kind.finish();
  } catch (error) {
    problems.push(`after the restart: ${error.message}`);
  }
  const errors = machine.texts('error');
  if (!(await machine.closeIdle())) problems.push('the launcher did not close when asked');
  problems.push(...checkGame(machine.gameFolder, {
    client: content.manifests[world.client], hd: content.manifests.hd, hdOn: world.hdOn,
  }));
  problems.push(...checkLaunchers(machine, content, { installed: true }));
  if (errors.length) problems.push(`the page showed errors: ${errors.join(' | ')}`);
  const screen = shown ? `${shown.state}${shown.paused ? ' paused' : ''}${shown.checking ? ' checking' : ''}` : 'no screen yet';
  console.log(`point ${index + 1}/${points} ${kindName}: kill at ${moment} (${screen}${ended ? ', after its end' : ''}) -> ${problems.length ? 'FAIL' : 'ok'}`);
  for (const problem of problems) console.log(`    ${problem}`);
  return { problems, ended };
}

test('kill -9 ends the Windows process: the wineserver forgets it and the next start is no second instance', async () => {
  content.offer({ client: world.client, launcher: world.launcher });
  const image = /^norvane-launcher\.exe$/i;
  try {
    machine.start();
    await machine.settle({ until: (s) => !s.checking });
    assert.ok(windowsProcesses()?.some((n) => image.test(n)), 'the running launcher is listed');
    assert.ok(await machine.kill() > 0);
    assert.deepEqual(machine.pids(), []);
    assert.ok(!windowsProcesses().some((n) => image.test(n)), 'the killed launcher is still listed');
    machine.start();
    await machine.settle({ until: (s) => !s.checking });
    assert.ok(await machine.closeIdle());
  } finally {
    await machine.kill();
  }
});

test(`kill -9 at ${points} random moments leaves a launcher that starts and a game that matches its manifests`, { timeout: 3 * 3600 * 1000 }, async () => {
  console.log(`kill matrix: seed ${seed}, ${points} points (replay: NV_KILL_SEED=${seed} NV_KILL_POINTS=${points})`);
  const started = Date.now();
  const rng = generator(seed);
  const names = Object.keys(kinds);
  // The first five points take each kind once, in a seeded order.
  const order = names.map((n) => [rng(), n]).sort((a, b) => a[0] - b[0]).map(([, n]) => n);
  const failures = [];
  let afterEnd = 0;
  for (let i = 0; i < points; i++) {
    const kindName = i < order.length ? order[i] : names[Math.floor(rng() * names.length)];
    const { problems, ended } = await runPoint(i, kindName, rng);
    if (ended) afterEnd++;
    if (problems.length) failures.push(`point ${i + 1} (${kindName}): ${problems.join('; ')}`);
  }
  const seconds = Math.round((Date.now() - started) / 1000);
  console.log(`kill matrix: ${points} points (${points - afterEnd} during the work, ${afterEnd} after its end), `
    + `${failures.length} failed, ${seconds} s, seed ${seed}`);
  assert.deepEqual(failures, []);
});
