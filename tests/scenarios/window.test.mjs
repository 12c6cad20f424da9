// The launcher window among other programs: a second launcher, a message
// from a frame of another origin, and a renderer that dies. None of them may
// change the game or the registry.
import { test, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import {
  LAUNCHER_KEY, Launcher, assertGameMatches, defaultGame, filesIn, readKey, scenarioFile, sessionCount, sha256,
  sleep, until,
} from './scenario_support.mjs';
import path from 'node:path';
import { texts } from '../support/player_texts.mjs';

let launcher;
let registry;
let snapshot;

// Every file of the game folder with its hash.
const gameSnapshot = () => filesIn(defaultGame).map((f) => `${f} ${sha256(path.join(defaultGame, f))}`);

scenarioFile({ setup: async () => {
  launcher = await Launcher.start();
  launcher.keep = true;  // one launcher for every test of this file
  await launcher.clickInstall();
  await launcher.waitForToast(texts.kInstalledText);
  await launcher.settled('ready');
  registry = await readKey(LAUNCHER_KEY);
  snapshot = gameSnapshot();
}, teardown: async () => {
  assert.equal(await launcher.close(), 0);
} });
afterEach(async () => {
  assert.deepEqual(await readKey(LAUNCHER_KEY), registry, 'the registry is unchanged');
  assert.deepEqual(gameSnapshot(), snapshot, 'the game folder is unchanged');
});

test('a second launcher brings the first one forward and exits', async () => {
  await launcher.page.click('#btnMin');
  await until(async () => (await launcher.session.windowState()).iconic, 'the window minimised', 5000);
  const sessions = sessionCount();
  const second = await Launcher.start({ session: false });
  assert.equal(await second.ended(30000), 0);
  assert.equal(sessionCount(), sessions, 'the second launcher made no web view');
  const window = await launcher.session.windowState();
  assert.deepEqual([window.exists, window.iconic, window.title], [true, false, 'Norvane']);
  assert.equal(await launcher.view.screen(), 'ready');
  assert.deepEqual(second.lines(), [], 'no message box');
});

test('commands from a frame of another origin are ignored', async () => {
  // Every post reaches the host with the address of the frame that sent it.
  const sources = [];
  const postString = launcher.session.postString.bind(launcher.session);
  launcher.session.postString = (source, text) => { sources.push([source, text]); return postString(source, text); };
  const states = launcher.messages('state').length;
  await launcher.page.evaluate(() => {
    const frame = document.createElement('iframe');
    frame.srcdoc = '<script>for (const c of ["uninstall", "repair", "hd|1"]) window.chrome.webview.postMessage(c);</script>';
    document.body.appendChild(frame);
  });
  await until(() => sources.length >= 3, 'the frame\'s posts', 30000);
  assert.deepEqual(sources.map(([source, text]) => [source, text]),
    [['about:srcdoc', 'uninstall'], ['about:srcdoc', 'repair'], ['about:srcdoc', 'hd|1']]);
  await sleep(3000);
  assert.equal(launcher.messages('state').length, states, 'no job started');
  assert.equal(await launcher.view.screen(), 'ready');
  assert.deepEqual(launcher.lines(), [], 'no message box');

  // The same command from the page itself is carried out.
  await launcher.page.evaluate(() => window.chrome.webview.postMessage('repair'));
  await launcher.waitForToast(texts.kRepairAllFineText);
  await launcher.settled('ready');
  assert.equal(sources.at(-1)[0], 'https://launcher.norvane.local/launcher.html');
  assertGameMatches(defaultGame, { hd: false });
});

test('a renderer failure reloads the page on the same screen', async () => {
  // The progress of the last job is not part of the replay: its file count.
  const facts = async () => (await launcher.text('#bar')).replace(/✓ \d+ files?/, '');
  const bar = await facts();
  const crashed = launcher.page;
  await launcher.view.crashRenderer();
  await until(() => launcher.view.page !== crashed, 'a new tab', 15000);
  await launcher.waitForScreen('ready', 20000);
  await until(async () => (await facts()) === bar, 'the same bottom bar', 15000);
  assert.equal(launcher.view.crashes, 1);
  assert.ok(launcher.session.calls.some((c) => c.m === 'Reload'), 'the host reloaded the page');
  await launcher.screenshot('after-renderer-failure');
});
