// The page in headless Chromium: what shows before the numbers exist.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import {
  GB, MB, RUNTIMES, bigDisabled, lines, progress, rows, state, statusText, useBrowser, withPage,
} from './harness.mjs';

useBrowser();

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
