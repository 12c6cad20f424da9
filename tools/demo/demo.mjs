// The demo's runner: starts the launcher (x86_64 flavour) under wine64 with
// the stand-in runtime and shows its page in Chromium.
//
//   node tools/demo/demo.mjs --headed            a person clicks through;
//                                                 ends when the launcher does
//   node tools/demo/demo.mjs --out <folder>      drives install -> ready ->
//                                                 play -> repair by itself,
//                                                 writes a screenshot per
//                                                 screen and report.txt
//
// Needs WINEPREFIX (with the download server's CA), DISPLAY and the content
// published at the launcher's built-in download address.
import fs from 'node:fs';
import path from 'node:path';
import { StandInDriver } from '../webview2-standin/driver.mjs';
import { build, sleep, startLauncher } from '../webview2-standin/launch.mjs';

const gameFolder = path.join(process.env.WINEPREFIX || '', 'drive_c/Games/Norvane');

const args = process.argv.slice(2);
const headed = args.includes('--headed');
const outIndex = args.indexOf('--out');
const out = outIndex >= 0 ? path.resolve(args[outIndex + 1]) : path.join(build, 'demo-output');

// Headless, what the launcher's message boxes said is kept beside the
// screenshots (message-boxes.log).
function start(driver, { answerBoxes }) {
  return startLauncher(driver, {
    log: answerBoxes ? path.join(out, 'message-boxes.log') : undefined,
    browser: { headless: !headed },
  });
}

async function headedRun() {
  const driver = await StandInDriver.listen();
  const { exited, view } = await start(driver, { answerBoxes: false });
  console.log('demo: the launcher is up; click through it in the Chromium window. Ctrl-C stops everything.');
  const code = await exited;
  await view.close();
  await driver.close();
  console.log(`demo: the launcher exited with ${code}`);
  return 0;
}

// One step: an action, then the screen it must reach, then a screenshot.
async function headlessRun() {
  fs.rmSync(out, { recursive: true, force: true });
  fs.mkdirSync(out, { recursive: true });
  const report = [];
  let failed = 0;
  let shots = 0;
  const driver = await StandInDriver.listen();
  const { exited, session, view } = await start(driver, { answerBoxes: true });
  const shoot = async (name) => {
    const file = `${String(++shots).padStart(2, '0')}-${name}.png`;
    await view.page.screenshot({ path: path.join(out, file) });
    return file;
  };
  const step = async (name, expected, action, check = async () => '') => {
    const started = Date.now();
    let line;
    try {
      await action();
      await view.waitForScreen(expected, 180000);
      const note = await check();
      const file = await shoot(name);
      line = `ok    ${name}: screen ${expected} after ${((Date.now() - started) / 1000).toFixed(1)} s (${file})${note}`;
    } catch (error) {
      failed++;
      const file = await shoot(`${name}-failed`).catch(() => 'no screenshot');
      line = `FAIL  ${name}: expected screen ${expected}, have ${await view.screen()} (${file}): ${error.message}`;
    }
    report.push(line);
    console.log('demo: ' + line);
  };
  // The busy screens pass quickly with small content: shoot them when seen.
  const catchBusy = (screen) => view.waitForScreen(screen, 60000).then(() => shoot(screen)).catch(() => null);

  await step('install', 'install', async () => {});
  let busy = catchBusy('installing');
  await step('ready-after-install', 'ready', async () => {
    // INSTALL waits for the free space of the chosen drive.
    await view.page.waitForFunction(() => {
      const free = document.getElementById('freeLine');
      return free && !free.textContent.includes('checking');
    }, null, { timeout: 30000 });
    await view.page.click('#big');
  }, async () => {
    const seen = await busy;
    const files = fs.existsSync(gameFolder) ? fs.readdirSync(gameFolder).length : 0;
    if (!fs.existsSync(path.join(gameFolder, 'norvane.exe'))) throw new Error('norvane.exe is not in the game folder');
    return `; installing ${seen ? 'shown' : 'passed unseen'}; ${files} entries in the game folder`;
  });
  const played = path.join(gameFolder, 'played.txt');
  fs.rmSync(played, { force: true });
  await step('play', 'ready', () => view.page.click('#big'), async () => {
    const end = Date.now() + 30000;
    while (!fs.existsSync(played)) {
      if (Date.now() > end) throw new Error('the game client did not start');
      await sleep(200);
    }
    const window = await session.windowState();
    return `; the game client ran; launcher window ${window.iconic ? 'minimised' : 'not minimised'}`;
  });
  const damaged = path.join(gameFolder, 'data/art.grf');
  busy = catchBusy('repair');
  await step('repair', 'ready', async () => {
    if (fs.existsSync(damaged)) fs.writeFileSync(damaged, 'damaged');
    // The ready screen stays until the repair's first message: record every
    // screen change so that "ready" counts only once the repair has left it.
    await view.page.evaluate(() => {
      window.nvDemoScreens = [];
      new MutationObserver(() => window.nvDemoScreens.push(document.body.className))
        .observe(document.body, { attributes: true, attributeFilter: ['class'] });
    });
    await view.page.click('#sbRepair');
    await view.page.waitForFunction(() => window.nvDemoScreens.some((name) => !/(?:^| )s-ready(?: |$)/.test(name)),
      null, { timeout: 60000 });
  }, async () => {
    const seen = await busy;
    const size = fs.existsSync(damaged) ? fs.statSync(damaged).size : 0;
    if (size <= 'damaged'.length) throw new Error('data/art.grf was not restored');
    return `; repair ${seen ? 'shown' : 'passed unseen'}; data/art.grf restored (${size} bytes)`;
  });

  if (view.errors.length) report.push(`page errors: ${view.errors.join(' | ')}`);
  await view.page.click('#btnClose').catch(() => {});
  const code = await Promise.race([exited, sleep(20000).then(() => 'still running')]);
  report.push(`launcher exit: ${code}`);
  if (code !== 0) failed++;
  await view.close();
  await driver.close();
  const summary = `${report.length - failed} lines ok, ${failed} failed`;
  fs.writeFileSync(path.join(out, 'report.txt'), ['Norvane demo (headless)', ...report, summary, ''].join('\n'));
  console.log(`demo: screenshots and report.txt in ${out}`);
  return failed === 0 ? 0 : 1;
}

process.exitCode = await (headed ? headedRun() : headlessRun());
