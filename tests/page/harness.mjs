// Shared set-up for the page tests and the benchmark: Debian's Chromium,
// headless, a fresh profile, and a stand-in for window.chrome.webview.
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

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
