// A player's life with the game, start to end, one launcher start after the
// other on the same machine: install, an update at start, a repair, the HD
// pack on and off, uninstall from the page; then an install with the HD pack
// and uninstall through the Windows entry (--uninstall).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  Launcher, LAUNCHER_KEY, UNINSTALL_KEY, VERSIONS, assertGameMatches, defaultGame, filesIn, freshMachine,
  launcherExe, nginxMirror, publishVersion, readKey, readManifest, scenarioFile, sha256, shortcutsPresent,
  slowMirror, until, useMirror,
} from './scenario_support.mjs';
import { fill, oneLine, texts } from '../support/player_texts.mjs';

scenarioFile();

const shown = (version) => `${version.slice(0, 4)}.${version.slice(4, 6)}.${version.slice(6, 8)}`;

async function assertRegistered({ hd }) {
  assert.deepEqual(await readKey(LAUNCHER_KEY),
    { InstallDir: 'C:\\Games\\Norvane', Hd: hd ? '1' : '0', Shortcut: '1', Installed: '1' });
  assert.notEqual(await readKey(UNINSTALL_KEY), null, 'the Windows uninstall entry');
}

test('a fresh install without the HD pack', async () => {
  const launcher = await Launcher.start();
  const offer = await launcher.settled('install');
  const client = readManifest('client');
  const clientTotal = client.entries.reduce((sum, e) => sum + e.size, 0);
  assert.equal(offer.dir, 'C:\\Games\\Norvane');
  assert.deepEqual([offer.version, offer.clientBytes, offer.needBytes, offer.hd], [VERSIONS[1], clientTotal, clientTotal, 0]);
  assert.ok(offer.freeBytes > 0, 'the free space of the proposed folder');
  assert.equal(await readKey(LAUNCHER_KEY), null, 'nothing registered before INSTALL');

  await launcher.clickInstall();
  await launcher.waitForToast(texts.kInstalledText);
  await launcher.settled('ready');
  assert.match(await launcher.text('#bar'), new RegExp(`Game is up to date · Version ${shown(VERSIONS[1])}`));
  assert.match(await launcher.text('#bar'), /Installed in C:\\Games\\Norvane/);
  const steps = launcher.messages('steps').at(-1).items;
  assert.deepEqual(steps.slice(-2),
    [{ name: texts.kGameFilesStepName, state: 'done' }, { name: texts.kShortcutsStepName, state: 'done' }]);
  await launcher.screenshot('install-ready');

  assertGameMatches(defaultGame, { hd: false });
  await assertRegistered({ hd: false });
  assert.equal(sha256(path.join(defaultGame, 'Norvane-Launcher.exe')), sha256(launcherExe), 'the launcher copy');
  assert.deepEqual(shortcutsPresent(), { desktop: true, programs: true });
  assert.equal(await launcher.close(), 0);
});

test('an update of two changed files at start', async () => {
  await publishVersion(2);
  // Slow enough that the page, loaded after the start, sees the update run.
  useMirror(slowMirror('update-at-start', 4));
  const launcher = await Launcher.start();
  await launcher.waitForScreen('updating');
  await launcher.screenshot('update-at-start');
  const ready = await launcher.settled('ready');
  assert.equal(ready.version, VERSIONS[2]);
  const updating = launcher.messages('state').find((m) => m.state === 'updating');
  const changed = ['data/a.dat', 'video/intro.bik'];
  const sizes = readManifest('client').entries.filter((e) => changed.includes(e.path)).map((e) => e.size);
  assert.equal(updating?.needBytes, sizes[0] + sizes[1], 'the update needs exactly the two changed files');
  const rows = launcher.messages('filelist').at(-1).items;
  assert.deepEqual(rows.map((r) => [r.path, r.state]), changed.map((p) => [p, 'done']));
  assert.match(await launcher.text('#bar'), new RegExp(`Game is up to date · Version ${shown(VERSIONS[2])}`));
  assertGameMatches(defaultGame, { hd: false });
  await assertRegistered({ hd: false });
  assert.equal(await launcher.close(), 0);
  useMirror(nginxMirror);
});

test('a repair after one file was deleted and one altered', async () => {
  const launcher = await Launcher.start();
  await launcher.settled('ready');
  // After the start-up check, which would mend both itself.
  fs.rmSync(path.join(defaultGame, 'data/map.rsw'));
  fs.writeFileSync(path.join(defaultGame, 'data/a.dat'), 'altered');
  await launcher.page.click('#sbRepair');
  await launcher.waitForToast(fill(texts.kRepairFixedText, 2));
  await launcher.settled('ready');
  // The last counters leave with the job's end, after its toast and screen.
  const lastCounters = () => launcher.messages('repair').at(-1);
  const counters = await until(() => lastCounters()?.fixed === 2 && lastCounters(), 'the final repair counters');
  const files = readManifest('client').entries.length;
  assert.deepEqual(counters, { t: 'repair', checked: files, broken: 1, missing: 1, fixed: 2 });
  assert.ok(launcher.messages('state').some((m) => m.state === 'repair'), 'the repair screen was shown');
  assertGameMatches(defaultGame, { hd: false });
  assert.equal(await launcher.close(), 0);
});

