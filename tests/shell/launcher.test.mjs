// The real Norvane-Launcher.exe (x86_64 test build) under wine64, with the
// WebView2 stand-in runtime in place of WebView2. Run by scripts/suites/shell.sh
// inside a scripts/test session (Xvfb, wineserver, prefix).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { StandInDriver } from '../../tools/webview2-standin/driver.mjs';
import {
  build, launcherExe as exe, origin, pageAddress, root, runtimeFolder, sleep as settle, spawnLauncher, startLauncher,
  until, wine, within,
} from '../../tools/webview2-standin/launch.mjs';
import { fill, matching, oneLine, texts } from '../support/player_texts.mjs';

let driver;
let scratch;
let runs = 0;

// A launcher that ends by a Unix signal instead of its exit code failed, even
// when the Windows side never saw it: a thread still running at ExitProcess.
const wineSignalDeaths = [];
function launcherTest(name, body) {
  test(name, async (t) => {
    await body(t);
    assert.deepEqual(wineSignalDeaths, [], 'a launcher ended by a signal');
  });
}
// NV_SHELL_CLOSE_CYCLES=n starts and closes the idle launcher n times in its
// case (default once), to count exits by a signal.
const closeCycles = Number(process.env.NV_SHELL_CLOSE_CYCLES || 1);

before(async () => {
  assert.ok(fs.existsSync(exe), `missing ${exe}`);
  assert.ok(fs.existsSync(path.join(runtimeFolder, 'EBWebView/x64/EmbeddedBrowserWebView.dll')), 'missing stand-in');
  driver = await StandInDriver.listen();
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'nv-shell-'));
});

