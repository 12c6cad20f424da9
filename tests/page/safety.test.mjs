// The page in headless Chromium: markup in any text from the server or the
// file system must stay text.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { progress, state, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

describe('safety', () => {
  const PAYLOADS = [
    '<img src=x onerror="window.__pwned=1">',
    '<script>window.__pwned=2</script>',
    '<svg onload="window.__pwned=3">',
    '<iframe src="javascript:window.parent.__pwned=4"></iframe>',
    '<a href="javascript:window.__pwned=5">click</a>',
    'javascript:window.__pwned=6',
    '"><img src=x onerror=window.__pwned=7>',
    "'><svg/onload=window.__pwned=8>",
    '<body onload="window.__pwned=9">',
    '<details open ontoggle="window.__pwned=10">',
    '<style>*{display:none}</style>',
    '<input autofocus onfocus="window.__pwned=11">',
    '<video><source onerror="window.__pwned=12"></video>',
    '<math><mtext><img src=x onerror=window.__pwned=13></mtext></math>',
    '<object data="javascript:window.__pwned=14"></object>',
    '<embed src="javascript:window.__pwned=15">',
    '<meta http-equiv="refresh" content="0;url=javascript:window.__pwned=16">',
    '<form><button formaction="javascript:window.__pwned=17">x</button></form>',
    '<marquee onstart="window.__pwned=18">',
    '{{constructor.constructor("window.__pwned=19")()}}',
    '<template><img src=x onerror=window.__pwned=20></template>',
    '<b>bold</b><i>it</i>&amp;&lt;&#x3c;',
    '\u202E<img src=x onerror=window.__pwned=21>',
    '<base href="javascript:window.__pwned=22//">',
  ];

  it(`shows ${PAYLOADS.length} markup payloads as text in every text slot and runs none of them`, async () => {
    assert.ok(PAYLOADS.length >= 20);
    await withPage(async (p) => {
      const baseline = await p.page.evaluate(() => document.querySelectorAll('*').length);
      for (const x of PAYLOADS) {
        const item = { tag: x, title: x, text: x, date: x };
        const files = [{ path: x, size: 5, done: 1, state: 'now' }, { path: x, size: 5, done: 0, state: 'wait' }];
        await p.send(
          { t: 'news', headline: { label: x, title: x, text: x, link: x }, news: [item], patch: [item], events: [item] },
          state({ state: 'install', dir: x, version: x }), { t: 'browse', dir: x, freeBytes: 1 },
          state({ state: 'installing', dir: x }), { t: 'steps', items: [{ name: x, state: 'now' }] },
          progress({ file: x, done: 1, total: 2 }),
          state({ state: 'updating', dir: x, version: x }), { t: 'filelist', items: files }, progress({ file: x }),
          state({ state: 'repair', dir: x }), { t: 'filelist', items: files },
          state({ state: 'error', dir: x }), { t: 'error', text: x }, { t: 'toast', text: x },
          { t: 'deps', items: [{ id: x, name: x, installed: false }] },
          state({ state: 'ready', dir: x, version: x }), { t: 'online', online: x, players: x });
        await p.page.locator('.item .ih').dispatchEvent('click'); // toasts may cover the column
        await p.page.click('#btnSettings');
        assert.equal(await p.text('#setDeps'), 'Missing: ' + x);
        await p.page.click('#setUninstall');
        assert.equal(await p.text('#dlgText'), 'All game files in\n' + x + '\nare removed, with the shortcuts. Your screenshots are kept.');
        await p.page.click('#dlgCancel');
        await p.page.click('#sheetClose');
        assert.equal(await p.text('.item .ix'), x);
        assert.equal(await p.text('.item .tag'), x.toUpperCase());
        assert.match(await statusText(p), new RegExp('Installed in ' + x.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
      }
      await p.send(state({ state: 'error' }), { t: 'error', text: PAYLOADS[0] });
      assert.equal(await p.text('.err-t'), PAYLOADS[0]);
      await p.page.waitForTimeout(200);
      const found = await p.page.evaluate(() => ({
        pwned: window.__pwned,
        elements: [...document.querySelectorAll('img, script, iframe, object, embed, video, form, input, meta[http-equiv], style, base, details, marquee, template, math, a, i')]
          .map((e) => e.tagName + (e.id ? '#' + e.id : '')),
        url: location.href,
      }));
      assert.equal(found.pwned, undefined);
      assert.deepEqual(found.elements.filter((t) => !['IMG#logo', 'STYLE', 'SCRIPT', 'META'].includes(t) && t !== 'I'), []);
      // the only <i> elements are the page's own file bars
      assert.ok(await p.page.evaluate((n) => document.querySelectorAll('*').length < n + 400, baseline));
      assert.ok(found.url.endsWith('launcher.html'));
      await p.clearSent();
      await p.send(state({ state: 'ready' }), { t: 'news', headline: { title: 't', link: 'javascript:alert(1)//https://' } });
      assert.equal(await p.page.locator('#readMore').count(), 0);
    });
  });
});