test('the HD pack on, then off', async () => {
  const launcher = await Launcher.start();
  await launcher.settled('ready');
  await launcher.page.click('#btnSettings');
  await launcher.page.click('#setHd');
  await launcher.waitForToast(texts.kHdInstalledText);
  await launcher.settled('ready');
  assertGameMatches(defaultGame, { hd: true });
  await assertRegistered({ hd: true });
  assert.equal(fs.existsSync(path.join(defaultGame, 'DATA.INI.full')), false, 'the shipped list is in place');
  assert.match(await launcher.text('#bar'), /4K HD pack: on/);

  await launcher.page.click('#setHd');  // the settings stay open
  await launcher.page.waitForSelector('#dialog:not([hidden])');
  assert.equal(await launcher.text('#dlgTitle'), 'REMOVE THE HD PACK?');
  await launcher.page.click('#dlgOk');
  await launcher.waitForToast(texts.kHdRemovedText);
  await launcher.settled('ready');
  assertGameMatches(defaultGame, { hd: false });
  await assertRegistered({ hd: false });
  assert.ok(fs.existsSync(path.join(defaultGame, 'DATA.INI.full')), 'the shipped list is kept aside');
  assert.match(await launcher.text('#bar'), /4K HD pack: off/);
  await launcher.screenshot('hd-off-ready');
  assert.equal(await launcher.close(), 0);
});

test('uninstall from the page keeps the screenshots and nothing else of the game', async () => {
  fs.mkdirSync(path.join(defaultGame, 'screenshot'), { recursive: true });
  fs.writeFileSync(path.join(defaultGame, 'screenshot/shot1.jpg'), 'a picture');
  const launcher = await Launcher.start();
  await launcher.settled('ready');
  await launcher.page.click('#btnSettings');
  await launcher.page.click('#setUninstall');
  await launcher.page.waitForSelector('#dialog:not([hidden])');
  assert.equal(await launcher.text('#dlgTitle'), 'UNINSTALL NORVANE?');
  assert.match(await launcher.text('#dlgText'), /C:\\Games\\Norvane/);
  await launcher.page.click('#dlgOk');
  assert.equal(await launcher.ended(), 0, 'the launcher closes after the result');
  assert.deepEqual(launcher.lines(), [`messagebox|${0x40}|${oneLine(texts.kRemovedText)}`]);
  // The unrecorded shipped list stays with the screenshots.
  assert.deepEqual(filesIn(defaultGame), ['DATA.INI.full', 'screenshot/shot1.jpg']);
  assert.equal(await readKey(LAUNCHER_KEY), null);
  assert.equal(await readKey(UNINSTALL_KEY), null);
  assert.deepEqual(shortcutsPresent(), { desktop: false, programs: false });
});

test('a fresh install with the HD pack, removed through the Windows entry (--uninstall)', async () => {
  await freshMachine();
  const launcher = await Launcher.start();
  await launcher.clickInstall({ hd: true });
  await launcher.waitForToast(texts.kInstalledText);
  const ready = await launcher.settled('ready');
  assert.equal(ready.hd, 1);
  assertGameMatches(defaultGame, { hd: true });
  await assertRegistered({ hd: true });
  assert.equal(await launcher.close(), 0);

  // What the uninstall entry runs: the launcher copy in the game folder.
  const copy = path.join(defaultGame, 'Norvane-Launcher.exe');
  const uninstaller = await Launcher.start({ exe: copy, args: ['--uninstall'], answers: ['yes'], session: false });
  assert.equal(await uninstaller.ended(), 0);
  assert.deepEqual(uninstaller.lines(), [
    `messagebox|${0x4 | 0x30 | 0x100}|${oneLine(fill(texts.kUninstallConfirmText, 'C:\\Games\\Norvane'))}`,
    `messagebox|${0x40}|${oneLine(texts.kRemovedText)}`,
  ]);
  assert.equal(await readKey(LAUNCHER_KEY), null);
  assert.equal(await readKey(UNINSTALL_KEY), null);
  assert.deepEqual(shortcutsPresent(), { desktop: false, programs: false });
  // The copy removes itself and the emptied folder once it has exited.
  await until(() => !fs.existsSync(defaultGame), 'the game folder to go', 20000);
});
