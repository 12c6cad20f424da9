// The page in headless Chromium: updates change numbers in place, so a press
// or the focus survives them.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { GB, MB, SCREENS, focusIn, progress, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
