// Stopping and going on: pause, resume and cancel during an install, an
// update and a repair, and closing the launcher during a download. The
// downloads come from the fault server's slow tree, so each action lands
// inside the large file; its request log shows where every download resumed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  BIG, LAUNCHER_KEY, Launcher, VERSIONS, assertGameMatches, bigRanges, defaultGame, freshMachine, partSize,
  publishVersion, readKey, scenarioFile, slowMirror, useMirror,
} from './scenario_support.mjs';
import { fill, texts } from '../support/player_texts.mjs';

// What the page sends for a control the current screen has no button for.
const post = (launcher, command) => launcher.page.evaluate((c) => window.chrome.webview.postMessage(c), command);

scenarioFile();

test('install: pause, resume, cancel, and INSTALL again continues the partial file', async () => {
  await freshMachine();
  useMirror(slowMirror('install-controls', 6));
  const launcher = await Launcher.start();
  await launcher.clickInstall();
  await launcher.waitInsideBig();
  await launcher.page.click('#big');  // PAUSE
  await launcher.waitForToast(texts.kPausedText);
  const paused = await launcher.settled('installing');
  assert.equal(paused.paused, 1);
  assert.equal(await launcher.text('#big'), 'RESUME');
  assert.match(await launcher.text('#main'), /Paused — press RESUME to continue\./);
  await launcher.screenshot('install-paused');
  const first = partSize();
  assert.ok(first > 0, 'the partial file stays');
  assert.equal((await readKey(LAUNCHER_KEY)).Installed, undefined, 'not installed yet');

  await launcher.page.click('#big');  // RESUME
  await launcher.waitInsideBig(first + 512 * 1024);
  await launcher.page.click('#cancelInstall');
  await launcher.page.waitForSelector('#dialog:not([hidden])');
  assert.equal(await launcher.text('#dlgTitle'), 'CANCEL INSTALLATION?');
  await launcher.page.click('#dlgOk');
  const back = await launcher.settled('install');
  assert.equal(back.needBytes, back.clientBytes, 'the install screen needs the whole client again');
  const second = partSize();
  assert.ok(second > first, `the partial file grew on (${first} -> ${second})`);
  assert.equal((await readKey(LAUNCHER_KEY)).InstallDir, 'C:\\Games\\Norvane');

  await launcher.clickInstall();
  await launcher.waitForToast(texts.kInstalledText);
  await launcher.settled('ready');
  assert.deepEqual(await bigRanges('install-controls'), ['', `bytes=${first}-`, `bytes=${second}-`]);
  assertGameMatches(defaultGame, { hd: false });
  assert.equal((await readKey(LAUNCHER_KEY)).Installed, '1');
  assert.equal(await launcher.close(), 0);
});

test('closing during the install download: the next start resumes the partial file', async () => {
  await freshMachine();
  useMirror(slowMirror('install-close', 6));
  let launcher = await Launcher.start();
  await launcher.clickInstall();
  await launcher.waitInsideBig();
  assert.equal(await launcher.close({ confirm: true }), 0);
  const left = partSize();
  assert.ok(left > 0, 'the partial file stays');
  assert.equal(fs.existsSync(path.join(defaultGame, BIG)), false);
  const registered = await readKey(LAUNCHER_KEY);
  assert.deepEqual([registered.InstallDir, registered.Installed], ['C:\\Games\\Norvane', undefined]);

  launcher = await Launcher.start();
  const offer = await launcher.settled('install');
  assert.equal(offer.dir, 'C:\\Games\\Norvane', 'the chosen folder is proposed again');
  await launcher.clickInstall();
  await launcher.waitForToast(texts.kInstalledText);
  await launcher.settled('ready');
  assert.deepEqual(await bigRanges('install-close'), ['', `bytes=${left}-`], 'the download went on from where it was');
  assertGameMatches(defaultGame, { hd: false });
  assert.equal(await launcher.close(), 0);
});

test('update: pause and cancel leave it paused, RESUME finishes it', async () => {
  await publishVersion(2);
  useMirror(slowMirror('update-controls', 6));
  const launcher = await Launcher.start();
  await launcher.waitInsideBig();
  await launcher.waitForScreen('updating');
  // The updating screen offers no pause or cancel; the bridge takes both.
  await post(launcher, 'pause');
  await launcher.waitForToast(texts.kPausedText);
  assert.equal((await launcher.settled('updating')).paused, 1);
  assert.equal(await launcher.text('#big'), 'RESUME');
  const first = partSize();
  assert.ok(first > 0);

  await launcher.page.click('#big');  // RESUME
  await launcher.waitInsideBig(first + 512 * 1024);
  const toasts = (await launcher.toasts()).length;
  await post(launcher, 'cancel');
  // A cancelled update waits on the paused screen, without a toast.
  await launcher.page.waitForFunction(() => document.getElementById('big').textContent === 'RESUME');
  assert.equal((await launcher.settled('updating')).paused, 1);
  assert.equal((await launcher.toasts()).length, toasts);
  const second = partSize();
  assert.ok(second > first);

  await launcher.page.click('#big');  // RESUME
  const ready = await launcher.settled('ready');
  assert.equal(ready.version, VERSIONS[2]);
  assert.deepEqual(await bigRanges('update-controls'), ['', `bytes=${first}-`, `bytes=${second}-`]);
  assertGameMatches(defaultGame, { hd: false });
  assert.equal(await launcher.close(), 0);
});

test('repair: pause, resume, cancel, and a second repair fixes the file', async () => {
  useMirror(slowMirror('repair-controls', 6));
  const launcher = await Launcher.start();
  await launcher.settled('ready');
  // Damaged after the start-up check, which would mend it itself.
  const big = path.join(defaultGame, BIG);
  const damaged = Buffer.alloc(fs.statSync(big).size, 0x55);
  fs.writeFileSync(big, damaged);
  await launcher.page.click('#sbRepair');
  await launcher.waitInsideBig();
  await post(launcher, 'pause');  // the repair screen has CANCEL only
  await launcher.waitForToast(texts.kPausedText);
  assert.equal((await launcher.settled('repair')).paused, 1);
  assert.equal(await launcher.text('#bigLink'), 'Cancel repair');
  const first = partSize();

  await launcher.page.click('#big');  // RESUME
  await launcher.waitInsideBig(first + 512 * 1024);
  await launcher.page.click('#big');  // CANCEL
  await launcher.waitForToast(texts.kRepairStoppedText);
  await launcher.settled('ready');
  assert.ok(fs.readFileSync(big).equals(damaged), 'a stopped repair leaves the file as it was');
  const second = partSize();
  assert.ok(second > first);

  await launcher.page.click('#sbRepair');
  await launcher.waitForToast(fill(texts.kRepairFixedText, 1));
  await launcher.settled('ready');
  assert.deepEqual(await bigRanges('repair-controls'), ['', `bytes=${first}-`, `bytes=${second}-`]);
  assertGameMatches(defaultGame, { hd: false });
  assert.equal(await launcher.close(), 0);
});
