// The page in headless Chromium: which rows of a long file list show.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { rows, state, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
