// The Launcher page in headless Chromium, driven through a stand-in bridge.
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { openPage, outputDir, resourcesDir, startBrowser } from './harness.mjs';
import { fill, texts } from '../support/player_texts.mjs';

const GB = 1073741824;
const MB = 1048576;
let browser;

before(async () => { browser = await startBrowser(); });
after(async () => { await browser.close(); });

function state(extra = {}) {
  return {
    t: 'state', state: 'ready', version: '20261105021000', dir: 'C:\\Games\\Norvane', hd: 0, needBytes: 0,
    freeBytes: 100 * GB, hdBytes: 9 * GB, clientBytes: 17 * GB, launcherVersion: '1.0.0', ...extra,
  };
}
function progress(extra = {}) {
  return {
    t: 'progress', phase: 'files', file: 'data/maps/a.pak', fileDone: 0, fileTotal: 0, done: 0, total: 0,
    filesDone: 0, filesTotal: 0, speed: 0, eta: -1, ...extra,
  };
}
function rows(n, stateOf = () => 'wait') {
  return Array.from({ length: n }, (_, i) => ({ path: `data/f${i}.pak`, size: 10 * MB, done: 0, state: stateOf(i) }));
}

// Opens a page, runs the body, then checks that nothing went to the console
// and that the page asked for nothing outside its own folder.
async function withPage(opts, body) {
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
const bodyClass = (p) => p.page.evaluate(() => [...document.body.classList].find((c) => c.startsWith('s-')));
const bigText = (p) => p.page.locator('#big').innerText();
const bigDisabled = (p) => p.page.locator('#big').isDisabled();
const statusText = (p) => p.page.locator('#status').innerText();
const flat = (s) => s.replace(/\s+/g, ' ').trim();
// "left | right" for the title line and the status line under the bar
const lines = (p) => p.page.evaluate(() => ['.pl-top', '.pl-bot'].map((sel) => {
  const row = document.querySelector('#status ' + sel);
  return row.querySelector('.l').textContent + ' | ' + row.querySelector('.r').textContent;
}));

describe('start and state rules', () => {
  it('renders the ready screen, sends ready first and shows the news placeholder', async () => {
    await withPage(async (p) => {
      assert.deepEqual(await p.sent(), ['ready']);
      assert.equal(await bodyClass(p), 's-ready');
      assert.equal(await p.text('#newsBody'), 'Loading news…');
      assert.ok(await p.page.locator('#pill').isHidden());
      assert.ok(await p.page.evaluate(() => document.getElementById('logo').naturalWidth === 460));
    });
  });

  it('takes the screen from state and falls back to ready for unknown names', async () => {
    await withPage(async (p) => {
      for (const s of ['install', 'installing', 'updating', 'repair', 'error', 'ready']) {
        await p.send(state({ state: s }));
        assert.equal(await bodyClass(p), 's-' + s);
      }
      await p.send(state({ state: 'install' }), state({ state: 'bogus' }));
      assert.equal(await bodyClass(p), 's-ready');
      await p.send(state({ state: 'install' }), state({ state: 42 }));
      assert.equal(await bodyClass(p), 's-ready');
    });
  });

  it('offers Play anyway on the error screen only after an installed state', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install' }), state({ state: 'error' }));
      assert.ok(await p.page.locator('#bigLink').isHidden());
      await p.send(state({ state: 'updating' }), state({ state: 'error' }));
      assert.equal(await p.text('#bigLink'), 'Play anyway');
      await p.send(state({ state: 'install' }), state({ state: 'error' }));
      assert.ok(await p.page.locator('#bigLink').isHidden());
      await p.send(state({ state: 'repair' }), state({ state: 'error' }));
      await p.clearSent();
      await p.page.click('#bigLink');
      assert.deepEqual(await p.sent(), ['play']);
    });
  });

  it('takes dir and free space from install states until a folder is picked', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install', dir: 'D:\\Norvane', freeBytes: 50 * GB }));
      assert.equal(await p.page.getAttribute('#folderBox', 'title'), 'D:\\Norvane');
      assert.equal(flat(await p.text('#freeLine')), 'Free on D: 50.0 GB');
      await p.send(state({ state: 'install', dir: 'E:\\Games', freeBytes: undefined }));
      assert.equal(flat(await p.text('#freeLine')), 'Free on E: checking…');
      // the folder box keeps the end of a long path visible
      assert.equal(await p.page.locator('.fpath').evaluate((e) => getComputedStyle(e).direction), 'rtl');
      assert.equal(await p.text('.fpath'), '\u200EE:\\Games\u200E');
    });
  });

  it('keeps a picked folder and takes free space only from a state on the same drive', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install', dir: 'C:\\Games\\Norvane', freeBytes: 50 * GB }));
      await p.send({ t: 'browse', dir: 'D:\\Play\\Norvane', freeBytes: 20 * GB });
      assert.equal(flat(await p.text('#freeLine')), 'Free on D: 20.0 GB');
      await p.send(state({ state: 'install', dir: 'C:\\Games\\Norvane', freeBytes: 70 * GB }));
      assert.equal(await p.page.getAttribute('#folderBox', 'title'), 'D:\\Play\\Norvane');
      assert.equal(flat(await p.text('#freeLine')), 'Free on D: 20.0 GB');
      await p.send(state({ state: 'install', dir: 'D:\\Other', freeBytes: 30 * GB }));
      assert.equal(await p.page.getAttribute('#folderBox', 'title'), 'D:\\Play\\Norvane');
      assert.equal(flat(await p.text('#freeLine')), 'Free on D: 30.0 GB');
    });
  });

  it('handles browse messages: another drive without free space resets it, the same drive keeps it', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install', dir: 'C:\\Games\\Norvane', freeBytes: 50 * GB }));
      await p.send({ t: 'browse', dir: 'c:\\Elsewhere' });
      assert.equal(flat(await p.text('#freeLine')), 'Free on C: 50.0 GB');
      await p.send({ t: 'browse', dir: 'E:\\Games' });
      assert.equal(flat(await p.text('#freeLine')), 'Free on E: checking…');
      await p.send({ t: 'browse', freeBytes: 5 });
      assert.equal(await p.page.getAttribute('#folderBox', 'title'), 'E:\\Games');
      await p.send({ t: 'browse', dir: 'E:\\Games', freeBytes: -1 });
      assert.equal(flat(await p.text('#freeLine')), 'Free on E: checking…');
    });
  });

  it('sets the HD tick from hd only on entering the install screen', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install', hd: 1 }));
      assert.equal(await p.page.getAttribute('#optHd', 'aria-checked'), 'true');
      await p.page.click('#optHd');
      await p.send(state({ state: 'install', hd: 1 }));
      assert.equal(await p.page.getAttribute('#optHd', 'aria-checked'), 'false');
      await p.send(state({ state: 'installing' }), state({ state: 'install', hd: 0 }));
      assert.equal(await p.page.getAttribute('#optHd', 'aria-checked'), 'false');
    });
  });

  it('keeps progress, files and steps for the same screen and drops them on a new one', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating' }), { t: 'filelist', items: rows(3) }, progress({ total: 100, done: 50 }));
      await p.send(state({ state: 'updating' }));
      assert.match(await statusText(p), /50%/);
      assert.equal(await p.page.locator('.frow').count(), 3);
      await p.send(state({ state: 'repair' }));
      assert.equal(await statusText(p), 'Starting the check…');
      assert.equal(await p.text('#main .empty-note'), 'No damaged files found so far.');

      await p.send({ t: 'repair', checked: 5, broken: 1, missing: 2, fixed: 1 }, state({ state: 'repair' }));
      assert.equal(await p.text('#cnt-checked .v'), '5');
      await p.send(state({ state: 'ready' }), state({ state: 'repair' }));
      assert.equal(await p.text('#cnt-checked .v'), '0');

      await p.send(state({ state: 'installing' }), { t: 'steps', items: [{ name: 'Game files', state: 'now' }] });
      await p.send(state({ state: 'installing' }));
      assert.equal(await p.page.locator('.step').count(), 1);
      await p.send(state({ state: 'ready' }), state({ state: 'installing' }));
      assert.equal(await p.text('#main .empty-note'), 'Preparing…');
    });
  });

  it('clears the error text on entering any screen but error', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'error' }), { t: 'error', text: 'Disk full.' });
      assert.match(await statusText(p), /Disk full\./);
      await p.send(state({ state: 'error' }));
      assert.match(await statusText(p), /Disk full\./);
      await p.send(state({ state: 'ready' }), state({ state: 'error' }));
      assert.match(await statusText(p), /^Something went wrong\.\nPress RETRY to try again\.$/m);
    });
  });

  it('mirrors paused from each state and flips it at once on PAUSE and RESUME', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'installing' }));
      assert.equal(await bigText(p), 'PAUSE');
      await p.clearSent();
      await p.page.click('#big');
      assert.equal(await bigText(p), 'RESUME');
      assert.match(await p.text('#main .sub'), /Paused — press RESUME to continue\./);
      await p.page.click('#big');
      assert.deepEqual(await p.sent(), ['pause', 'resume']);
      await p.send(state({ state: 'installing', paused: 1 }));
      assert.equal(await bigText(p), 'RESUME');
      await p.send(state({ state: 'installing' }));
      assert.equal(await bigText(p), 'PAUSE');
    });
  });
});

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

