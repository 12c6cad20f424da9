// The page in headless Chromium: the news column and the online pill.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { state, useBrowser, withPage } from './harness.mjs';

useBrowser();

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
