// The page in headless Chromium: sizes, speeds, times and versions as text.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { GB, MB, flat, lines, progress, state, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
