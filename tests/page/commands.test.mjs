// The page in headless Chromium: the commands its buttons and dialogs send.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { GB, bigDisabled, bigText, rows, state, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

describe('commands', () => {
  it('sends install with the folder and the HD and shortcut fields', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install', dir: 'C:\\Program Files\\Norvane Game' }));
      await p.clearSent();
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['install|C:\\Program Files\\Norvane Game|0|1']);
    });
    await withPage(async (p) => {
      await p.send(state({ state: 'install', hd: 0 }));
      await p.page.click('#optHd');
      await p.page.click('#optShortcut');
      await p.clearSent();
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['install|C:\\Games\\Norvane|1|0']);
    });
  });

  it('refuses INSTALL without a folder or without enough space and says how much to free', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install', dir: '' }));
      assert.ok(await bigDisabled(p));
      assert.equal(await p.text('.fpath'), 'Choose a folder…');
      await p.send({ t: 'browse', dir: 'D:\\N', freeBytes: 20 * GB });
      assert.ok(!(await bigDisabled(p)));
      await p.page.click('#optHd'); // 17 + 9 GB needed
      assert.ok(await bigDisabled(p));
      assert.match(await statusText(p), /^Not enough free space on D: — free up 6\.0 GB or choose another folder\./);
      assert.ok(await p.page.locator('#freeLine.bad').count() === 1);
      await p.page.click('#big', { force: true });
      assert.deepEqual(await p.sent(), ['ready']);
    });
    await withPage(async (p) => {
      // without content sizes the needed bytes come from needBytes
      await p.send(state({ state: 'install', clientBytes: 0, hdBytes: 0, needBytes: 10 * GB, freeBytes: 5 * GB }));
      assert.match(await statusText(p), /^Not enough free space on C: — free up 5\.0 GB/);
      assert.equal(await p.text('#optClient .sz'), '–');
      await p.send(state({ state: 'install', clientBytes: 0, hdBytes: 0, needBytes: 10 * GB, freeBytes: -1 }));
      assert.match(await statusText(p), /^Ready to install · Version 2026\.11\.05/);
      assert.ok(!(await bigDisabled(p)));
    });
  });

  it('sends browse from the button and from the folder box', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install' }));
      await p.clearSent();
      await p.page.click('#browseBtn');
      await p.page.click('#folderBox');
      assert.deepEqual(await p.sent(), ['browse', 'browse']);
    });
  });

  it('RETRY sends ready first, then the last job, and locks for 3000 ms', async () => {
    await withPage({ clock: true }, async (p) => {
      await p.send(state({ state: 'error' }));
      await p.clearSent();
      await p.page.click('#big');
      assert.ok(await bigDisabled(p));
      await p.page.clock.runFor(2900);
      assert.ok(await bigDisabled(p));
      await p.page.clock.runFor(200);
      assert.ok(!(await bigDisabled(p)));
      await p.send(state({ state: 'install' }));
      await p.page.click('#big');
      await p.page.clock.runFor(3100);
      await p.send(state({ state: 'error' }));
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['ready', 'install|C:\\Games\\Norvane|0|1', 'install|C:\\Games\\Norvane|0|1']);
    });
  });

  it('INSTALL locks for 3000 ms and PLAY for 5000 ms against double clicks', async () => {
    await withPage({ clock: true }, async (p) => {
      await p.send(state({ state: 'install' }));
      await p.clearSent();
      await p.page.click('#big');
      await p.page.click('#big', { force: true });
      assert.deepEqual(await p.sent(), ['install|C:\\Games\\Norvane|0|1']);
      await p.page.clock.runFor(3001);
      assert.ok(!(await bigDisabled(p)));

      await p.send(state({ state: 'ready' }));
      await p.clearSent();
      await p.page.click('#big');
      await p.page.clock.runFor(4900);
      await p.page.click('#big', { force: true });
      assert.ok(await bigDisabled(p));
      await p.page.clock.runFor(200);
      assert.ok(!(await bigDisabled(p)));
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['play', 'play']);
    });
  });

  it('refuses PLAY while the start-up check runs', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready', checking: 1 }));
      assert.ok(await bigDisabled(p));
      assert.match(await statusText(p), /^Checking for updates… · Version 2026\.11\.05/);
      await p.send(state({ state: 'ready' }));
      assert.ok(!(await bigDisabled(p)));
      assert.match(await statusText(p), /^Game is up to date · Version 2026\.11\.05/);
    });
  });

  it('repair: side button and settings send repair and record it for RETRY', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready' }));
      await p.clearSent();
      await p.page.click('#sbRepair');
      await p.page.click('#btnSettings');
      await p.page.click('#setRepair');
      await p.send(state({ state: 'error' }));
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['repair', 'repair', 'repair']);
    });
  });

  it('repair screen: CANCEL at once, and when paused RESUME with a Cancel repair link', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'repair' }));
      await p.clearSent();
      assert.equal(await bigText(p), 'CANCEL');
      await p.page.click('#big');
      await p.send(state({ state: 'repair', paused: 1 }));
      assert.equal(await bigText(p), 'RESUME');
      assert.equal(await statusText(p), 'Repair stopped');
      await p.page.click('#bigLink');
      assert.deepEqual(await p.sent(), ['cancel', 'cancel']);
    });
  });

  it('installing: Cancel asks first and sends cancel only after STOP INSTALLING', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'installing' }));
      await p.clearSent();
      await p.page.click('#cancelInstall');
      assert.equal(await p.text('#dlgTitle'), 'CANCEL INSTALLATION?');
      assert.equal(await p.text('#dlgText'), 'The download stops. What is already downloaded is kept, so installing again later continues where it stopped.');
      await p.page.click('#dlgCancel');
      assert.deepEqual(await p.sent(), []);
      await p.page.click('#cancelInstall');
      assert.equal(await p.text('#dlgOk'), 'STOP INSTALLING');
      await p.page.click('#dlgOk');
      assert.deepEqual(await p.sent(), ['cancel']);
      assert.ok(await p.page.locator('#dialog').isHidden());
    });
  });

  it('updating: RESUME when paused, else a disabled PLAY', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating' }));
      assert.equal(await bigText(p), 'PLAY');
      assert.ok(await bigDisabled(p));
      assert.equal(await statusText(p), 'Checking for updates…');
      await p.send(state({ state: 'updating', paused: 1 }));
      assert.equal(await bigText(p), 'RESUME');
      assert.equal(await statusText(p), 'Update paused');
      await p.clearSent();
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['resume']);
    });
  });

  it('top bar: min, close, drag only on its empty part; close asks while a job runs', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready' }));
      await p.clearSent();
      await p.page.click('#btnMin');
      await p.page.mouse.click(400, 20);
      await p.page.mouse.click(400, 20, { button: 'right' });
      await p.page.click('#btnClose');
      assert.deepEqual(await p.sent(), ['min', 'drag', 'close']);
      await p.send(state({ state: 'updating' }));
      await p.clearSent();
      await p.page.click('#btnClose');
      assert.equal(await p.text('#dlgTitle'), 'CLOSE THE LAUNCHER?');
      assert.equal(await p.text('#dlgText'), 'The download stops now. Next time the launcher continues where it left off.');
      assert.deepEqual(await p.sent(), []);
      await p.page.click('#dlgOk');
      assert.deepEqual(await p.sent(), ['close']);
    });
  });

  it('side buttons open their fixed https addresses', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready' }));
      await p.clearSent();
      for (const id of ['#sbRegister', '#sbSocial', '#sbDiscord']) await p.page.click(id);
      const sent = await p.sent();
      assert.equal(sent.length, 3);
      for (const c of sent) assert.match(c, /^url\|https:\/\/[a-z.]+\/[a-z/]+$/);
      await p.send(state({ state: 'updating' }));
      assert.ok(await p.page.locator('#side').isHidden());
    });
  });

  it('settings: OPEN, the HD toggle (on at once, off after the question), CHECK AGAIN, UNINSTALL', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready', hd: 0, dir: 'D:\\Games\\Norvane' }));
      await p.page.click('#btnSettings');
      await p.clearSent();
      await p.page.click('#setOpen');
      await p.page.click('#setHd');
      assert.equal(await p.page.getAttribute('#setHd', 'aria-checked'), 'true');
      await p.page.click('#setHd');
      assert.equal(await p.text('#dlgTitle'), 'REMOVE THE HD PACK?');
      assert.equal(await p.text('#dlgOk'), 'REMOVE');
      await p.page.click('#dlgOk');
      await p.page.click('#setCheck');
      assert.equal(await p.text('#setDeps'), 'Checking…');
      await p.page.click('#setUninstall');
      assert.equal(await p.text('#dlgTitle'), 'UNINSTALL NORVANE?');
      assert.equal(await p.text('#dlgText'), 'All game files in\nD:\\Games\\Norvane\nare removed, with the shortcuts. Your screenshots are kept.');
      await p.page.click('#dlgOk');
      assert.deepEqual(await p.sent(), ['openfolder', 'hd|1', 'hd|0', 'checkdeps', 'uninstall']);
      await p.send({ t: 'deps', items: [{ id: 'vcredist', name: 'Visual C++', installed: true }, { id: 'directx', name: 'DirectX 9', installed: false }, { id: 'webview2', name: 'WebView2', installed: false }] });
      assert.equal(await p.text('#setDeps'), 'Missing: DirectX 9 · WebView2');
      await p.send({ t: 'deps', items: [{ id: 'vcredist', name: 'Visual C++', installed: true }, { id: 'webview2', name: 'WebView2', installed: true }] });
      assert.equal(await p.text('#setDeps'), 'Visual C++ · WebView2 — all installed');
      // hd|1 is the last job RETRY repeats
      await p.page.keyboard.press('Escape');
      await p.send(state({ state: 'error' }));
      await p.clearSent();
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['hd|1']);
    });
  });

  it('settings: rows follow busy and installed', async () => {
    await withPage(async (p) => {
      const disabled = () => p.page.evaluate(() => ['setOpen', 'setHd', 'setRepair', 'setCheck', 'setUninstall']
        .map((id) => document.getElementById(id).disabled));
      await p.page.click('#btnSettings');
      await p.send(state({ state: 'install' }));
      assert.deepEqual(await disabled(), [true, true, true, false, true]);
      assert.equal(await p.text('#setDir'), 'Not installed yet');
      assert.equal(await p.text('#setHdText'), 'Sharper monsters, headgears and weapons · 9.0 GB — choose it on the install card');
      assert.equal(await p.text('#setDeps'), 'Visual C++ · DirectX 9 · WebView2');
      assert.equal(await p.text('#setVer'), '1.0.0 · updates itself');
      await p.send(state({ state: 'updating' }));
      assert.deepEqual(await disabled(), [false, true, true, true, true]);
      await p.send(state({ state: 'ready', dir: '' }));
      assert.deepEqual(await disabled(), [true, false, false, false, false]);
      await p.send(state({ state: 'ready' }));
      assert.deepEqual(await disabled(), [false, false, false, false, false]);
      assert.equal(await p.text('#setHdText'), 'Sharper monsters, headgears and weapons · 9.0 GB');
    });
  });
});
