// Shared set-up for the page tests and the benchmark: Debian's Chromium,
// headless, a fresh profile, and a stand-in for window.chrome.webview; for the
// tests (one file per group, *.test.mjs), the messages the native side sends
// and what they read back from the page.
import { chromium } from 'playwright-core';
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync } from 'node:fs';
import { after, before } from 'node:test';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { fill, texts } from '../support/player_texts.mjs';

const here = dirname(fileURLToPath(import.meta.url));
export const repoRoot = resolve(here, '../..');
// NV_PAGE_DIR points the tests at another copy of the page (with its images),
// for example an older one, to see which tests it fails.
export const resourcesDir = resolve(process.env.NV_PAGE_DIR || join(repoRoot, 'resources'));
export const pageUrl = pathToFileURL(join(resourcesDir, 'launcher.html')).href;
export const outputDir = join(repoRoot, 'build', 'page-test-output');

const CHROMIUM = process.env.NV_CHROMIUM || '/usr/bin/chromium';
const FLAGS = [
  '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--no-first-run', '--disable-quic', '--font-render-hinting=none',
];

export async function startBrowser() {
  const profile = mkdtempSync(join(tmpdir(), 'nv-page-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM, headless: true, args: FLAGS, viewport: { width: 960, height: 600 },
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Runs in the page before its own script: records every posted command and
// lets the test deliver messages the way WebView2 does (event.data).
function installTestBridge() {
  const listeners = [];
  window.__sent = [];
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage(m) { window.__sent.push(m); },
    addEventListener(type, fn) { if (type === 'message') listeners.push(fn); },
    removeEventListener() {},
  };
  window.__deliver = (data) => { for (const fn of listeners) fn({ data }); };
}

// Opens the page. With bridge: false it runs as in an ordinary browser
// (preview mode). clock: true installs Playwright's fake clock first.
export async function openPage(browser, { bridge = true, hash = '', width = 960, height = 600, clock = false } = {}) {
  const page = await browser.context.newPage();
  await page.setViewportSize({ width, height });
  const errors = [];
  const requests = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') errors.push(m.type() + ': ' + m.text()); });
  page.on('request', (r) => requests.push(r.url()));
  page.on('dialog', (d) => { errors.push('dialog: ' + d.message()); d.dismiss().catch(() => {}); });
  if (clock) {
    // Time stands still until the test moves it with runFor.
    await page.clock.install({ time: new Date('2026-12-08T10:00:00Z') });
    await page.clock.pauseAt(new Date('2026-12-08T10:00:01Z'));
  }
  if (bridge) await page.addInitScript(installTestBridge);
  await page.goto(pageUrl + hash);
  const api = {
    page, errors, requests,
    async send(...msgs) { for (const m of msgs) await page.evaluate((d) => window.__deliver(d), m); },
    async sent() { return page.evaluate(() => window.__sent.slice()); },
    async clearSent() { await page.evaluate(() => { window.__sent.length = 0; }); },
    text: (sel) => page.locator(sel).innerText(),
    async close() { await page.close(); },
  };
  return api;
}

// --- The page tests ------------------------------------------------------------

export const GB = 1073741824;
export const MB = 1048576;
let browser;

// Each test file starts a Chromium of its own before its first test and
// closes it after its last.
export function useBrowser() {
  before(async () => { browser = await startBrowser(); });
  after(async () => { await browser.close(); });
}

export function state(extra = {}) {
  return {
    t: 'state', state: 'ready', version: '20261105021000', dir: 'C:\\Games\\Norvane', hd: 0, needBytes: 0,
    freeBytes: 100 * GB, hdBytes: 9 * GB, clientBytes: 17 * GB, launcherVersion: '1.0.0', ...extra,
  };
}
export function progress(extra = {}) {
  return {
    t: 'progress', phase: 'files', file: 'data/maps/a.pak', fileDone: 0, fileTotal: 0, done: 0, total: 0,
    filesDone: 0, filesTotal: 0, speed: 0, eta: -1, ...extra,
  };
}
export function rows(n, stateOf = () => 'wait') {
  return Array.from({ length: n }, (_, i) => ({ path: `data/f${i}.pak`, size: 10 * MB, done: 0, state: stateOf(i) }));
}

// Opens a page, runs the body, then checks that nothing went to the console
// and that the page asked for nothing outside its own folder.
export async function withPage(opts, body) {
  if (typeof opts === 'function') { body = opts; opts = {}; }
  const p = await openPage(browser, opts);
  try {
    await body(p);
    assert.deepEqual(p.errors, [], 'console errors');
    const base = 'file://' + resourcesDir + '/';
    for (const url of p.requests) assert.ok(url.startsWith(base), 'request outside the page folder: ' + url);
  } finally {
    await p.close();
  }
}
export const bodyClass = (p) => p.page.evaluate(() => [...document.body.classList].find((c) => c.startsWith('s-')));
export const bigText = (p) => p.page.locator('#big').innerText();
export const bigDisabled = (p) => p.page.locator('#big').isDisabled();
export const statusText = (p) => p.page.locator('#status').innerText();
export const flat = (s) => s.replace(/\s+/g, ' ').trim();
// "left | right" for the title line and the status line under the bar
export const lines = (p) => p.page.evaluate(() => ['.pl-top', '.pl-bot'].map((sel) => {
  const row = document.querySelector('#status ' + sel);
  return row.querySelector('.l').textContent + ' | ' + row.querySelector('.r').textContent;
}));

// The page as a player drives it: presses that span a message, the real
// runtime names, long error texts and paths, toasts, the keyboard.
export const RUNTIMES = [texts.kVcRedistName, texts.kDirectXName, texts.kWebView2Name];
export const LONG_DIR = 'C:\\Users\\Player\\AppData\\Local\\Programs\\' + 'Games Library\\'.repeat(10) + 'Norvane Online Game';
export const FOLDER_ERROR = fill(texts.kFolderNotWritableText, LONG_DIR);
export const TAGS = ['maintenance', 'event', 'new', 'economy', 'fix', 'update', 'events', 'fixed', 'patch', ''];
export const NEWS = {
  t: 'news', headline: { label: 'SEASON', title: 'Frost', text: 'A raid.', link: 'https://www.norvane.com/news/frost' },
  news: TAGS.map((tag, i) => ({ tag, title: 'Item ' + i + ' with a title long enough to be cut in the column', text: 'Text ' + i + '.\nMore.', date: i + ' Dec' })),
};
// Messages that fill each screen the way the native side does.
export const SCREENS = {
  ready: [state(), progress({ phase: 'check', filesDone: 2431, filesTotal: 2431, done: 5, total: 5 })],
  error: [state(), state({ state: 'error' }), { t: 'error', text: FOLDER_ERROR }],
  install: [state({ state: 'install', dir: LONG_DIR })],
  installing: [state({ state: 'installing' }), { t: 'steps', items: [{ name: RUNTIMES[0], state: 'done' }, { name: texts.kGameFilesStepName, state: 'now' }, { name: texts.kShortcutsStepName, state: 'wait' }] },
    progress({ done: 2 * GB, total: 8 * GB, filesDone: 10, filesTotal: 40, speed: 4 * MB, eta: 90 })],
  updating: [state({ state: 'updating' }), { t: 'filelist', items: rows(36, (i) => (i < 5 ? 'done' : i === 5 ? 'now' : 'wait')) },
    progress({ done: 60 * MB, total: 360 * MB, filesDone: 5, filesTotal: 36, speed: 4 * MB, eta: 75 })],
  repair: [state({ state: 'repair' }), { t: 'repair', checked: 2431, broken: 3, missing: 1, fixed: 1 },
    { t: 'filelist', items: rows(4, (i) => (i === 0 ? 'done' : i === 1 ? 'now' : 'wait')) }, progress({ done: 5 * MB, total: 40 * MB, filesDone: 1, filesTotal: 4 })],
};
export const focusIn = (p, sel) => p.page.evaluate((s) => document.querySelector(s).contains(document.activeElement), sel);
