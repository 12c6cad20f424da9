// The page in headless Chromium: the title and status lines of each phase.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { GB, MB, lines, progress, state, statusText, useBrowser, withPage } from './harness.mjs';

useBrowser();

describe('progress lines', () => {

  it('files phase on the installing screen', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'installing' }));
      assert.equal(await statusText(p), 'Preparing the installation…');
      assert.equal(await p.page.locator('#bar-line.ind').count(), 1);
      await p.send({ t: 'steps', items: [{ name: 'Visual C++', state: 'done' }, { name: 'Game files', state: 'now' }, { name: 'Shortcuts', state: 'wait' }, { name: 'X', state: 'fail' }, { name: 'Y', state: 'weird' }] });
      await p.send(progress({ file: 'data\\maps\\city.pak', done: 2 * GB, total: 8 * GB, filesDone: 10, filesTotal: 40, speed: 4 * MB, eta: 90 }));
      const l = await lines(p);
      assert.equal(l[0], 'Downloading city.pak | 25% · 4.0 MB/s');
      assert.equal(l[1], '2.0 GB of 8.0 GB · 10 of 40 files | about 2 min left');
      const marks = await p.page.$$eval('.step .sn', (e) => e.map((x) => x.textContent));
      assert.deepEqual(marks, ['✓', '2', '3', '✗', '5']);
      assert.equal(await p.page.locator('.step.wait').count(), 2);
      assert.equal(await p.text('.step.now .dt'), '— 2.0 GB of 8.0 GB');
      await p.send(progress({ phase: 'deps', file: 'Visual C++', fileDone: 0, fileTotal: 0, done: 5, total: 10 }));
      assert.equal(await p.page.locator('.step.now .dt').count(), 0);
    });
  });

  it('check and deps phases, unknown totals and pause', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'repair' }));
      await p.send(progress({ phase: 'check', file: 'data/x/y.pak', done: GB, total: 4 * GB, filesTotal: 300, speed: 9 * MB, eta: 0 }));
      let l = await lines(p);
      assert.equal(l[0], 'Checking y.pak | 25%');
      assert.equal(l[1], '1.0 GB of 4.0 GB checked | about 6 min left');
      assert.equal(await p.text('#main .sub'), 'Comparing 300 files with the server.');
      await p.send(progress({ phase: 'check', file: '', done: 0, total: 0 }));
      assert.equal((await lines(p))[0], 'Checking files | ');
      assert.equal(await p.page.locator('#bar-line.ind').count(), 1);

      await p.send(progress({ phase: 'deps', file: 'DirectX 9.0c Runtime', fileDone: MB, fileTotal: 4 * MB, done: 1, total: 100 }));
      l = await lines(p);
      assert.equal(l[0], 'Microsoft runtime · DirectX 9.0c Runtime | 25%');
      assert.equal(l[1], '1.0 MB of 4.0 MB | calculating…');
      assert.equal(await p.text('#main .sub'), 'Comparing your files with the server.');
      await p.send(progress({ phase: 'deps', file: '' }));
      assert.equal((await lines(p))[0], 'Microsoft runtime · preparing | ');

      // no total: the file numbers drive the bar
      await p.send(progress({ phase: undefined, file: 'a/b.pak', fileDone: 3 * MB, fileTotal: 4 * MB, total: 0, speed: MB }));
      assert.equal((await lines(p))[0], 'Downloading b.pak | 75% · 1.0 MB/s');
      await p.send(state({ state: 'repair', paused: 1 }));
      await p.send(progress({ file: 'a/b.pak', done: 5, total: 10, speed: MB, eta: 30 }));
      l = await lines(p);
      assert.equal(l[0], 'Downloading b.pak | 50%');
      assert.equal(l[1], '5 B of 10 B · 0 of 0 files | Paused');
      assert.equal(await p.page.locator('#bar-line.ind').count(), 0);
    });
  });

  it('updating screen: file count in the title, none in the status, a tall bar', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'updating' }));
      await p.send(progress({ file: 'data/a.pak', done: 100 * MB, total: 400 * MB, filesDone: 6, filesTotal: 36, speed: 2 * MB, eta: 150 }));
      const l = await lines(p);
      assert.equal(l[0], 'Updating · a.pak (7 of 36 files) | 25% · 2.0 MB/s');
      assert.equal(l[1], '100 MB of 400 MB | about 3 min left');
      await p.send(progress({ file: 'data/a.pak', done: 400 * MB, total: 400 * MB, filesDone: 36, filesTotal: 36 }));
      assert.match((await lines(p))[0], /\(36 of 36 files\)/);
      assert.equal(await p.page.locator('#bar-line.tall').count(), 1);
    });
  });

  it('ready screen: file count, full bar, folder and HD state', async () => {
    await withPage(async (p) => {
      await p.send(state({ state: 'ready', hd: 1, dir: 'E:\\N' }), progress({ phase: 'check', filesDone: 12, filesTotal: 12, done: 5, total: 5 }));
      const l = await lines(p);
      assert.equal(l[0], 'Game is up to date · Version 2026.11.05 | ✓ 12 files');
      assert.equal(l[1], 'Installed in E:\\N | 4K HD pack: on');
      await p.send(state({ state: 'error' }), state({ state: 'ready', hd: 0, version: '' }));
      assert.equal((await lines(p))[0], 'Game is up to date | ');
      assert.match((await lines(p))[1], /4K HD pack: off$/);
    });
  });
});
