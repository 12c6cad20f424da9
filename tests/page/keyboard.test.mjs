// The page in headless Chromium: dialogs hold the focus, the news column
// works with the keyboard.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { NEWS, SCREENS, focusIn, progress, state, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
