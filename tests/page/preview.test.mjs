// The page in an ordinary browser (no bridge): the sample data of every
// screen fragment, and the screenshots.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { bodyClass, outputDir, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

describe('preview mode', () => {
  const SCREENS = ['install', 'installing', 'ready', 'updating', 'repair', 'error', 'settings'];

  it('renders sample data for every fragment, reloads on a new fragment and saves screenshots', async () => {
    const dir = join(outputDir, 'screens');
    mkdirSync(dir, { recursive: true });
    for (const [w, h] of [[960, 600], [1440, 900]]) {
      for (const name of SCREENS) {
        await withPage({ bridge: false, hash: '#' + name, width: w, height: h }, async (p) => {
          const want = name === 'settings' ? 's-ready' : 's-' + name;
          assert.equal(await bodyClass(p), want);
          assert.equal(await p.page.locator('#sheet').isVisible(), name === 'settings');
          assert.ok(await p.page.locator('#pill').isVisible());
          assert.notEqual((await statusText(p)).trim(), '');
          await p.page.evaluate(() => document.fonts.ready);
          await p.page.screenshot({ path: join(dir, `${name}-${w}x${h}.png`), animations: 'disabled' });
        });
      }
    }
    await withPage({ bridge: false, hash: '#install' }, async (p) => {
      await p.page.evaluate(() => { location.hash = '#repair'; });
      await p.page.waitForFunction(() => document.body.className === 's-repair');
      assert.equal(await p.text('#cnt-checked .v'), '2431');
    });
  });
});