describe('formatting', () => {
  it('formats sizes in base 1024 with the decimal rules', async () => {
    const cases = [
      [0, '0 B'], [1023, '1023 B'], [1024, '1 KB'], [1536, '2 KB'], [1048575, '1024 KB'],
      [6.2 * MB, '6.2 MB'], [56 * MB, '56 MB'], [17.4 * GB, '17.4 GB'], [212 * GB, '212 GB'],
      [99.94 * GB, '99.9 GB'], [3 * 1024 * GB, '3.0 TB'], [2048 * 1024 * GB, '2048 TB'],
    ];
    await withPage(async (p) => {
      for (const [bytes, text] of cases) {
        await p.send(state({ state: 'install', freeBytes: Math.round(bytes), clientBytes: 1 }));
        assert.equal(flat(await p.text('#freeLine')), 'Free on C: ' + text, String(bytes));
      }
    });
  });

  it('formats pairs, speed, remaining time, percent and the version', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating', version: '20261105021000' }),
        { t: 'filelist', items: [{ path: 'a/b.pak', size: 56 * MB, done: 6.2 * MB, state: 'now' }] });
      assert.equal(await p.text('.frow .fs'), '6.2 / 56 MB');
      assert.match(await p.text('#main .sub'), /^Updating to version 2026\.11\.05 · 1 file · 56 MB$/);
      await p.send({ t: 'filelist', items: [{ path: 'a/b.pak', size: 3 * MB, done: 512 * 1024, state: 'now' }] });
      assert.equal(await p.text('.frow .fs'), '0.5 / 3.0 MB');
      await p.send(state({ state: 'updating', version: '1.2.3' }));
      assert.match(await p.text('#main .sub'), /^Updating to version 1\.2\.3 /);
      await p.send(state({ state: 'updating', version: '' }));
      assert.match(await p.text('#main .sub'), /^Downloading the update · 1 file/);

      const etas = [[45, 'about 45 s left'], [61, 'about 2 min left'], [3599, 'about 60 min left'], [3600, 'about 1 h left'],
        [3660, 'about 1 h 1 min left'], [7199, 'about 2 h left'], [0.4, 'calculating…']];
      for (const [eta, text] of etas) {
        await p.send(progress({ done: 10 * MB, total: 20 * MB, speed: 1.5 * MB, eta }));
        assert.equal((await lines(p))[1].split(' | ')[1], text, 'eta ' + eta);
      }
      assert.match(await statusText(p), /50% · 1\.5 MB\/s/);
      // eta unknown: remaining bytes over speed
      await p.send(progress({ done: 10 * MB, total: 20 * MB, speed: MB, eta: -1 }));
      assert.match(await statusText(p), /about 10 s left/);
      await p.send(progress({ done: 30 * MB, total: 20 * MB, speed: 0, eta: -1 }));
      assert.match(await statusText(p), /100%/);
      assert.doesNotMatch(await statusText(p), /calculating/);
      assert.equal(await p.page.locator('#bar-line .fill').evaluate((e) => e.style.width), '100%');
    });
  });
});

