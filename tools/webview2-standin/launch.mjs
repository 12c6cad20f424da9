// The real Norvane-Launcher.exe (the x86_64 test build) started under wine64
// with this stand-in in place of the WebView2 runtime: the one way the tests,
// the demo and the benchmarks start it.
//
//   const driver = await StandInDriver.listen();
//   const run = await startLauncher(driver, { log, answers: ['yes'], page: true });
//   await run.session.postString(pageAddress, 'ready');
//   assert.equal(await run.exited, 0);
//
// Driver mode: the driver alone plays the page (run.session). Browser mode
// (browser: {...}): the page is shown in Chromium as well (run.view, a
// BrowserView). The environment the launcher gets is this process's, minus
// everything the stand-in and the test build read, which comes from the
// options only.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { wineFolder } from './driver.mjs';
import { BrowserView } from './browser.mjs';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const build = path.join(root, 'build/windows-x64');
export const launcherExe = path.join(build, 'src/shell/Norvane-Launcher.exe');
export const runtimeFolder = path.join(build, 'webview2-standin');
export const wine = '/usr/lib/wine/wine64';
export const origin = 'https://launcher.norvane.local/';
export const pageAddress = origin + 'launcher.html';

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Resolves to predicate()'s first true value, checked every 100 ms.
export async function until(predicate, what, ms = 15000) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await predicate();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}

// The promise's value, or a failure after ms.
export async function within(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(`timed out: ${what}`)), ms); });
  try { return await Promise.race([promise, timeout]); } finally { clearTimeout(timer); }
}

// Starts the launcher and returns at once:
//   exe       which build (the test build by default); args its command line
//   prefix    the Wine prefix (WINEPREFIX of this process by default)
//   env       more environment
//   log       a Linux path for the test build's record of message boxes and
//             opened links (NORVANE_TEST_LOG); run.lines() reads it back
//   answers   the message boxes' answers in turn (NORVANE_TEST_ANSWERS;
//             'no' or OK when used up)
//   runtime   false: no runtime folder, as on a machine without WebView2
//   address   the driver address the stand-in is given instead of this driver's
// run.exited resolves to the exit code (null when Wine could not be started)
// once the process is gone; run.signal is the Unix signal that ended it, if
// one did. run.waitForSession(ms) resolves to the stand-in session of this
// process (the first to connect after the start).
export function spawnLauncher(driver, {
  exe = launcherExe, args = [], prefix, env = {}, log, answers = [], runtime = true, address,
} = {}) {
  const environment = { ...process.env, ...env };
  for (const name of ['WEBVIEW2_BROWSER_EXECUTABLE_FOLDER', 'NV_STANDIN_ADDRESS', 'NORVANE_TEST_LOG']) {
    delete environment[name];
  }
  if (prefix) environment.WINEPREFIX = prefix;
  if (runtime) Object.assign(environment, driver.environment(runtimeFolder));
  if (address) environment.NV_STANDIN_ADDRESS = address;
  if (log) environment.NORVANE_TEST_LOG = wineFolder(log);
  environment.NORVANE_TEST_ANSWERS = answers.join(',');

  const known = driver.sessions.length;
  const run = {
    log,
    signal: null,
    spawnedAt: performance.now(),
    waitForSession: (ms = 60000) => driver.nextSession(ms, known),
    lines: () => (log && fs.existsSync(log) ? fs.readFileSync(log, 'utf8').split('\n').filter(Boolean) : []),
  };
  run.child = spawn(wine, [exe, ...args], { env: environment, stdio: 'ignore' });
  run.exited = new Promise((resolve) => {
    run.child.on('error', () => resolve(null));
    run.child.on('exit', (code, signal) => {
      run.signal = signal;
      resolve(code);
    });
  });
  return run;
}

// spawnLauncher, then waits for its stand-in session (run.session): with
// page, until the launcher has navigated to its page; with browser (the
// options of BrowserView.open), until Chromium shows it (run.view). A
// launcher that does not get there is killed.
export async function startLauncher(driver, { page = false, browser = null, sessionMs = 60000, pageMs = 60000,
  ...options } = {}) {
  const run = spawnLauncher(driver, options);
  try {
    run.session = await run.waitForSession(sessionMs);
    if (page) {
      await run.session.waitFor(() => run.session.navigations.includes(pageAddress), pageMs, 'page navigation');
    }
    if (browser) run.view = await BrowserView.open(run.session, { origin, ...browser });
  } catch (error) {
    run.child.kill('SIGKILL');
    throw error;
  }
  return run;
}
