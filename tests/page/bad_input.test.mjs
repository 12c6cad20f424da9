// The page in headless Chromium: malformed messages, browser keys and scaling.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { bodyClass, flat, state, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