describe('file window', () => {
  const windowOf = (p) => p.page.evaluate(() => ({
    paths: [...document.querySelectorAll('.frow .fp')].map((e) => e.textContent),
    more: document.querySelector('#main .more') ? document.querySelector('#main .more').textContent : '',
  }));

  it('shows the rows around the first running row and counts the rest', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating' }));
      await p.send({ t: 'filelist', items: rows(300, (i) => (i < 150 ? 'done' : i === 150 ? 'now' : 'wait')) });
      assert.deepEqual(await windowOf(p), { paths: ['data/f149.pak', 'data/f150.pak', 'data/f151.pak', 'data/f152.pak'], more: '+ 296 more files' });
      await p.send({ t: 'filelist', items: rows(300, (i) => (i < 10 ? 'done' : i === 10 ? 'fail' : 'wait')) });
      assert.equal((await windowOf(p)).paths[0], 'data/f9.pak');
      await p.send({ t: 'filelist', items: rows(300, () => 'done') });
      assert.deepEqual((await windowOf(p)).paths, ['data/f296.pak', 'data/f297.pak', 'data/f298.pak', 'data/f299.pak']);
      await p.send({ t: 'filelist', items: rows(5, (i) => (i === 0 ? 'now' : 'odd')) });
      assert.deepEqual(await windowOf(p), { paths: ['data/f0.pak', 'data/f1.pak', 'data/f2.pak', 'data/f3.pak'], more: '+ 1 more file' });
      assert.equal(await p.page.locator('.frow.wait').count(), 3);
      await p.send({ t: 'filelist', items: rows(4) });
      assert.equal((await windowOf(p)).more, '');
    });
  });

  it('repair rows carry their captions and three rows show', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'repair' }));
      await p.send({ t: 'filelist', items: [
        { path: 'a', size: 1, done: 1, state: 'done' }, { path: 'b', size: 1, done: 0, state: 'now' },
        { path: 'c', size: 1, done: 0, state: 'fail' }, { path: 'd', size: 1, done: 0, state: 'wait' }] });
      const caps = await p.page.$$eval('.frow .cap', (e) => e.map((x) => x.textContent));
      assert.deepEqual(caps, ['fixed', 'downloading again', 'could not be downloaded']);
      assert.equal(await p.text('#main .more'), '+ 1 more file');
      await p.send({ t: 'filelist', items: [{ path: 'd', size: 1, done: 0, state: 'wait' }] });
      assert.equal(await p.text('.frow .cap'), 'damaged or missing — waiting');
    });
  });
});

describe('progress lines', () => {


  it('files phase on the installing screen', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'installing' }));
      assert.equal(await statusText(p), 'Preparing the installation…');
      assert.equal(await p.page.locator('#bar-line.ind').count(), 1);
      await p.send({ t: 'steps', items: [{ name: 'Visual C++', state: 'done' }, { name: 'Game files', state: 'now' }, { name: 'Shortcuts', state: 'wait' }, { name: 'X', state: 'fail' }, { name: 'Y', state: 'weird' }] });
      await p.send(progress({ file: 'data\\maps\\city.pak', done: 2 * GB, total: 8 * GB, filesDone: 10, filesTotal: 40, speed: 4 * MB, eta: 90 }));
      const l = await lines(p);
      assert.equal(l[0], 'Downloading city.pak | 25% · 4.0 MB/s');
      assert.equal(l[1], '2.0 GB of 8.0 GB · 10 of 40 files | about 2 min left');
      const marks = await p.page.$$eval('.step .sn', (e) => e.map((x) => x.textContent));
      assert.deepEqual(marks, ['✓', '2', '3', '✗', '5']);
      assert.equal(await p.page.locator('.step.wait').count(), 2);
      assert.equal(await p.text('.step.now .dt'), '— 2.0 GB of 8.0 GB');
      await p.send(progress({ phase: 'deps', file: 'Visual C++', fileDone: 0, fileTotal: 0, done: 5, total: 10 }));
      assert.equal(await p.page.locator('.step.now .dt').count(), 0);
    });
  });

  it('check and deps phases, unknown totals and pause', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'repair' }));
      await p.send(progress({ phase: 'check', file: 'data/x/y.pak', done: GB, total: 4 * GB, filesTotal: 300, speed: 9 * MB, eta: 0 }));
      let l = await lines(p);
      assert.equal(l[0], 'Checking y.pak | 25%');
      assert.equal(l[1], '1.0 GB of 4.0 GB checked | about 6 min left');
      assert.equal(await p.text('#main .sub'), 'Comparing 300 files with the server.');
      await p.send(progress({ phase: 'check', file: '', done: 0, total: 0 }));
      assert.equal((await lines(p))[0], 'Checking files | ');
      assert.equal(await p.page.locator('#bar-line.ind').count(), 1);

      await p.send(progress({ phase: 'deps', file: 'DirectX 9.0c Runtime', fileDone: MB, fileTotal: 4 * MB, done: 1, total: 100 }));
      l = await lines(p);
      assert.equal(l[0], 'Microsoft runtime · DirectX 9.0c Runtime | 25%');
      assert.equal(l[1], '1.0 MB of 4.0 MB | calculating…');
      assert.equal(await p.text('#main .sub'), 'Comparing your files with the server.');
      await p.send(progress({ phase: 'deps', file: '' }));
      assert.equal((await lines(p))[0], 'Microsoft runtime · preparing | ');

      // no total: the file numbers drive the bar
      await p.send(progress({ phase: undefined, file: 'a/b.pak', fileDone: 3 * MB, fileTotal: 4 * MB, total: 0, speed: MB }));
      assert.equal((await lines(p))[0], 'Downloading b.pak | 75% · 1.0 MB/s');
      await p.send(state({ state: 'repair', paused: 1 }));
      await p.send(progress({ file: 'a/b.pak', done: 5, total: 10, speed: MB, eta: 30 }));
      l = await lines(p);
      assert.equal(l[0], 'Downloading b.pak | 50%');
      assert.equal(l[1], '5 B of 10 B · 0 of 0 files | Paused');
      assert.equal(await p.page.locator('#bar-line.ind').count(), 0);
    });
  });

  it('updating screen: file count in the title, none in the status, a tall bar', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating' }));
      await p.send(progress({ file: 'data/a.pak', done: 100 * MB, total: 400 * MB, filesDone: 6, filesTotal: 36, speed: 2 * MB, eta: 150 }));
      const l = await lines(p);
      assert.equal(l[0], 'Updating · a.pak (7 of 36 files) | 25% · 2.0 MB/s');
      assert.equal(l[1], '100 MB of 400 MB | about 3 min left');
      await p.send(progress({ file: 'data/a.pak', done: 400 * MB, total: 400 * MB, filesDone: 36, filesTotal: 36 }));
      assert.match((await lines(p))[0], /\(36 of 36 files\)/);
      assert.equal(await p.page.locator('#bar-line.tall').count(), 1);
    });
  });

  it('ready screen: file count, full bar, folder and HD state', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready', hd: 1, dir: 'E:\\N' }), progress({ phase: 'check', filesDone: 12, filesTotal: 12, done: 5, total: 5 }));
      const l = await lines(p);
      assert.equal(l[0], 'Game is up to date · Version 2026.11.05 | ✓ 12 files');
      assert.equal(l[1], 'Installed in E:\\N | 4K HD pack: on');
      await p.send(state({ state: 'error' }), state({ state: 'ready', hd: 0, version: '' }));
      assert.equal((await lines(p))[0], 'Game is up to date | ');
      assert.match((await lines(p))[1], /4K HD pack: off$/);
    });
  });
});

