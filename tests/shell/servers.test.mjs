// Install and update against a download server we did not write (NV_SERVER:
// lighttpd, or Python's http.server behind TLS, which ignores Range and
// answers 200 with the whole body), serving the same published tree on
// 18443. With NV_SERVER_LOG (the Python server's request log) the install is
// killed once in the middle of a file, so that the next start asks for the
// rest and gets the whole file instead.
// Run by scripts/suites/servers.sh inside a scripts/test session.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  build, checkGame, checkLaunchers, freshPlayer, sleep,
} from './player_machine.mjs';

const server = process.env.NV_SERVER || 'nginx';
const requestLog = process.env.NV_SERVER_LOG || '';
const work = path.join(build, 'servers');
const www = path.join(build, 'test-servers/www/download');

let machine;
let content;

let player;

before(async () => {
  assert.ok(process.env.WINEPREFIX, 'run inside scripts/suites/servers.sh');
  player = await freshPlayer(work, www);
  ({ content, machine } = player);
});

after(async () => {
  await player?.end();
});


// Kills the launcher once the partial file of `rel` holds some data.
async function killDuring(rel) {
  const part = path.join(machine.gameFolder, `${rel}.part`);
  const end = Date.now() + 120000;
  for (;;) {
    let size = 0;
    try { size = fs.statSync(part).size; } catch { /* not started */ }
    if (size >= 512 * 1024) break;
    if (fs.existsSync(path.join(machine.gameFolder, rel)) || Date.now() > end) {
      throw new Error(`${rel} was not caught in the middle of its download`);
    }
    await sleep(5);
  }
  await machine.kill();
  return fs.statSync(part).size;
}

test(`install with the HD pack, then an update, from ${server}`, { timeout: 600000 }, async () => {
  const v1 = content.manifests.v1;
  const big = v1.entries.find((e) => e.path === 'data/data.grf');
  machine.start();
  await machine.settle({ until: (s) => s.state === 'install' && !s.checking });
  await sleep(1000);
  await machine.post(`install|${machine.gameFolderWindows}|1|0`);
  if (requestLog) {
    const kept = await killDuring('data/data.grf');
    assert.ok(kept > 0 && kept < big.size, `partial file of ${kept} bytes`);
    fs.writeFileSync(requestLog, '');  // from here on: the resumed start only
  }
  if (requestLog) machine.start();
  await machine.settle({ hd: true });
  assert.ok(await machine.closeIdle(), 'the launcher closes when asked');
  assert.deepEqual(checkGame(machine.gameFolder, { client: v1, hd: content.manifests.hd, hdOn: true }), []);
  assert.deepEqual(checkLaunchers(machine, content, { installed: true }), []);

  if (requestLog) {
    // The resumed start asked for the rest of the file and was given all of it.
    const lines = fs.readFileSync(requestLog, 'utf8').split('\n').filter(Boolean).map((l) => l.split('\t'));
    const asked = lines.filter(([p]) => p.endsWith(`/client/files/${big.sha256}`));
    assert.ok(asked.some(([, range, status]) => /^bytes=[1-9][0-9]*-$/.test(range) && status === '200'),
      `requests for data/data.grf: ${JSON.stringify(asked)}`);
  }

  content.offer({ client: 'v2', launcher: 'A' });
  machine.start();
  await machine.settle({ hd: true });
  const state = machine.lastState();
  assert.ok(await machine.closeIdle(), 'the launcher closes when asked');
  assert.equal(state.version, content.manifests.v2.version);
  assert.deepEqual(machine.texts('error'), []);
  assert.deepEqual(checkGame(machine.gameFolder, { client: content.manifests.v2, hd: content.manifests.hd, hdOn: true }), []);
});
