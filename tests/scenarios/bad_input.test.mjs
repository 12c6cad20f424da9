// What the world does to an install: the download server goes away in the
// middle and comes back, the disk is too small, the content changes between
// two starts. Each ends in the page's message and, once the world is fine
// again, in a complete game with nothing lost.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {
  LAUNCHER_KEY, Launcher, VERSIONS, assertGameMatches, bigRanges, defaultGame, filesIn, freshMachine,
  killLeftovers, nginxMirror, ownServer, partSize, proposeFolder, publishVersion, readKey, readManifest,
  scenarioFile, slowMirror, useMirror, work,
} from './scenario_support.mjs';
import { wineFolder } from '../../tools/webview2-standin/driver.mjs';
import { matching, texts } from '../support/player_texts.mjs';

scenarioFile();

// Writes zeros to file until the disk has no room left.
function fillUp(file) {
  const descriptor = fs.openSync(file, 'w');
  try {
    for (const block of [Buffer.alloc(1 << 20), Buffer.alloc(4096)]) {
      try {
        for (;;) fs.writeSync(descriptor, block);
      } catch (error) {
        if (error.code !== 'ENOSPC') throw error;
      }
    }
  } finally {
    fs.closeSync(descriptor);
  }
}

test('the download server disappears mid-install and comes back', async () => {
  await freshMachine();
  let server = await ownServer();
  const { port } = server;
  useMirror(server.mirror('outage', 6));
  const launcher = await Launcher.start();
  await launcher.clickInstall();
  await launcher.waitInsideBig();
  await server.kill();
  await launcher.waitForToast(texts.kDownloadFailedText, { error: true });
  const stopped = await launcher.settled('installing');
  assert.equal(stopped.paused, 1, 'the install can be resumed');
  assert.equal(await launcher.text('#big'), 'RESUME');
  const steps = launcher.messages('steps').at(-1).items;
  const gameFiles = texts.kGameFilesStepName;
  assert.deepEqual(steps.find((s) => s.name === gameFiles), { name: gameFiles, state: 'fail' });
  await launcher.screenshot('server-gone');
  const left = partSize();
  assert.ok(left > 0, 'what arrived is kept');

  server = await ownServer(port);
  try {
    await launcher.page.click('#big');  // RESUME
    await launcher.waitForToast(texts.kInstalledText);
    await launcher.settled('ready');
    const ranges = await bigRanges('outage', port);
    assert.deepEqual(ranges, [`bytes=${left}-`], 'the server back, the download went on from where it was');
  } finally {
    await server.kill();
  }
  assertGameMatches(defaultGame, { hd: false });
  assert.equal((await readKey(LAUNCHER_KEY)).Installed, '1');
  assert.equal(await launcher.close(), 0);
});

test('a disk too small for the download, then one that fills up during it', async (t) => {
  const disk = path.join(work, 'small-disk');
  fs.mkdirSync(disk, { recursive: true });
  try {
    execFileSync('mount', ['-t', 'tmpfs', '-o', 'size=40m', 'tmpfs', disk], { stdio: 'ignore' });
  } catch {
    t.skip('no small filesystem here (mount -t tmpfs needs root)');
    return;
  }
  try {
    await freshMachine();
    const folder = path.join(disk, 'Norvane');
    await proposeFolder(folder);
    useMirror(slowMirror('disk-fills', 6));
    // Wine shows the tmpfs mount as a link owned by its one user and cannot
    // name its volume; Windows knows a volume mount point for what it is.
    const launcher = await Launcher.start({ env: { NORVANE_TEST_LINK_OWNER: 'S-1-5-32-544' } });
    const offer = await launcher.settled('install');
    assert.equal(offer.dir, wineFolder(folder));
    assert.ok(offer.freeBytes > 30 * 1048576 && offer.freeBytes <= 40 * 1048576, `the small disk's free space ${offer.freeBytes}`);
    await launcher.clickInstall();
    // The download would leave less than its safety margin free.
    const needed = readManifest('client').entries.reduce((sum, e) => sum + e.size, 0);
    const text = matching(texts.kNotEnoughDiskSpaceText, `${Math.round(needed / 1048576)} MB`, '(39|40) MB');
    await launcher.waitForToast(text, { error: true });
    assert.equal((await launcher.settled('installing')).paused, 1);
    await launcher.screenshot('disk-too-small');
    assert.deepEqual(filesIn(folder), ['launcher_state.txt'], 'nothing was downloaded');

    // Room enough at the start; another program takes the rest during the
    // download.
    execFileSync('mount', ['-o', 'remount,size=90m', disk]);
    await launcher.page.click('#big');  // RESUME
    await launcher.waitInsideBig();
    fillUp(path.join(disk, 'filler'));
    await launcher.waitForToast(texts.kDownloadFailedText, { error: true });
    assert.equal((await launcher.settled('installing')).paused, 1);
    const left = partSize(folder);
    assert.ok(left > 0, 'what arrived is kept');

    fs.rmSync(path.join(disk, 'filler'));
    await launcher.page.click('#big');  // RESUME
    await launcher.waitForToast(texts.kInstalledText);
    await launcher.settled('ready');
    const ranges = await bigRanges('disk-fills');
    assert.deepEqual(ranges, ['', `bytes=${left}-`], 'the download went on from where the disk was full');
    assertGameMatches(folder, { hd: false });
    const registered = await readKey(LAUNCHER_KEY);
    assert.deepEqual([registered.InstallDir, registered.Installed], [wineFolder(folder), '1']);
    assert.equal(await launcher.close(), 0);
  } finally {
    await killLeftovers();
    await freshMachine();
    try {
      execFileSync('umount', [disk]);
    } catch {
      execFileSync('umount', ['-l', disk]);  // still held by a process that is going away
    }
  }
});

test('the content changes between two starts while an update lies half downloaded', async () => {
  await freshMachine();
  useMirror(nginxMirror);
  let launcher = await Launcher.start();
  await launcher.clickInstall();
  await launcher.waitForToast(texts.kInstalledText);
  assert.equal(await launcher.close(), 0);

  await publishVersion(2);
  useMirror(slowMirror('content-changes', 6));
  launcher = await Launcher.start();
  await launcher.waitInsideBig();
  await launcher.waitForScreen('updating');
  assert.equal(await launcher.close({ confirm: true }), 0);
  const left = partSize();
  assert.ok(left > 0);

  // The partial file is the old version's; the server now has another.
  await publishVersion(3);
  launcher = await Launcher.start();
  const ready = await launcher.settled('ready');
  assert.equal(ready.version, VERSIONS[3]);
  const ranges = await bigRanges('content-changes');
  // The resumed bytes fail the hash, the file comes again from its start.
  assert.deepEqual(ranges, [`bytes=${left}-`, '']);
  assertGameMatches(defaultGame, { hd: false });
  assert.equal(await launcher.close(), 0);
});
