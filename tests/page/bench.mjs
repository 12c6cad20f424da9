// Benchmark (not a test): how long the page takes to take in one progress
// message and one 300-row file list, 500 times, layout included, on each
// screen that receives them.
// Run with: node bench.mjs
import { openPage, startBrowser } from './harness.mjs';

const ROUNDS = 500;
const MB = 1048576;

async function measure(browser, screen) {
  const p = await openPage(browser);
  try {
    await p.send({ t: 'state', state: screen, version: '20261205093000', dir: 'C:\\Games\\Norvane', hd: 1, needBytes: 0,
      freeBytes: 1e11, hdBytes: 1e10, clientBytes: 2e10, launcherVersion: '1.0.0' });
    const times = await p.page.evaluate(({ rounds, MB }) => {
      const out = [];
      const rows = (k) => Array.from({ length: 300 }, (_, i) => ({
        path: 'data/textures/set_' + i + '/model_' + i + '.pak', size: (i + 1) * MB,
        done: i < k ? (i + 1) * MB : (i === k ? Math.round((i + 1) * MB / 2) : 0),
        state: i < k ? 'done' : (i === k ? 'now' : 'wait'),
      }));
      for (let r = 0; r < rounds; r++) {
        const k = r % 300;
        const progress = { t: 'progress', phase: 'files', file: 'data/textures/set_' + k + '/model_' + k + '.pak',
          fileDone: Math.round((k + 1) * MB / 2), fileTotal: (k + 1) * MB, done: r * 40 * MB, total: 300 * 40 * MB,
          filesDone: k, filesTotal: 300, speed: 20 * MB + r, eta: 600 - r };
        const filelist = { t: 'filelist', items: rows(k) };
        const t0 = performance.now();
        window.__deliver(progress);
        window.__deliver(filelist);
        void document.body.offsetHeight; // include style and layout
        out.push(performance.now() - t0);
      }
      return out;
    }, { rounds: ROUNDS, MB });
    times.sort((a, b) => a - b);
    const at = (q) => times[Math.min(times.length - 1, Math.floor(q * times.length))];
    return { median: at(0.5), p95: at(0.95), max: times[times.length - 1], errors: p.errors.length };
  } finally {
    await p.close();
  }
}

const browser = await startBrowser();
try {
  for (const screen of ['ready', 'installing', 'updating', 'repair']) {
    const r = await measure(browser, screen);
    console.log(`bench ${screen}: ${ROUNDS} progress+filelist(300) updates: median ${r.median.toFixed(2)} ms, ` +
      `p95 ${r.p95.toFixed(2)} ms, max ${r.max.toFixed(2)} ms (target median <= 4 ms)` + (r.errors ? `, ${r.errors} console errors` : ''));
  }
} finally {
  await browser.close();
}
