// Benchmark (not a test): the real Norvane-Launcher.exe (x86_64 test build)
// under wine64 with the WebView2 stand-in, from process start.
//   - time from spawning the process to the first `state` message: in driver
//     mode where the host posts it (the driver says "ready" as soon as the
//     page is navigated), and in browser mode where it reaches the page in
//     Chromium (the browser's start and the page's load included, as
//     WebView2's would be);
//   - the launcher's working set once its page is loaded and the start-up
//     check has ended (no game registered: the registry key is cleared
//     first), as Wine reports it (GetProcessMemoryInfo from another
//     process in the same prefix; Wine gives the Linux RSS of the process,
//     its own code included).
// The peers are Wine itself: a program that exits at once, timed from spawn
// to exit, and the working set of an idle cmd.exe waiting for input.
//   node bench/launcher.mjs [--runs N]
// Needs a session with Xvfb, the wineserver and the test servers (bench/run
// gives one). With NV_BENCH_TABLE set, the figures go to its table as rows.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { StandInDriver } from '../tools/webview2-standin/driver.mjs';
import { BrowserView } from '../tools/webview2-standin/browser.mjs';
import {
  build, launcherExe as exe, origin, pageAddress, runtimeFolder, sleep as settle, spawnLauncher, wine, within,
} from '../tools/webview2-standin/launch.mjs';

const probe = path.join(build, 'tests/sync/sync_bench.exe');

const runsArg = process.argv.indexOf('--runs');
const runs = Math.max(1, runsArg > 0 ? Number(process.argv[runsArg + 1]) || 1 : 3);
for (const needed of [exe, probe, path.join(runtimeFolder, 'EBWebView/x64/EmbeddedBrowserWebView.dll')]) {
  if (!fs.existsSync(needed)) {
    console.error(`bench: build windows-x64 first (missing ${needed})`);
    process.exit(1);
  }
}
if (!process.env.WINEPREFIX || !process.env.DISPLAY) {
  console.error('bench: run inside a session with Xvfb and the Wine prefix (bench/run gives one)');
  process.exit(1);
}

const median = (list) => {
  const sorted = [...list].sort((a, b) => a - b);
  const mid = sorted.length >> 1;
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
};
const load = () => fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');

// Runs a Windows program to its end; resolves to {code, stdout, ms}.
function runWine(args) {
  return new Promise((resolve) => {
    const start = performance.now();
    const child = spawn(wine, args, { stdio: ['ignore', 'pipe', 'ignore'] });
    let stdout = '';
    child.stdout.on('data', (d) => { stdout += d; });
    child.on('exit', (code) => resolve({ code, stdout: stdout.replace(/\r/g, ''), ms: performance.now() - start }));
  });
}

const driver = await StandInDriver.listen();
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'nv-bench-launcher-'));
let started = 0;

function startLauncher() {
  return spawnLauncher(driver, { log: path.join(scratch, `run${++started}.log`) });
}

// The start-up check ends with a state that is no longer checking.
function checkEnded(session, ms = 90000) {
  return session.waitFor(() => session.pageMessages().some((m) => m.t === 'state' && !m.checking &&
    ['install', 'ready', 'error'].includes(m.state)), ms, 'the end of the start-up check');
}

async function stop(run, session, view) {
  if (session && !session.closed) await session.postString(pageAddress, 'close').catch(() => {});
  try {
    await within(run.exited, 20000, 'launcher exit');
  } catch {
    run.child.kill('SIGKILL');
    await run.exited;
  }
  if (view) await view.close();
}

// Driver mode: the host's PostWebMessageAsJson of the first state.
async function driverRun() {
  const run = startLauncher();
  let session;
  try {
    session = await run.waitForSession(60000);
    await session.waitFor(() => session.navigations.includes(pageAddress), 60000, 'page navigation');
    const navigated = performance.now() - run.spawnedAt;
    await session.postString(pageAddress, 'ready');
    await session.waitFor(() => session.pageMessages().some((m) => m.t === 'state'), 60000, 'the first state');
    const state = performance.now() - run.spawnedAt;
    await checkEnded(session).catch(() => {});
    await settle(1000);  // the job's end, so that closing asks nothing
    return { navigated, state };
  } finally {
    await stop(run, session);
  }
}