describe('news column and online pill', () => {
  const news = {
    t: 'news',
    headline: { label: 'SEASON', title: 'Frost is here', text: 'Big text', link: 'HTTPS://www.norvane.com/a|b' },
    news: [{ tag: 'fixed', title: 'One', text: 'Line one\nline two', date: '1 Dec' }, { tag: '', title: '', text: 'First line\nsecond', date: '' }, { tag: 'Economy', title: 'Three' }],
    patch: [], events: 'not a list',
  };

  it('shows the 15000 ms fallback only when no news came', async () => {
    await withPage({ clock: true }, async (p) => {
      await p.page.clock.runFor(14900);
      assert.equal(await p.text('#newsBody'), 'Loading news…');
      await p.page.clock.runFor(200);
      assert.equal(await p.text('#newsBody'), 'News is not available right now — you can still play.');
      await p.send(news);
      assert.match(await p.text('#newsBody'), /Frost is here/);
    });
  });

  it('tabs, items, badges, text on click and the empty lists', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready' }), news);
      assert.deepEqual(await p.page.$$eval('#tabs button', (e) => e.map((x) => x.textContent)), ['NEWS', 'PATCH NOTES', 'EVENTS']);
      assert.deepEqual(await p.page.$$eval('.item .tag', (e) => e.map((x) => x.textContent + ':' + x.className)),
        ['FIXED:tag fix', 'NEWS:tag neu', 'ECONOMY:tag eco']);
      assert.deepEqual(await p.page.$$eval('.item .tt', (e) => e.map((x) => x.textContent)), ['One', 'First line', 'Three']);
      await p.page.click('.item >> nth=0');
      assert.equal(await p.text('.item .ix'), 'Line one\nline two');
      await p.page.click('.item .ix'); // reading the text keeps it open
      assert.equal(await p.page.locator('.item .ix').count(), 1);
      await p.page.click('.item >> nth=0 >> .ih');
      assert.equal(await p.page.locator('.item .ix').count(), 0);
      assert.equal(await p.page.locator('.item >> nth=2').evaluate((e) => e.classList.contains('has-text')), false);
      await p.page.click('#tab1');
      assert.equal(await p.text('#newsBody'), 'No patch notes yet.');
      await p.page.click('#tab2');
      assert.equal(await p.text('#newsBody'), 'No events announced right now.');
      await p.send({ t: 'news', events: [{ tag: 'event', title: 'A long event title that wraps onto the next line in the column', date: 'x' }] });
      assert.equal(await p.page.locator('.wrapped .tag.evt').count(), 1);
      assert.equal(await p.page.locator('#headline').count(), 0);
      await p.page.click('#tab0');
      assert.equal(await p.text('#headline .lb'), 'NORVANE');
      assert.match(await p.text('#newsBody'), /No announcements right now — see you on Discord!/);
    });
  });

  it('Read more only for https links in any case, sending the whole address', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready' }), news);
      await p.clearSent();
      await p.page.click('#readMore');
      assert.deepEqual(await p.sent(), ['url|HTTPS://www.norvane.com/a|b']);
      for (const link of ['http://www.norvane.com/', 'javascript:alert(1)', 'file:///C:/x', ' https://x', '']) {
        await p.send({ t: 'news', headline: { title: 'T', text: 'x', link } });
        assert.equal(await p.page.locator('#readMore').count(), 0, link);
      }
      await p.send({ t: 'news', headline: { label: '', title: '', text: '', link: 'https://a.example/' } });
      assert.equal(await p.page.locator('#headline .lb, #headline .tt').count(), 0);
      assert.equal(await p.text('#headline'), 'Read more ›');
    });
  });

  it('per-screen variants of the column', async () => {
    await withPage(async (p) => {
      await p.send(news, state({ state: 'install' }));
      assert.ok(await p.page.locator('#tabs').isHidden());
      assert.equal(await p.text('#headline .lb'), 'WELCOME TO VORUVEZ');
      assert.match(await p.text('#headline .tt'), /Norvane/);
      assert.match(await p.text('#headline .tx'), /^Install the game in a few clicks — the launcher downloads everything from our servers, checks every file and keeps your game up to date\.$/);
      await p.send(state({ state: 'repair' }));
      assert.equal(await p.text('#headline .lb'), 'REPAIR');
      assert.equal(await p.text('#headline .tt'), 'Checking your\ngame files…');
      assert.equal(await p.page.locator('.item').count(), 0);
      await p.send(state({ state: 'installing' }), { ...news, news: [{ title: 'a' }, { title: 'b' }, { title: 'c' }] });
      assert.equal(await p.page.locator('.item').count(), 2);
      assert.equal(await p.text('#headline .tt'), 'Frost is here');
      await p.send(state({ state: 'updating' }));
      assert.equal(await p.page.locator('.item').count(), 2);
      assert.ok(await p.page.locator('#tabs').isHidden());
      await p.send({ t: 'news', news: Array.from({ length: 150 }, (_, i) => ({ title: 'n' + i })) }, state({ state: 'error' }));
      assert.equal(await p.page.locator('.item').count(), 99);
    });
  });

  it('online pill: players in green, Offline in red', async () => {
    await withPage(async (p) => {
      await p.send({ t: 'online', online: true, players: 1286.6 });
      assert.equal(await p.text('#pill'), 'S1 Online · 1287 players');
      assert.equal(await p.text('#pill b'), '1287');
      assert.equal(await p.page.getAttribute('#pill', 'class'), 'on');
      await p.send({ t: 'online', online: true, players: -5 });
      assert.equal(await p.text('#pill b'), '0');
      await p.send({ t: 'online', online: false, players: 0, unknown: true });
      assert.equal(await p.text('#pill'), 'S1 Offline');
      assert.equal(await p.text('#pill b'), 'Offline');
      assert.equal(await p.page.getAttribute('#pill', 'class'), 'off');
    });
  });
});

