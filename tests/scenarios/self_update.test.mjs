// The launcher replaces itself: build A, copied to a folder of its own, finds
// build B (the same program with a marker in its window title) offered in the
// launcher manifest, starts it as ".new", and B takes the launcher's name once
// A has ended.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {
  Launcher, launcherExe, launcherExeB, nextSession, nginxMirror, publishVersion, scenarioFile, sha256, until,
  useMirror, work, www,
} from './scenario_support.mjs';

// The hooks publish version 1 without a launcher afterwards: nothing else may
// find a newer launcher on offer.
scenarioFile();

test('self-update from build A to build B; B takes the launcher\'s name', async () => {
  const folder = path.join(work, 'self-update');
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  const exe = path.join(folder, 'Norvane-Launcher.exe');
  fs.copyFileSync(launcherExe, exe);
  await publishVersion(1, { launcher: launcherExeB });

  // A's page never needs to load: its start-up check runs all the same.
  const a = await Launcher.start({ exe, browser: false });
  const successor = nextSession();
  assert.equal(await a.ended(), 0, 'build A closes after starting B');
  const b = await Launcher.adopt(await successor);
  await b.settled('install');
  assert.equal(await b.windowTitle(), 'Norvane (build-B)', 'build B runs');
  assert.equal(b.messages('state').at(-1).launcherVersion, '1.0.0');
  assert.equal(sha256(exe), sha256(launcherExeB), 'B has the launcher\'s name');
  await until(() => !fs.existsSync(exe + '.new'), 'B to take the launcher\'s name', 10000);
  assert.equal(fs.existsSync(exe + '.old'), false);
  await b.screenshot('self-update-b');
  await b.close();

  // B is up to date: a second start replaces nothing.
  const again = await Launcher.start({ exe });
  await again.settled('install');
  assert.equal(await again.windowTitle(), 'Norvane (build-B)');
  assert.deepEqual(fs.readdirSync(folder), ['Norvane-Launcher.exe']);
  assert.equal(await again.close(), 0);
});

test('a plain-http mirror offering build B gets no request; build A keeps running', async () => {
  const folder = path.join(work, 'http-mirror');
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  const exe = path.join(folder, 'Norvane-Launcher.exe');
  fs.copyFileSync(launcherExe, exe);
  // The http mirror serves a tree offering B; the built-in base offers none.
  await publishVersion(1, { launcher: launcherExeB });
  const tree = path.join(folder, 'tree');
  fs.cpSync(www, path.join(tree, 'download'), { recursive: true });
  await publishVersion(1);
  const requests = [];
  const serve = (request, response) => {
    requests.push(request.url);
    fs.readFile(path.join(tree, decodeURIComponent(request.url.split('?')[0])), (error, body) => {
      response.writeHead(error ? 404 : 200);
      response.end(error ? '' : body);
    });
  };
  // WinHTTP under Wine tries only the first address of localhost: listen on both.
  const server = http.createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;
  const server6 = http.createServer(serve);
  await new Promise((resolve) => server6.once('error', resolve).listen(port, '::1', resolve));
  useMirror(`http://localhost:${port}/download`);
  try {
    const a = await Launcher.start({ exe });
    await a.settled('install');
    assert.equal(await a.windowTitle(), 'Norvane', 'build A runs');
    assert.deepEqual(requests, [], 'nothing asked the http mirror');
    assert.equal(sha256(exe), sha256(launcherExe), 'A kept its name');
    assert.equal(await a.close(), 0);
  } finally {
    server.close();
    server6.close();
    useMirror(nginxMirror);
  }
});
