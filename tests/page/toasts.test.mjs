// The page in headless Chromium: how many toasts show and for how long.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { useBrowser, withPage } from './harness.mjs';

useBrowser();

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