describe('toasts', () => {
  it('keeps at most three, closes after 4500 or 9000 ms with a 400 ms fade, and on click', async () => {
    await withPage({ clock: true }, async (p) => {
      const live = () => p.page.$$eval('.toast:not(.out)', (e) => e.map((x) => x.textContent));
      const all = () => p.page.locator('.toast').count();
      await p.send({ t: 'toast', text: 'a' }, { t: 'toast', text: '' }, { t: 'error', text: 'b' }, { t: 'toast', text: 'c' }, { t: 'toast', text: 'd' });
      assert.deepEqual(await live(), ['b', 'c', 'd']);
      assert.ok(await p.page.locator('.toast.err').count() === 1);
      await p.page.clock.runFor(4500);
      assert.deepEqual(await live(), ['b']);
      assert.equal(await all(), 3);
      await p.page.clock.runFor(400);
      assert.equal(await all(), 1);
      await p.page.clock.runFor(4000);
      assert.deepEqual(await live(), ['b']);
      await p.page.clock.runFor(600);
      assert.deepEqual(await live(), []);
      await p.send({ t: 'error' });
      assert.deepEqual(await live(), ['Something went wrong.']);
      await p.page.click('.toast');
      assert.deepEqual(await live(), []);
    });
  });
});

describe('bad input and browser behaviour', () => {
  it('ignores malformed, unknown and oddly typed messages without errors', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating' }));
      const junk = ['', '{', 'null', '[1,2]', '"state"', '42', 'true', '{"t":"state"', null, 7, [state()], { t: 'nope' },
        { t: 'STATE', state: 'install' }, { state: 'install' }, { t: 'filelist', items: { 0: 'x' } }, { t: 'filelist', items: [null, 3, 'x', { path: 5 }] },
        { t: 'steps', items: 'x' }, { t: 'progress', phase: 5, done: 'a', total: null, eta: '9' }, { t: 'repair', checked: '3' },
        { t: 'deps', items: 5 }, { t: 'news', headline: 'x', news: {}, patch: null }, { t: 'online', players: 'many' },
        { t: 'browse', dir: 5 }, { t: 'error', text: 5 }, { t: 'toast', text: { a: 1 } }, JSON.stringify({ t: 'toast', text: 'as text' }),
        { t: 'state', state: 'install', dir: null, hd: 'x', freeBytes: '5' }];
      await p.send(...junk);
      assert.equal(await bodyClass(p), 's-install');
      assert.equal(flat(await p.text('#freeLine')), 'Free checking…');
      assert.equal(await p.text('.toast:not(.err) span'), 'as text');
      await p.send(state({ state: 'updating' }), { t: 'filelist', items: [null, { path: 'p' }] }, { t: 'progress', eta: 'x' });
      assert.equal(await p.page.locator('.frow.wait').count(), 2);
      assert.match(await statusText(p), /^Updating · … \(0 of 0 files\)|^Updating · …/);
    });
  });

  it('blocks browser keys, the context menu, drops and Ctrl+wheel; Escape closes dialog then sheet', async () => {
    await withPage(async (p) => {
      const prevented = await p.page.evaluate(() => {
        const key = (k, ctrl) => !document.body.dispatchEvent(new KeyboardEvent('keydown', { key: k, ctrlKey: !!ctrl, bubbles: true, cancelable: true }));
        const ev = (type, init) => !document.body.dispatchEvent(new (type === 'wheel' ? WheelEvent : MouseEvent)(type, { bubbles: true, cancelable: true, ...init }));
        return {
          F5: key('F5'), F3: key('F3'), F7: key('F7'),
          ctrl: ['r', 'f', 'p', 'g', 'u', 'j', 's', 'R', 'S'].map((k) => key(k, true)),
          plainR: key('r'), ctrlA: key('a', true), F1: key('F1'),
          menu: ev('contextmenu'), drop: ev('drop'), dragover: ev('dragover'),
          ctrlWheel: ev('wheel', { ctrlKey: true, deltaY: -100 }), wheel: ev('wheel', { deltaY: -100 }),
        };
      });
      assert.deepEqual(prevented, {
        F5: true, F3: true, F7: true, ctrl: Array(9).fill(true), plainR: false, ctrlA: false, F1: false,
        menu: true, drop: true, dragover: true, ctrlWheel: true, wheel: false,
      });
      await p.send(state({ state: 'ready' }));
      await p.page.click('#btnSettings');
      await p.page.click('#setUninstall');
      await p.page.keyboard.press('Escape');
      assert.ok(await p.page.locator('#dialog').isHidden());
      assert.ok(await p.page.locator('#sheet').isVisible());
      await p.page.keyboard.press('Escape');
      assert.ok(await p.page.locator('#sheet').isHidden());
      await p.page.keyboard.press('F5');
      assert.deepEqual(await p.sent(), ['ready']);
    });
  });

  it('scales the 960 x 600 design to the window', async () => {
    const cases = [[960, 600, 'none'], [1440, 900, 'matrix(1.5, 0, 0, 1.5, 0, 0)'], [965, 603, 'none'],
      [1200, 600, 'none'], [768, 600, 'matrix(0.8, 0, 0, 0.8, 0, 0)'], [1920, 900, 'matrix(1.5, 0, 0, 1.5, 0, 0)']];
    await withPage(async (p) => {
      for (const [w, h, t] of cases) {
        await p.page.setViewportSize({ width: w, height: h });
        await p.page.waitForFunction((want) => getComputedStyle(document.getElementById('app')).transform === want, t);
        assert.equal(await p.page.evaluate(() => getComputedStyle(document.getElementById('app')).transformOrigin), '0px 0px');
      }
    });
  });
});