// Browser mode: the first state in the page, then the idle working set.
async function browserRun() {
  const run = startLauncher();
  let session;
  let view;
  try {
    session = await run.waitForSession(60000);
    let firstState = 0;
    view = await BrowserView.open(session, {
      origin,
      onDeliver: (json) => {
        if (!firstState && JSON.parse(json).t === 'state') firstState = performance.now() - run.spawnedAt;
      },
    });
    await checkEnded(session);
    await within((async () => { while (!firstState) await settle(20); })(), 30000, 'the first state in the page');
    await settle(5000);  // idle: the check has ended, the page shows its screen
    const screen = await view.screen();
    return { firstState, screen, ...(await workingSetOf(path.basename(exe))), errors: view.errors.length };
  } finally {
    await stop(run, session, view);
  }
}

async function workingSetOf(name) {
  const result = await runWine([probe, 'workingset', name]);
  const fields = result.stdout.trim().split(/\s+/);
  if (fields[0] !== 'ok') throw new Error(`working set query failed: ${result.stdout.trim()}`);
  return { workingSet: Number(fields[1]), peak: Number(fields[2]) };
}

// The floor under every program in this Wine: cmd.exe waiting for input.
async function idleWineProcess() {
  const child = spawn(wine, ['cmd.exe'], { stdio: ['pipe', 'ignore', 'ignore'] });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  try {
    await settle(3000);
    return (await workingSetOf('cmd.exe')).workingSet;
  } finally {
    child.stdin.end('exit\r\n');
    await within(exited, 10000, 'cmd.exe exit').catch(() => child.kill('SIGKILL'));
  }
}

const rows = [];
let failed = false;
try {
  // A player's first start: the test suites leave a registered game in this
  // prefix, whose update would turn the start-up check into an update.
  await runWine(['reg', 'delete', 'HKCU\\Software\\Norvane', '/f']);
  const wineStart = [];
  const host = [];
  for (let i = 1; i <= runs; i++) {
    const before = load();
    // sync_bench without arguments prints its usage and exits with 2.
    const empties = [];
    for (let k = 0; k < 3; k++) {
      const empty = await runWine([probe]);
      if (empty.code !== 2) throw new Error(`the empty program ended with ${empty.code}`);
      empties.push(empty.ms);
    }
    const empty = { ms: median(empties) };
    wineStart.push(empty.ms);
    const r = await driverRun();
    host.push(r.state);
    console.log(`driver run ${i}: navigated ${r.navigated.toFixed(0)} ms, first state posted ${r.state.toFixed(0)} ms ` +
      `after spawn; an empty program under wine64 ${empty.ms.toFixed(0)} ms; load ${before} -> ${load()}`);
  }
  const before = load();
  const b = await browserRun();
  const floor = await idleWineProcess();
  const mb = (bytes) => (bytes / 1048576).toFixed(1);
  console.log(`browser run: first state in the page ${b.firstState.toFixed(0)} ms after spawn; idle on screen ` +
    `"${b.screen}": working set ${mb(b.workingSet)} MiB (peak ${mb(b.peak)}) as Wine reports it; an idle cmd.exe ` +
    `${mb(floor)} MiB; ${b.errors} page errors; load ${before} -> ${load()}`);
  const h = median(host);
  const w = median(wineStart);
  rows.push([`process start to first state posted to the page (driver mode, median of ${runs})`,
    `${h.toFixed(0)} ms`, `${w.toFixed(0)} ms (empty program, wine64 start to exit)`, (h / w).toFixed(2), '-']);
  rows.push(['process start to first state in the page (browser mode, Chromium start included)',
    `${b.firstState.toFixed(0)} ms`, '-', '-', '-']);
  rows.push(["idle working set, page loaded (Wine's figure: the process's Linux RSS, Wine included)",
    `${mb(b.workingSet)} MiB`, `${mb(floor)} MiB (idle cmd.exe)`, (b.workingSet / floor).toFixed(2), '-']);
} catch (error) {
  console.error(`bench: ${error.message}`);
  failed = true;
} finally {
  await driver.close();
  fs.rmSync(scratch, { recursive: true, force: true });
}
if (process.env.NV_BENCH_TABLE) {
  if (failed) rows.push(['launcher start and idle working set', 'failed', '-', '-', '-']);
  fs.appendFileSync(process.env.NV_BENCH_TABLE, rows.map((r) => r.join('\t') + '\n').join(''));
}
process.exit(failed ? 1 : 0);