after(async () => {
  await driver.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

// Every launcher this file starts: its record in a log of its own, its end
// by a signal noted for launcherTest.
function watched(run) {
  run.exited.then(() => { if (run.signal) wineSignalDeaths.push(run.signal); });
  return run;
}
const logFile = () => path.join(scratch, `run${++runs}.log`);

// Starts the launcher. answers: the test build's message-box answers in turn.
function launch(options = {}) {
  return watched(spawnLauncher(driver, { log: logFile(), ...options }));
}

// Starts the launcher and waits until its page is navigated.
async function startWithPage(options = {}) {
  const run = watched(await startLauncher(driver, {
    log: logFile(), page: true, sessionMs: 30000, pageMs: 20000, ...options,
  }));
  return { run, session: run.session };
}

// Job 1, the start-up check, runs at every start; closing during it would ask
// the download question. Its last state message ends it (the job's end
// message follows within moments).
async function waitForStartupCheck(session) {
  await session.postString(pageAddress, 'ready');
  await session.waitFor(() => session.pageMessages().some((m) => m.t === 'state' && !m.checking &&
    ['install', 'ready', 'error'].includes(m.state)), 60000, 'the start-up check');
  await new Promise((r) => setTimeout(r, 1000));
}

async function closeLauncher(run, session) {
  if (!session.closed) {
    await waitForStartupCheck(session).catch(() => {});
    await session.postString(pageAddress, 'close').catch(() => {});
  }
  return within(run.exited, 15000, 'launcher exit');
}

// The real window on the Xvfb screen: the page's background colour inside,
// rounded corners (the window's own region, as Wine has no DWM corners).
function checkScreenshot(window) {
  const shot = path.join(build, 'shell-test-output/window.png');
  fs.mkdirSync(path.dirname(shot), { recursive: true });
  execFileSync('import', ['-display', process.env.DISPLAY, '-window', 'root', shot]);
  const pixel = (x, y) => execFileSync('convert', [shot, '-crop', `1x1+${x}+${y}`, '-depth', '8', 'txt:-'])
    .toString().match(/#([0-9A-F]{6})/i)[1].toUpperCase();
  const { x, y, width, height } = window;
  assert.equal(pixel(x + width / 2, y + height / 2), '05090F', 'centre');
  assert.equal(pixel(x + 40, y + 2), '05090F', 'top edge');
  assert.notEqual(pixel(x, y), '05090F', 'top-left corner is rounded off');
  assert.notEqual(pixel(x + width - 1, y + height - 1), '05090F', 'bottom-right corner is rounded off');
}

const deps = (session) => session.pageMessages().filter((m) => m.t === 'deps');

launcherTest('the launcher starts, configures the web view and serves the page from its resources', async () => {
  const { run, session } = await startWithPage();
  try {
    assert.equal(session.hello.runtimeType, 1, 'a runtime folder was given');
    assert.match(session.hello.userDataFolder, /\\Norvane\\WebView2\\Launcher$/);
    const setting = (name) => session.calls.filter((c) => c.m === 'setting' && c.name === name).map((c) => c.value);
    for (const name of ['AreDefaultContextMenusEnabled', 'AreDevToolsEnabled', 'IsStatusBarEnabled',
      'IsZoomControlEnabled', 'AreBrowserAcceleratorKeysEnabled', 'IsPinchZoomEnabled', 'IsSwipeNavigationEnabled']) {
      assert.deepEqual(setting(name), [false], name);
    }
    const background = session.calls.find((c) => c.m === 'put_DefaultBackgroundColor');
    assert.deepEqual([background.a, background.r, background.g, background.b], [255, 5, 9, 15]);
    const bounds = session.calls.find((c) => c.m === 'put_Bounds');
    assert.deepEqual([bounds.left, bounds.top, bounds.right, bounds.bottom], [0, 0, 960, 600]);
    const window = await session.windowState();
    assert.deepEqual([window.visible, window.iconic, window.width, window.height], [true, false, 960, 600]);
    checkScreenshot(window);
    assert.deepEqual(session.calls.find((c) => c.m === 'AddWebResourceRequestedFilter'),
      { ev: 'call', m: 'AddWebResourceRequestedFilter', uri: origin + '*', context: 0 });

    const html = fs.readFileSync(path.join(root, 'resources/launcher.html'));
    const logo = fs.readFileSync(path.join(root, 'resources/logo.png'));
    const art = fs.readFileSync(path.join(root, 'resources/art.jpg'));
    for (const [uri, body, type] of [
      [origin, html, 'text/html; charset=utf-8'],
      [pageAddress, html, 'text/html; charset=utf-8'],
      [origin + 'index.html', html, 'text/html; charset=utf-8'],
      [origin + 'launcher.html?screen=ready#top', html, 'text/html; charset=utf-8'],
      [origin + 'LOGO.PNG', logo, 'image/png'],
      [origin + 'art.jpg#x', art, 'image/jpeg'],
    ]) {
      const reply = await session.resource(uri);
      assert.equal(reply.status, 200, uri);
      assert.equal(reply.reason, 'OK');
      assert.equal(reply.headers, `Content-Type: ${type}\r\nCache-Control: no-store`);
      assert.ok(reply.body.equals(body), `${uri} body`);
    }
    for (const uri of [origin + 'favicon.ico', origin + '../launcher.html', origin + '%2e%2e/logo.png',
      origin + 'sub\\..\\logo.png', origin + 'logo.png/', origin + 'x'.repeat(100000), origin + 'launcher.htm']) {
      const reply = await session.resource(uri);
      assert.deepEqual([reply.status, reply.reason, reply.headers, reply.hasContent], [404, 'Not Found', '', false],
        uri.slice(0, 80));
    }
    for (const uri of ['https://launcher.norvane.local.evil/logo.png', 'https://example.com/']) {
      assert.equal((await session.resource(uri)).handled, false, uri);
    }
  } finally {
    assert.equal(await closeLauncher(run, session), 0);
  }
  assert.ok(session.calls.some((c) => c.m === 'Close'), 'the controller is closed at the end');
  assert.deepEqual(run.lines(), [], 'no message box and nothing opened');
});

launcherTest('only commands from the page origin of 1 to 4095 units are dispatched; ready replays the cache', async () => {
  const { run, session } = await startWithPage();
  try {
    // checkdeps answers through the cache: nothing reaches the page before ready.
    await session.postString(pageAddress, 'checkdeps');
    await settle(2000);
    assert.equal(deps(session).length, 0);

    const refused = [
      ['https://launcher.norvane.local.evil/launcher.html', 'ready'],
      ['https://evil.example/', 'ready'],
      ['HTTPS://LAUNCHER.NORVANE.LOCAL/launcher.html', 'ready'],
      [pageAddress, 'ready|' + 'x'.repeat(4090)],  // 4096 units
      [pageAddress, ''],
    ];
    for (const [source, text] of refused) await session.postString(source, text);
    await session.postJson(pageAddress, '"ready"');
    await session.postJson(pageAddress, '{"t":"ready"}');
    await settle(1000);
    assert.equal(deps(session).length, 0, 'a refused message triggered the replay');

    await session.postString(pageAddress, 'ready|' + 'x'.repeat(4089));  // 4095 units
    await session.waitFor(() => deps(session).length === 1, 10000, 'the replayed deps message');
    assert.ok(Array.isArray(deps(session)[0].items));
  } finally {
    assert.equal(await closeLauncher(run, session), 0);
  }
});

launcherTest('navigations leave the page only for the default browser; new windows never open inside', async () => {
  const { run, session } = await startWithPage();
  try {
    const cases = [
      ['https://example.com/news?id=1', true, true],
      ['http://example.com/', true, true],
      ['file:///C:/Windows/win.ini', true, false],
      ['about:blank', true, false],
      ['javascript:alert(1)', true, false],
      ['https://launcher.norvane.local.evil/', true, true],
      [origin + 'launcher.html#again', false, false],
    ];
    for (const [uri, cancelled] of cases) assert.equal((await session.navigate(uri)).cancel, cancelled, uri);
    assert.equal((await session.newWindow('https://example.org/page')).handled, true);
    assert.equal((await session.newWindow('file:///C:/x')).handled, true);
    await session.postString(pageAddress, 'url|https://example.net/a|b');
    await settle(1000);
    const expected = cases.filter((c) => c[2]).map((c) => `open|${c[0]}`)
      .concat(['open|https://example.org/page', 'open|https://example.net/a|b']);
    assert.deepEqual(run.lines(), expected);
    assert.equal(session.navigations.filter((u) => !u.startsWith(origin)).length, 0, 'a foreign page committed');
  } finally {
    assert.equal(await closeLauncher(run, session), 0);
  }
});

launcherTest('a renderer failure reloads the page, which gets the replay after its next ready', async () => {
  const { run, session } = await startWithPage();
  try {
    await session.postString(pageAddress, 'checkdeps');
    await session.postString(pageAddress, 'ready');
    await session.waitFor(() => deps(session).length === 1, 10000, 'first replay');
    const navigationsBefore = session.navigations.length;
    await session.processFailed(1);
    await session.waitForCall('Reload');
    await session.waitFor(() => session.navigations.length > navigationsBefore, 10000, 'reload navigation');
    // After the reload the page is not ready: a new report waits in the cache.
    await session.postString(pageAddress, 'checkdeps');
    await settle(1500);
    assert.equal(deps(session).length, 1);
    await session.postString(pageAddress, 'ready');
    await session.waitFor(() => deps(session).length === 2, 10000, 'replay after reload');
  } finally {
    assert.equal(await closeLauncher(run, session), 0);
  }
});

launcherTest('a browser failure, a vanished driver or no browser at all ask the runtime question and close', async () => {
  const question = (code) => `messagebox|${0x10 | 0x4}|${oneLine(fill(texts.kWebViewFailedText, code))}`;

  let { run, session } = await startWithPage();
  await session.processFailed(0);
  assert.equal(await within(run.exited, 15000, 'exit after browser failure'), 0);
  assert.deepEqual(run.lines(), [question('0x80004005')]);

  ({ run, session } = await startWithPage());
  session.disconnect();
  assert.equal(await within(run.exited, 15000, 'exit after the driver went away'), 0);
  assert.deepEqual(run.lines(), [question('0x80004005')]);

  run = launch({ address: '127.0.0.1:1' });
  assert.equal(await within(run.exited, 20000, 'exit without a browser'), 0);
  assert.deepEqual(run.lines(), [question('0x80004005')]);
});

launcherTest('without a runtime the launcher offers the setup, whose failure offers the download page', async () => {
  let run = launch({ runtime: false, answers: ['no'] });
  assert.equal(await within(run.exited, 20000, 'exit after no'), 0);
  assert.deepEqual(run.lines(), [`messagebox|${0x20 | 0x4}|${oneLine(texts.kRuntimeQuestionText)}`]);

  // Yes: the setup window installs (the test installer does not provide a
  // runtime), then the download page is offered and opened.
  run = launch({ runtime: false, answers: ['yes', 'yes'] });
  assert.equal(await within(run.exited, 90000, 'exit after the setup'), 0);
  const lines = run.lines();
  assert.equal(lines.length, 3, JSON.stringify(lines));
  assert.equal(lines[1], `messagebox|20|${oneLine(texts.kRuntimeFailedText)}`);
  assert.equal(lines[2], 'open|https://localhost:18444/webview2/');
});

launcherTest('a second launcher restores the first one\'s window and exits', async () => {
  const { run, session } = await startWithPage();
  try {
    await session.postString(pageAddress, 'min');
    await settle(500);
    assert.equal((await session.windowState()).iconic, true);
    const second = launch();
    assert.equal(await within(second.exited, 30000, 'second instance exit'), 0);
    assert.equal(driver.sessions.filter((s) => s !== session && !s.closed && s.hello?.pid).length, 0);
    const state = await session.windowState();
    assert.deepEqual([state.exists, state.iconic], [true, false]);
  } finally {
    assert.equal(await closeLauncher(run, session), 0);
  }
});

// Anyone can make a mutex of the launcher's name before it starts; only one
// a launcher made (owned by Administrators) makes it wait and give way.
launcherTest('a mutex of the launcher\'s name that another program made first does not keep it from starting', async () => {
  const helper = path.join(build, 'tests/system/system_helper.exe');
  const holder = spawn(wine, [helper, '--hold-foreign-mutex', 'Local\\NorvaneLauncher', '60000'],
    { stdio: ['ignore', 'pipe', 'ignore'] });
  let output = '';
  holder.stdout.on('data', (chunk) => { output += chunk; });
  try {
    await until(() => output.includes('held'), 'the foreign mutex', 20000);
    const { run, session } = await startWithPage();
    assert.equal(await closeLauncher(run, session), 0);
  } finally {
    holder.kill();
  }
});

launcherTest('the uninstall switch in any letter case runs the uninstall flow without a window', async () => {
  for (const flag of ['--uninstall', '--UnInstall']) {
    const sessions = driver.sessions.length;
    const run = launch({ args: [flag], answers: ['ok'] });
    // Nothing is registered here: the flow says so and removes nothing,
    // whatever folder the launcher runs from.
    assert.equal(await within(run.exited, 20000, 'uninstall exit'), 1);
    const lines = run.lines();
    assert.equal(lines.length, 1, JSON.stringify(lines));
    assert.match(lines[0].replace(/^messagebox\|\d+\|/, ''), matching(oneLine(texts.kNotInstalledText), '.*'));
    assert.equal(driver.sessions.length, sessions, 'no web view was created');
  }
});

launcherTest('closing the idle window asks nothing and ends the launcher', async (t) => {
  for (let cycle = 0; cycle < closeCycles; cycle++) {
    const { run, session } = await startWithPage();
    await waitForStartupCheck(session);
    await session.closeWindow();
    assert.equal(await within(run.exited, 15000, 'exit after WM_CLOSE'), 0);
    assert.deepEqual(run.lines(), []);
  }
  if (closeCycles > 1) t.diagnostic(`${closeCycles} start-and-close cycles, ${wineSignalDeaths.length} ended by a signal`);
});

launcherTest('the devtools switch in any letter case keeps menus, devtools and browser keys on', async () => {
  const { run, session } = await startWithPage({ args: ['--DevTools'] });
  try {
    const setting = (name) => session.calls.filter((c) => c.m === 'setting' && c.name === name).map((c) => c.value);
    assert.deepEqual(setting('AreDevToolsEnabled'), [true]);
    assert.deepEqual(setting('AreDefaultContextMenusEnabled'), [true]);
    assert.deepEqual(setting('AreBrowserAcceleratorKeysEnabled'), [], 'browser keys keep their default');
    assert.deepEqual(setting('IsStatusBarEnabled'), [false]);
  } finally {
    assert.equal(await closeLauncher(run, session), 0);
  }
});