// Markup in any text from the server or the file system must stay text.
describe('safety', () => {
  const PAYLOADS = [
    '<img src=x onerror="window.__pwned=1">',
    '<script>window.__pwned=2</script>',
    '<svg onload="window.__pwned=3">',
    '<iframe src="javascript:window.parent.__pwned=4"></iframe>',
    '<a href="javascript:window.__pwned=5">click</a>',
    'javascript:window.__pwned=6',
    '"><img src=x onerror=window.__pwned=7>',
    "'><svg/onload=window.__pwned=8>",
    '<body onload="window.__pwned=9">',
    '<details open ontoggle="window.__pwned=10">',
    '<style>*{display:none}</style>',
    '<input autofocus onfocus="window.__pwned=11">',
    '<video><source onerror="window.__pwned=12"></video>',
    '<math><mtext><img src=x onerror=window.__pwned=13></mtext></math>',
    '<object data="javascript:window.__pwned=14"></object>',
    '<embed src="javascript:window.__pwned=15">',
    '<meta http-equiv="refresh" content="0;url=javascript:window.__pwned=16">',
    '<form><button formaction="javascript:window.__pwned=17">x</button></form>',
    '<marquee onstart="window.__pwned=18">',
    '{{constructor.constructor("window.__pwned=19")()}}',
    '<template><img src=x onerror=window.__pwned=20></template>',
    '<b>bold</b><i>it</i>&amp;&lt;&#x3c;',
    '\u202E<img src=x onerror=window.__pwned=21>',
    '<base href="javascript:window.__pwned=22//">',
  ];

  it(`shows ${PAYLOADS.length} markup payloads as text in every text slot and runs none of them`, async () => {
    assert.ok(PAYLOADS.length >= 20);
    await withPage(async (p) => {
      const baseline = await p.page.evaluate(() => document.querySelectorAll('*').length);
      for (const x of PAYLOADS) {
        const item = { tag: x, title: x, text: x, date: x };
        const files = [{ path: x, size: 5, done: 1, state: 'now' }, { path: x, size: 5, done: 0, state: 'wait' }];
        await p.send(
          { t: 'news', headline: { label: x, title: x, text: x, link: x }, news: [item], patch: [item], events: [item] },
          state({ state: 'install', dir: x, version: x }), { t: 'browse', dir: x, freeBytes: 1 },
          state({ state: 'installing', dir: x }), { t: 'steps', items: [{ name: x, state: 'now' }] },
          progress({ file: x, done: 1, total: 2 }),
          state({ state: 'updating', dir: x, version: x }), { t: 'filelist', items: files }, progress({ file: x }),
          state({ state: 'repair', dir: x }), { t: 'filelist', items: files },
          state({ state: 'error', dir: x }), { t: 'error', text: x }, { t: 'toast', text: x },
          { t: 'deps', items: [{ id: x, name: x, installed: false }] },
          state({ state: 'ready', dir: x, version: x }), { t: 'online', online: x, players: x });
        await p.page.locator('.item .ih').dispatchEvent('click'); // toasts may cover the column
        await p.page.click('#btnSettings');
        assert.equal(await p.text('#setDeps'), 'Missing: ' + x);
        await p.page.click('#setUninstall');
        assert.equal(await p.text('#dlgText'), 'All game files in\n' + x + '\nare removed, with the shortcuts. Your screenshots are kept.');
        await p.page.click('#dlgCancel');
        await p.page.click('#sheetClose');
        assert.equal(await p.text('.item .ix'), x);
        assert.equal(await p.text('.item .tag'), x.toUpperCase());
        assert.match(await statusText(p), new RegExp('Installed in ' + x.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
      }
      await p.send(state({ state: 'error' }), { t: 'error', text: PAYLOADS[0] });
      assert.equal(await p.text('.err-t'), PAYLOADS[0]);
      await p.page.waitForTimeout(200);
      const found = await p.page.evaluate(() => ({
        pwned: window.__pwned,
        elements: [...document.querySelectorAll('img, script, iframe, object, embed, video, form, input, meta[http-equiv], style, base, details, marquee, template, math, a, i')]
          .map((e) => e.tagName + (e.id ? '#' + e.id : '')),
        url: location.href,
      }));
      assert.equal(found.pwned, undefined);
      assert.deepEqual(found.elements.filter((t) => !['IMG#logo', 'STYLE', 'SCRIPT', 'META'].includes(t) && t !== 'I'), []);
      // the only <i> elements are the page's own file bars
      assert.ok(await p.page.evaluate((n) => document.querySelectorAll('*').length < n + 400, baseline));
      assert.ok(found.url.endsWith('launcher.html'));
      await p.clearSent();
      await p.send(state({ state: 'ready' }), { t: 'news', headline: { title: 't', link: 'javascript:alert(1)//https://' } });
      assert.equal(await p.page.locator('#readMore').count(), 0);
    });
  });
});

// The page as a player drives it: presses that span a message, the real
// runtime names, long error texts and paths, toasts, the keyboard.
const RUNTIMES = [texts.kVcRedistName, texts.kDirectXName, texts.kWebView2Name];
const LONG_DIR = 'C:\\Users\\Player\\AppData\\Local\\Programs\\' + 'Games Library\\'.repeat(10) + 'Norvane Online Game';
const FOLDER_ERROR = fill(texts.kFolderNotWritableText, LONG_DIR);
const TAGS = ['maintenance', 'event', 'new', 'economy', 'fix', 'update', 'events', 'fixed', 'patch', ''];
const NEWS = {
  t: 'news', headline: { label: 'SEASON', title: 'Frost', text: 'A raid.', link: 'https://www.norvane.com/news/frost' },
  news: TAGS.map((tag, i) => ({ tag, title: 'Item ' + i + ' with a title long enough to be cut in the column', text: 'Text ' + i + '.\nMore.', date: i + ' Dec' })),
};
// Messages that fill each screen the way the native side does.
const SCREENS = {
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
const boxes = (p, sel) => p.page.$$eval(sel, (es) => es.filter((e) => !e.closest('#sheet, #dialog') && e.getClientRects().length)
  .map((e) => { const r = e.getBoundingClientRect(); return { what: e.id || e.className, l: r.left, t: r.top, r: r.right, b: r.bottom }; }));
const overlaps = (a, b) => Math.min(a.r, b.r) - Math.max(a.l, b.l) > 0.5 && Math.min(a.b, b.b) - Math.max(a.t, b.t) > 0.5;
// Elements of the selector whose text does not fit their box.
const clipped = (p, sel) => p.page.$$eval(sel, (es) => es.filter((e) => e.scrollWidth > e.clientWidth + 1 || e.scrollHeight > e.clientHeight + 1)
  .map((e) => e.className + ': ' + e.textContent));
const focusIn = (p, sel) => p.page.evaluate((s) => document.querySelector(s).contains(document.activeElement), sel);

describe('in-place updates', () => {
  it('a press held across a progress message still activates Cancel, and the focus stays on it', async () => {
    await withPage(async (p) => {
      await p.send(...SCREENS.installing);
      const box = await p.page.locator('#cancelInstall').boundingBox();
      await p.page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
      await p.page.mouse.down();
      await p.send(progress({ done: 3 * GB, total: 8 * GB, speed: 5 * MB }), SCREENS.installing[1]);
      await p.page.mouse.up();
      assert.equal(await p.text('#dlgTitle'), 'CANCEL INSTALLATION?');
      await p.page.keyboard.press('Escape');
      await p.page.focus('#cancelInstall');
      for (let i = 4; i < 7; i++) await p.send(progress({ done: i * GB, total: 8 * GB }));
      assert.ok(await focusIn(p, '#cancelInstall'));
    });
  });

  it('progress, filelist, repair and steps messages change the numbers and keep every element', async () => {
    const later = {
      installing: [progress({ done: 4 * GB, total: 8 * GB, filesDone: 20, filesTotal: 40 }), SCREENS.installing[1]],
      updating: [SCREENS.updating[1], progress({ done: 90 * MB, total: 360 * MB, filesDone: 5, filesTotal: 36 })],
      repair: [{ t: 'repair', checked: 2431, broken: 3, missing: 1, fixed: 2 }, SCREENS.repair[2], progress({ done: 20 * MB, total: 40 * MB })],
      ready: [progress({ phase: 'check', filesDone: 2432, filesTotal: 2432 })],
    };
    for (const [screen, msgs] of Object.entries(later)) {
      await withPage(async (p) => {
        await p.send(...SCREENS[screen]);
        const before = await p.page.evaluate(() => {
          document.querySelectorAll('#app *').forEach((e) => { e.__kept = true; });
          return document.getElementById('app').innerText;
        });
        await p.send(...msgs);
        const lost = await p.page.$$eval('#app *', (es) => es.filter((e) => !e.__kept).map((e) => e.tagName + '.' + e.className));
        assert.deepEqual(lost, [], screen + ': elements rebuilt');
        assert.notEqual(await p.page.evaluate(() => document.getElementById('app').innerText), before, screen + ': nothing changed');
      });
    }
  });
});

describe('layout with real texts', () => {
  it('the error screen shows a long three-line error whole', async () => {
    await withPage(async (p) => {
      await p.send(...SCREENS.error);
      assert.equal(await p.text('.err-t'), FOLDER_ERROR);
      assert.deepEqual(await clipped(p, '.err-t, .err-s'), []);
      const [t, bar] = [await p.page.locator('.err-l').boundingBox(), await p.page.locator('#bar').boundingBox()];
      assert.ok(t.y >= bar.y && t.y + t.height <= bar.y + bar.height, 'inside the bottom bar');
    });
  });

  it('the settings runtimes line keeps its key words with the real names', async () => {
    await withPage(async (p) => {
      await p.send(state());
      await p.page.click('#btnSettings');
      for (const installed of [true, false]) {
        await p.send({ t: 'deps', items: RUNTIMES.map((name, i) => ({ id: 'r' + i, name, installed })) });
        assert.equal(await p.text('#setDeps'), installed ? RUNTIMES.join(' · ') + ' — all installed' : 'Missing: ' + RUNTIMES.join(' · '));
        assert.deepEqual(await clipped(p, '#setDeps'), []);
      }
      const panel = await p.page.locator('#sheet .panel').boundingBox();
      assert.ok(panel.y >= 0 && panel.y + panel.height <= 600, 'the sheet still fits the window');
    });
  });

  it('toasts sit over no control on any screen', async () => {
    for (const [screen, msgs] of Object.entries(SCREENS)) {
      await withPage(async (p) => {
        await p.send(NEWS, ...msgs, { t: 'toast', text: texts.kInstalledText }, { t: 'error', text: FOLDER_ERROR },
          { t: 'toast', text: texts.kBusyText });
        const toasts = await boxes(p, '.toast:not(.out)');
        assert.ok(toasts.length >= 1, screen + ': a toast shows');
        const hits = [];
        for (const c of await boxes(p, '#app button, #app .item')) for (const t of toasts) if (overlaps(c, t)) hits.push(c.what + ' under a toast');
        assert.deepEqual(hits, [], screen);
        // whole beside the big logo; in the short lane above a card a long text scrolls
        if (screen === 'ready' || screen === 'error') assert.deepEqual(await clipped(p, '.toast:not(.out) > span'), [], screen);
        else assert.ok(await p.page.$$eval('.toast > span', (es) => es.every((e) => getComputedStyle(e).overflowY === 'auto')), screen);
      });
    }
  });

  it('the ready line keeps "Installed in" and the end of a long folder in view', async () => {
    await withPage(async (p) => {
      await p.send(state({ dir: LONG_DIR }));
      assert.equal((await lines(p))[1], 'Installed in ' + LONG_DIR + ' | 4K HD pack: off');
      const inView = await p.page.evaluate(() => {
        const slot = document.querySelector('#status .pl-bot .l'), s = slot.getBoundingClientRect();
        const texts = [], walk = document.createTreeWalker(slot, NodeFilter.SHOW_TEXT);
        while (walk.nextNode()) texts.push(walk.currentNode);
        const seen = (node, from, to) => {
          const r = document.createRange();
          r.setStart(node, from); r.setEnd(node, to);
          const b = r.getBoundingClientRect();
          return b.width > 0 && b.left >= s.left - 0.5 && b.right <= s.right + 0.5;
        };
        const last = texts[texts.length - 1];
        return [seen(texts[0], 0, 'Installed in'.length), seen(last, last.length - 'Norvane Online Game'.length, last.length)];
      });
      assert.deepEqual(inView, [true, true]);
    });
  });

  it('news tag badges show every known tag whole', async () => {
    await withPage(async (p) => {
      await p.send(state(), NEWS);
      assert.deepEqual(await p.page.$$eval('.item .tag', (e) => e.map((x) => x.textContent)), TAGS.map((t) => t.toUpperCase() || 'NEWS'));
      assert.deepEqual(await clipped(p, '.item .tag'), []);
    });
  });

  it('waiting steps have a contrast of at least 4.5:1 on the card', async () => {
    await withPage(async (p) => {
      await p.send(...SCREENS.installing);
      const ratios = await p.page.evaluate(() => {
        const rgba = (c) => { const v = c.match(/[\d.]+/g).map(Number); return v.length === 3 ? [...v, 1] : v; };
        const over = (top, under) => [0, 1, 2].map((i) => top[i] * top[3] + under[i] * (1 - top[3])).concat(1);
        const lum = (c) => c.slice(0, 3).map((v) => (v /= 255) <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4)
          .reduce((a, v, i) => a + v * [0.2126, 0.7152, 0.0722][i], 0);
        // the lighter stop of the card's gradient over the page, then the row's own tint
        const card = getComputedStyle(document.querySelector('.card')).backgroundImage.match(/rgba?\([^)]*\)/g)
          .map((c) => over(rgba(c), [5, 9, 15, 1])).sort((a, b) => lum(b) - lum(a))[0];
        const row = document.querySelector('.step.wait');
        const bg = over(rgba(getComputedStyle(row).backgroundColor), card);
        return ['.nm', '.sn'].map((sel) => (lum(over(rgba(getComputedStyle(row.querySelector(sel)).color), bg)) + 0.05) / (lum(bg) + 0.05));
      });
      for (const r of ratios) assert.ok(r >= 4.5, 'contrast ' + r.toFixed(2));
    });
  });
});

describe('what the player sees first', () => {
  it('before the first state: a neutral waiting line and PLAY disabled', async () => {
    await withPage(async (p) => {
      assert.ok(await bigDisabled(p));
      assert.doesNotMatch(await statusText(p), /up to date|Installed in|HD pack/);
      assert.equal(await p.page.locator('#bar-line.full').count(), 0);
      assert.ok(await p.page.locator('#side').isHidden());
      await p.page.click('#big', { force: true });
      assert.deepEqual(await p.sent(), ['ready']);
      await p.send(state());
      assert.ok(!(await bigDisabled(p)));
      assert.match(await statusText(p), /^Game is up to date/);
    });
  });

  it('no numbers before they exist: the update line and a runtime of unknown size', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating', version: '' }));
      assert.equal(await p.text('#main .sub'), 'Downloading the update');
      await p.send(state({ state: 'updating' }), { t: 'filelist', items: rows(3) });
      assert.equal(await p.text('#main .sub'), 'Updating to version 2026.11.05 · 3 files · 30 MB');
      await p.send(state({ state: 'installing' }), progress({ phase: 'deps', file: RUNTIMES[1] }));
      assert.equal((await lines(p))[1], ' | ');
      await p.send(progress({ phase: 'deps', file: RUNTIMES[1], fileDone: 3 * MB }));
      assert.equal((await lines(p))[1], '3.0 MB | ');
      await p.send(progress({ filesTotal: 40 }));
      assert.doesNotMatch((await lines(p))[1], /0 B of 0 B/);
    });
  });

  it('the install screen counts what is still to download', async () => {
    await withPage(async (p) => {
      for (const [hd, need, before, after] of [[0, 5, '5.0', '14.0'], [1, 20, '20.0', '11.0']]) {
        await p.send(state({ state: 'ready' }), state({ state: 'install', hd, needBytes: need * GB }));
        assert.match(await statusText(p), new RegExp('Download size ' + before + ' GB$'));
        await p.page.click('#optHd');
        assert.match(await statusText(p), new RegExp('Download size ' + after + ' GB$'));
      }
    });
  });

  it('a first install is not welcomed back', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'install' }), state({ state: 'installing' }));
      assert.match(await p.text('#headline .tt'), /\S/);
      assert.doesNotMatch(await p.text('#headline'), /welcome back/i);
    });
  });
});

