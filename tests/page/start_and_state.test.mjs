// The page in headless Chromium: which screen a state message shows and what
// it keeps or drops.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { GB, bigText, bodyClass, flat, progress, rows, state, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
