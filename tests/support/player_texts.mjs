// The launcher's player texts for the Node tests, read from the header the
// launcher is built with (src/bridge/player_texts.h), so that each text is
// written once in the repository. A constant keeps its C++ name
// (texts.kInstalledText); fill() puts pieces into a text's "{}" slots as the
// launcher's FillText does.
import fs from 'node:fs';

const header = fs.readFileSync(new URL('../../src/bridge/player_texts.h', import.meta.url), 'utf8');
const escapes = { n: '\n', '"': '"', '\\': '\\' };
const found = {};
for (const [, name, literals] of header.matchAll(
  /inline constexpr (?:char|wchar_t) (k\w+)\[\] =\s*((?:L?"(?:[^"\\]|\\.)*"\s*)+);/g)) {
  found[name] = [...literals.matchAll(/L?"((?:[^"\\]|\\.)*)"/g)]
    .map(([, body]) => body.replace(/\\(.)/g, (escape, c) => {
      if (!(c in escapes)) throw new Error(`player_texts.h: ${name} has an escape this reader does not know: ${escape}`);
      return escapes[c];
    }))
    .join('');
}

// A misspelt name fails where it is used instead of comparing with undefined.
export const texts = new Proxy(found, {
  get(target, name) {
    if (typeof name === 'string' && !(name in target)) throw new Error(`player_texts.h has no ${name}`);
    return target[name];
  },
});

export function fill(pattern, ...pieces) {
  let next = 0;
  return pattern.replace(/\{\}/g, (slot) => (next < pieces.length ? String(pieces[next++]) : slot));
}

// A message box's text as the launcher's test log writes it: on one line.
export const oneLine = (text) => text.replaceAll('\n', ' ');

// A whole-text RegExp for pattern whose slots match the given sources (for
// pieces a test cannot know exactly, such as a free space).
export function matching(pattern, ...sources) {
  return new RegExp(`^${fill(pattern.replace(/[.*+?^$()|[\]\\]/g, '\\$&'), ...sources)}$`);
}