describe('keyboard', () => {
  it('a dialog holds the focus: Tab stays inside, Enter never reaches PAUSE behind it', async () => {
    await withPage(async (p) => {
      await p.send(...SCREENS.installing);
      await p.clearSent();
      await p.page.click('#cancelInstall');
      for (const key of ['', 'Tab', 'Tab', 'Tab', 'Shift+Tab', 'Shift+Tab', 'Shift+Tab']) {
        if (key) await p.page.keyboard.press(key);
        assert.ok(await focusIn(p, '#dialog'), 'after ' + key);
      }
      await p.page.keyboard.press('Escape');
      assert.ok(await focusIn(p, '#cancelInstall'), 'back where it was');
      await p.page.keyboard.press('Enter');
      await p.page.keyboard.press('Enter');
      assert.deepEqual(await p.sent(), []);
      await p.page.click('#btnSettings');
      for (let i = 0; i < 9; i++) {
        await p.page.keyboard.press('Tab');
        assert.ok(await focusIn(p, '#sheet .panel'), 'sheet Tab ' + i);
      }
    });
  });

  it('Read more and news items are reached and opened with the keyboard', async () => {
    await withPage(async (p) => {
      await p.send(state(), NEWS);
      await p.clearSent();
      assert.equal(await p.page.locator('#readMore').evaluate((e) => getComputedStyle(e).cursor), 'pointer');
      for (let i = 0; i < 40 && !(await focusIn(p, '#readMore')); i++) await p.page.keyboard.press('Tab');
      await p.page.keyboard.press('Enter');
      assert.deepEqual(await p.sent(), ['url|https://www.norvane.com/news/frost']);
      await p.page.keyboard.press('Tab');
      assert.ok(await focusIn(p, '.item'), 'the first item is next');
      await p.page.keyboard.press('Enter');
      assert.equal(await p.page.locator('.item .ix').count(), 1);
      assert.equal(await p.text('.item .ix'), 'Text 0.\nMore.');
      await p.page.keyboard.press('Enter');
      assert.equal(await p.page.locator('.item .ix').count(), 0);
    });
  });

  it('an opened news item stays open through the news timer, state messages and progress', async () => {
    await withPage({ clock: true }, async (p) => {
      await p.send(state({ checking: 1 }), NEWS);
      await p.page.click('.item >> nth=3');
      await p.page.locator('#newsBody').evaluate((e) => { e.scrollTop = 60; });
      await p.page.clock.runFor(15100);
      await p.send(progress({ phase: 'check', done: 1, total: 5 }), state(), state());
      assert.equal(await p.page.locator('.item .ix').count(), 1);
      assert.equal(await p.text('.item .ix'), 'Text 3.\nMore.');
      assert.equal(await p.page.locator('#newsBody').evaluate((e) => e.scrollTop), 60);
    });
  });
});

