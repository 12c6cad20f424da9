// The stand-in's browser mode: the real Norvane-Launcher.exe (x86_64 test
// build) under wine64 with its page in Debian's Chromium. Run by
// scripts/suites/demo.sh inside a scripts/test session.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { StandInDriver } from '../../tools/webview2-standin/driver.mjs';
import {
  launcherExe as exe, origin, pageAddress, root, sleep as settle, startLauncher, until,
} from '../../tools/webview2-standin/launch.mjs';

let driver;
let scratch;
let launcher;

before(async () => {
  assert.ok(fs.existsSync(exe), `missing ${exe}`);
  driver = await StandInDriver.listen();
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'nv-browser-'));
  launcher = await startLauncher(driver, { log: path.join(scratch, 'launcher.log'), browser: {}, sessionMs: 30000 });
});

after(async () => {
  if (launcher) {
    await launcher.session.postString(pageAddress, 'close').catch(() => {});
    await Promise.race([launcher.exited, new Promise((r) => setTimeout(r, 15000))]);
    await launcher.view.close();
  }
  await driver.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

test('the page, its logo and its art come out of the executable through the host', async () => {
  const { view } = launcher;
  await until(async () => (await view.screen()) !== '', 'the page showing a screen', 30000);
  assert.equal(view.page.url(), pageAddress);
  await view.page.waitForFunction(() => document.getElementById('logo').complete);
  await until(() => ['logo.png', 'art.jpg'].every((n) => view.served.some((r) => r.url === origin + n)), 'the images');
  const body = (name) => view.served.find((r) => r.url === origin + name)?.body;
  assert.ok(body('launcher.html')?.equals(fs.readFileSync(path.join(root, 'resources/launcher.html'))), 'page bytes');
  assert.ok(body('logo.png')?.equals(fs.readFileSync(path.join(root, 'resources/logo.png'))), 'logo bytes');
  assert.ok(body('art.jpg')?.equals(fs.readFileSync(path.join(root, 'resources/art.jpg'))), 'art bytes');
  assert.ok(await view.page.evaluate(() => document.getElementById('logo').naturalWidth) > 0, 'the logo is shown');
  const missing = await view.page.evaluate(() => new Promise((resolve) => {
    const image = new Image();
    image.onload = () => resolve('loaded');
    image.onerror = () => resolve('failed');
    image.src = '/missing.png';
  }));
  assert.equal(missing, 'failed');
  const missingReplies = view.served.filter((r) => r.url === origin + 'missing.png').map((r) => r.status);
  assert.deepEqual(missingReplies, [404], 'the host answered 404 for a name it does not have');
  assert.deepEqual(view.errors, []);
});

test('a page message reaches the host and its answer arrives as a parsed message event', async () => {
  const { view, session } = launcher;
  const before = session.pageMessages().length;
  const received = await view.page.evaluate(() => new Promise((resolve) => {
    const got = [];
    window.chrome.webview.addEventListener('message', (e) => {
      got.push(e.data);
      if (e.data && e.data.t === 'state') resolve({ got, isEvent: e instanceof MessageEvent });
    });
    window.chrome.webview.postMessage('ready');
  }));
  assert.equal(received.isEvent, true);
  const state = received.got.find((m) => m.t === 'state');
  assert.equal(typeof state, 'object', 'data is the parsed object');
  assert.ok(session.pageMessages(before).some((m) => m.t === 'state'), 'the host posted it');
  // Many in a row keep their order both ways.
  const start = session.pageMessages().length;
  const got = await view.page.evaluate(() => new Promise((resolve) => {
    let states = 0;
    window.chrome.webview.addEventListener('message', (e) => { if (e.data.t === 'state' && ++states === 20) resolve(states); });
    for (let i = 0; i < 20; i++) window.chrome.webview.postMessage('ready');
  }));
  assert.equal(got, 20);
  assert.ok(session.pageMessages(start).filter((m) => m.t === 'state').length >= 20);
});

test('navigations away and new windows go through the host, which cancels them', async () => {
  const { view, lines } = launcher;
  await view.page.evaluate(() => { window.__stillHere = true; });
  await view.page.evaluate(() => { location.href = 'https://example.com/away'; });
  await until(() => lines().includes('open|https://example.com/away'), 'the default browser for the navigation');
  await view.page.evaluate(() => { window.open('https://example.org/popup'); });
  await until(() => lines().includes('open|https://example.org/popup'), 'the default browser for window.open');
  await settle(500);
  assert.equal(view.page.url(), pageAddress);
  assert.equal(await view.page.evaluate(() => window.__stillHere), true, 'the page and its state survive');
  await until(() => view.context.pages().length === 1, 'the opened window closed again', 3000);
  assert.deepEqual(lines(), ['open|https://example.com/away', 'open|https://example.org/popup']);
});

test('a renderer crash is a process failure; the reloaded page gets the same screen back', async () => {
  const { view, session } = launcher;
  const screen = await view.screen();
  assert.notEqual(screen, '');
  const reloads = session.calls.filter((c) => c.m === 'Reload').length;
  const crashed = view.page;
  await view.crashRenderer();
  await session.waitFor(() => session.calls.filter((c) => c.m === 'Reload').length > reloads, 15000, 'Reload');
  assert.equal(view.crashes, 1);
  const reloadAt = session.calls.findLastIndex((c) => c.m === 'Reload');
  // The new document says ready and the host replays its state to it.
  await session.waitFor(() => session.calls.slice(reloadAt).some((c) => c.m === 'PostWebMessageAsJson'
    && JSON.parse(c.json).t === 'state'), 20000, 'the replay after the reload');
  assert.notEqual(view.page, crashed, 'a new tab');
  assert.equal(view.page.url(), pageAddress);
  await view.waitForScreen(screen, 20000);
  assert.equal(await view.page.evaluate(() => window.__stillHere), undefined, 'a fresh document');
});
