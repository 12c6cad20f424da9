// The shipped 32-bit executable's resources, read back with Debian's tools
// (icoutils' wrestool, mingw's objdump), and the 32-bit stand-in's exports.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const exe = path.join(root, 'build/windows-x86/src/shell/Norvane-Launcher.exe');
const standIn = path.join(root, 'build/windows-x86/webview2-standin/EBWebView/x86/EmbeddedBrowserWebView.dll');
const skip = fs.existsSync(exe) ? false : 'the windows-x86 flavour was not built';

const resource = (type, name) =>
  execFileSync('wrestool', ['-x', '--raw', `--type=${type}`, `--name=${name}`, exe], { maxBuffer: 1 << 26 });
const file = (name) => fs.readFileSync(path.join(root, 'resources', name));

test('the x86 executable carries the page, the images and the icon', { skip }, () => {
  assert.match(execFileSync('i686-w64-mingw32-objdump', ['-f', exe]).toString(), /file format pei-i386/);
  assert.ok(resource(10, 201).equals(file('launcher.html')), 'page (RT_RCDATA 201)');
  assert.ok(resource(10, 202).equals(file('logo.png')), 'logo.png (RT_RCDATA 202)');
  assert.ok(resource(10, 203).equals(file('art.jpg')), 'art.jpg (RT_RCDATA 203)');
  const listing = execFileSync('wrestool', ['-l', exe]).toString();
  assert.match(listing, /--type=14 --name=1 /, 'icon group 1');
  const icons = listing.split('\n').filter((l) => /--type=3 /.test(l));
  assert.equal(icons.length, 7, 'every image of norvane.ico');
});

test('the x86 executable says version 1.0.0 and asks for what the launcher needs', { skip }, () => {
  const version = resource(16, 1);
  const text = version.toString('utf16le');
  assert.match(text, /ProductVersion\0+1\.0\.0\0/);
  assert.match(text, /FileVersion\0+1\.0\.0\0/);
  // VS_FIXEDFILEINFO: signature, then file version 1.0.0.0 as two DWORDs.
  const fixed = version.indexOf(Buffer.from([0xbd, 0x04, 0xef, 0xfe]));
  assert.ok(fixed > 0);
  assert.deepEqual([version.readUInt32LE(fixed + 8), version.readUInt32LE(fixed + 12)], [0x00010000, 0]);

  const manifest = resource(24, 1).toString('utf8');
  assert.match(manifest, /<requestedExecutionLevel level="requireAdministrator"/);
  assert.match(manifest, /<dpiAwareness[^>]*>PerMonitorV2, PerMonitor<\/dpiAwareness>/);
  assert.match(manifest, /<longPathAware[^>]*>true<\/longPathAware>/);
  assert.match(manifest, /name="Microsoft.Windows.Common-Controls" version="6.0.0.0"/);
});

test('the 32-bit stand-in exports the creation function under its plain name', { skip }, () => {
  const exports = execFileSync('i686-w64-mingw32-objdump', ['-p', standIn]).toString();
  assert.match(exports, /\]\s+CreateWebViewEnvironmentWithOptionsInternal\n/);
  assert.match(exports, /\]\s+DllCanUnloadNow\n/);
  assert.doesNotMatch(exports, /CreateWebViewEnvironmentWithOptionsInternal@/);
});