describe('preview mode', () => {
  const SCREENS = ['install', 'installing', 'ready', 'updating', 'repair', 'error', 'settings'];

  it('renders sample data for every fragment, reloads on a new fragment and saves screenshots', async () => {
    const dir = join(outputDir, 'screens');
    mkdirSync(dir, { recursive: true });
    for (const [w, h] of [[960, 600], [1440, 900]]) {
      for (const name of SCREENS) {
        await withPage({ bridge: false, hash: '#' + name, width: w, height: h }, async (p) => {
          const want = name === 'settings' ? 's-ready' : 's-' + name;
          assert.equal(await bodyClass(p), want);
          assert.equal(await p.page.locator('#sheet').isVisible(), name === 'settings');
          assert.ok(await p.page.locator('#pill').isVisible());
          assert.notEqual((await statusText(p)).trim(), '');
          await p.page.evaluate(() => document.fonts.ready);
          await p.page.screenshot({ path: join(dir, `${name}-${w}x${h}.png`), animations: 'disabled' });
        });
      }
    }
    await withPage({ bridge: false, hash: '#install' }, async (p) => {
      await p.page.evaluate(() => { location.hash = '#repair'; });
      await p.page.waitForFunction(() => document.body.className === 's-repair');
      assert.equal(await p.text('#cnt-checked .v'), '2431');
    });
  });
});
