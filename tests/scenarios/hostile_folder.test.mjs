// Another account turns the game folder against the elevated launcher: the
// folder a link to a decoy, the folder above it a link, top-level names links
// into the decoy. Start-up, HD off, uninstall and install run against each;
// the decoy keeps every byte. Wine reports one owner for every file, so the
// links' owner (another account) is the test build's seam.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  Launcher, UNINSTALL_KEY, defaultGame, freshMachine, readKey, scenarioFile, sha256, until, work,
} from './scenario_support.mjs';
import { fill, texts } from '../support/player_texts.mjs';

scenarioFile();

const env = { NORVANE_TEST_LINK_OWNER: 'S-1-5-21-7-7-7-1002' };
const refusal = fill(texts.kFolderForeignLinkText, 'C:\\Games\\Norvane');
const games = path.dirname(defaultGame);
const decoyRoot = path.join(work, 'decoy-root');
const decoy = path.join(decoyRoot, 'Norvane');
const swap = (real, target) => { fs.renameSync(real, `${real}.real`); fs.symlinkSync(target, real); };
const unswap = (real) => { fs.unlinkSync(real); fs.renameSync(`${real}.real`, real); };
const decoyBytes = () => Object.fromEntries(fs.readdirSync(decoy).sort().map((n) => [n, sha256(path.join(decoy, n))]));

const triggers = [
  { name: 'the game folder is a link', refused: true, plant: () => swap(defaultGame, decoy), remove: () => unswap(defaultGame) },
  { name: 'the folder above it is a link', refused: true, plant: () => swap(games, decoyRoot), remove: () => unswap(games) },
  {
    name: 'top-level names are links',
    refused: false,
    plant() {
      for (const name of ['DATA.INI', 'custom_hd1.grf', 'launcher_state.txt', '.nrv_write_test']) {
        fs.rmSync(path.join(defaultGame, name), { force: true });
        fs.symlinkSync(path.join(decoy, name), path.join(defaultGame, name));
      }
    },
    remove() {},
  },
];

const errors = async (launcher, text) => (await launcher.toasts()).filter((t) => t.text === text).length;

test('a real installation with the HD pack, and the decoy', async () => {
  fs.rmSync(decoyRoot, { recursive: true, force: true });
  fs.mkdirSync(decoy, { recursive: true });
  const state = `version|1.0\nvictim.txt|6|133500000000000000|${'a'.repeat(64)}\n`;
  for (const [name, text] of [['DATA.INI', '[data]\r\n0=custom_hd1.grf\r\n'], ['.nrv_write_test', 'theirs'],
    ['launcher_state.txt', state], ['victim.txt', 'theirs'], ['custom_hd1.grf', 'theirs']])
    fs.writeFileSync(path.join(decoy, name), text);
  const launcher = await Launcher.start();
  await launcher.clickInstall({ hd: true });
  await launcher.waitForToast(texts.kInstalledText);
  assert.equal(await launcher.close(), 0);
});

for (const trigger of triggers) {
  test(`${trigger.name}: start-up, HD off and uninstall leave the decoy alone`, async () => {
    const bytes = decoyBytes();
    trigger.plant();
    try {
      const launcher = await Launcher.start({ env });
      await launcher.settled('ready');
      if (trigger.refused) await launcher.waitForToast(refusal, { error: true });
      const before = await errors(launcher, refusal);
      await launcher.page.click('#btnSettings');
      await launcher.page.click('#setHd');
      // HD off asks first; with the start refused the page may not know the
      // pack is on, and the switch asks for HD on, refused all the same.
      await launcher.page.waitForSelector('#dialog:not([hidden])', { timeout: trigger.refused ? 3000 : 30000 })
        .then(() => launcher.page.click('#dlgOk'), (e) => { if (!trigger.refused) throw e; });
      // Not refused: the archive goes, or (Wine cannot tell a link to a file
      // from the file) stays and the page says so; never its target.
      const done = trigger.refused ? [refusal] : [texts.kHdRemovedText, texts.kHdNotRemovedText];
      await until(async () => (await launcher.toasts()).filter((t) => done.includes(t.text)).length > before, 'HD off');
      assert.equal(await launcher.close(), 0);
      const uninstaller = await Launcher.start({ args: ['--uninstall'], answers: ['yes'], session: false, env });
      const code = await uninstaller.ended();
      if (trigger.refused) assert.equal(code, 1, 'nothing removed');
      if (trigger.refused) {
        assert.ok(uninstaller.lines().at(-1)?.includes('a link another account made'), 'the refusal says why');
      }
      if (trigger.refused) assert.notEqual(await readKey(UNINSTALL_KEY), null, 'the entry stays');
    } finally {
      trigger.remove();
    }
    assert.deepEqual(decoyBytes(), bytes);
  });
}

test('install: refused into a link or behind one, over top-level links the names are replaced', async () => {
  const bytes = decoyBytes();
  for (const trigger of triggers) {
    await freshMachine();
    fs.mkdirSync(defaultGame, { recursive: true });
    trigger.plant();
    try {
      const launcher = await Launcher.start({ env });
      await launcher.clickInstall({ hd: true });
      await launcher.waitForToast(trigger.refused ? refusal : texts.kInstalledText, { error: trigger.refused });
      await launcher.settled(trigger.refused ? 'install' : 'ready');
      assert.equal(await launcher.close(), 0);
    } finally {
      trigger.remove();
    }
    assert.deepEqual(decoyBytes(), bytes, trigger.name);
  }
  for (const name of ['DATA.INI', 'custom_hd1.grf', 'launcher_state.txt'])
    assert.equal(fs.lstatSync(path.join(defaultGame, name)).isSymbolicLink(), false, name);
});
