// The page in headless Chromium: the real texts fit their slots and toasts
// cover no control.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import {
  FOLDER_ERROR, LONG_DIR, NEWS, RUNTIMES, SCREENS, TAGS, lines, state, useBrowser, withPage,
} from './harness.mjs';
import { texts } from '../support/player_texts.mjs';

useBrowser();

const boxes = (p, sel) => p.page.$$eval(sel, (es) => es.filter((e) => !e.closest('#sheet, #dialog') && e.getClientRects().length)
  .map((e) => { const r = e.getBoundingClientRect(); return { what: e.id || e.className, l: r.left, t: r.top, r: r.right, b: r.bottom }; }));
const overlaps = (a, b) => Math.min(a.r, b.r) - Math.max(a.l, b.l) > 0.5 && Math.min(a.b, b.b) - Math.max(a.t, b.t) > 0.5;
// Elements of the selector whose text does not fit their box.
const clipped = (p, sel) => p.page.$$eval(sel, (es) => es.filter((e) => e.scrollWidth > e.clientWidth + 1 || e.scrollHeight > e.clientHeight + 1)
  .map((e) => e.className + ': ' + e.textContent));

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
