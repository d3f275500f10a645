// What every browser test knows of the game and its page: where the
// controls are, the colours and texts a player sees, and the page's server.
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';

// Far above what a loaded two-core machine needs for any one step.
export const PATIENCE = 60_000;
export const TICK_MS = 1000 / 64;

// Chromium's flags for a test: as root it needs --no-sandbox; the rest
// keeps it from calling out to a network this machine does not have.
export const CHROMIUM_FLAGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

// Where the layout puts each control, in CSS pixels from the client
// area's corner, as the desktop window has them in pixels.
export const CLIENT = { width: 484, height: 441 };
export const BUTTONS = [
  { caption: 'LIGHT', left: 16, top: 16, width: 65, height: 25 },
  { caption: 'JUMP', left: 88, top: 16, width: 65, height: 25 },
  { caption: 'NUMBER', left: 160, top: 16, width: 73, height: 25 },
  { caption: 'COUNTER', left: 240, top: 16, width: 73, height: 25 },
];
export const BOX = { left: 192, top: 128, width: 67, height: 67 };
export const RED = 'rgb(255, 0, 0)';
export const YELLOW = 'rgb(255, 255, 0)';
export const GREEN = 'rgb(0, 255, 0)';
export const PROMPTS = {
  LIGHT: 'Press any key when box is green.',
  JUMP: 'Press any key when box is green.',
  NUMBER: 'Press any key when an even number comes up.',
  COUNTER: 'Press any key when counter reaches 100.',
};
export const REMARK = 'Very poor. Were you even looking?';
export const SCORE = /^Your score is [ -]\d+ , 100 is perfect\.$/;

// The score line for `score`, as the game words it: a leading space or
// minus, the digits, a trailing space.
export const scoreLine = (score) =>
  `Your score is ${score < 0 ? '-' : ' '}${Math.abs(score)} , 100 is perfect.`;

// Serves `site` with scripts/web_server.py (ZAPWIT_SERVER) on a free port;
// resolves once it accepts connections, with its address and a stop().
export function startServer(site, ...options) {
  return new Promise((resolve, reject) => {
    const child = spawn('python3', [process.env.ZAPWIT_SERVER, site, '--port', '0', '--quiet', ...options], {
      stdio: ['ignore', 'pipe', 'inherit'],
    });
    const exited = once(child, 'exit');
    child.on('error', reject);
    child.on('exit', (code) => reject(new Error(`web_server.py exited with ${code}`)));
    child.stdout.setEncoding('utf8');
    let text = '';
    child.stdout.on('data', (chunk) => {
      text += chunk;
      if (!text.includes('\n')) return;
      resolve({
        child,
        url: text.split('\n')[0].trim(),
        async stop() {
          if (child.exitCode === null && child.signalCode === null) child.kill();
          await exited;
        },
      });
    });
  });
}

// Polls `condition` (an async function) until it is true, for at most
// PATIENCE; for what no event of the page's tells.
export async function until(condition) {
  const end = Date.now() + PATIENCE;
  while (Date.now() < end) {
    if (await condition()) return true;
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  return false;
}

// Readers that run inside the page, the same for every driver: puppeteer's
// evaluate() and WebDriver's executeScript() both take them.
export const inPage = {
  // The printed lines, top to bottom.
  lines: () => [...document.querySelectorAll('#form .line')].map((line) => line.textContent),
  // BOX as a player sees it.
  box: () => {
    const box = document.getElementById('BOX');
    return { color: getComputedStyle(box).backgroundColor, caption: box.textContent };
  },
  // The captions of the buttons on show.
  visibleButtons: () =>
    [...document.querySelectorAll('#form button')]
      .filter((button) => button.getClientRects().length > 0)
      .map((button) => button.textContent),
  formColor: () => getComputedStyle(document.getElementById('form')).backgroundColor,
  // The client area's size, and where each control lies in it.
  layout: () => {
    const form = document.getElementById('form').getBoundingClientRect();
    const relative = (element) => {
      const r = element.getBoundingClientRect();
      return { left: r.x - form.x, top: r.y - form.y, width: r.width, height: r.height };
    };
    return {
      form: { width: form.width, height: form.height },
      buttons: [...document.querySelectorAll('#form button')].map((button) => ({
        caption: button.textContent,
        ...relative(button),
      })),
      box: relative(document.getElementById('BOX')),
    };
  },
  // The finest step of performance.now(), in ms, seen in up to two
  // million readings.
  timerStep: () => {
    let finest = Infinity;
    let last = performance.now();
    for (let i = 0; i < 2_000_000 && finest > 0.001; i += 1) {
      const now = performance.now();
      if (now > last) finest = Math.min(finest, now - last);
      last = now;
    }
    return finest;
  },
  // Which build the page runs: the version its HTML names and the one its
  // game was built with, which differ if files from two builds met; and
  // whether a service worker serves it.
  runningBuild: () => ({
    html: document.querySelector('meta[name="version"]').content,
    game: document.documentElement.dataset.version,
    served: navigator.serviceWorker?.controller ? 'worker' : 'network',
  }),
  // A key made before a tick and handed to the game after it, as a browser
  // does when a frame runs a tick in the gap between a key and its
  // handler. Once an animation frame, a keydown is made (its timeStamp is
  // its making) until BOX shows `signal`, 'green', 'even' (an even
  // number), or 'next' (its count moved on); the key made in the frame
  // before is then dispatched. The game's frame, which ran the tick, comes
  // first in each frame: it asked for its frames first. Resolves with BOX
  // as it was when the key was made, or { timedOut } after `patience` ms.
  keyMadeBeforeATick: (signal, patience) =>
    new Promise((resolve) => {
      const box = document.getElementById('BOX');
      const end = performance.now() + patience;
      const look = () => ({
        color: getComputedStyle(box).backgroundColor,
        caption: box.textContent,
        left: box.offsetLeft,
        top: box.offsetTop,
      });
      let made;
      let then;
      const frame = () => {
        const now = look();
        const shows =
          signal === 'green'
            ? now.color === 'rgb(0, 255, 0)'
            : signal === 'even'
              ? now.caption !== '' && Number(now.caption) % 2 === 0
              : then !== undefined && now.caption !== then.caption;
        if (shows && made) {
          document.body.dispatchEvent(made);
          resolve(then);
          return;
        }
        if (!shows && (signal !== 'next' || now.caption !== '')) {
          made = new KeyboardEvent('keydown', { key: 'a', code: 'KeyA', bubbles: true, cancelable: true });
          then = now;
        }
        if (performance.now() > end) resolve({ timedOut: true });
        else requestAnimationFrame(frame);
      };
      requestAnimationFrame(frame);
    }),
  // BOX's look as keyMadeBeforeATick reads it.
  boxPlace: () => {
    const box = document.getElementById('BOX');
    return {
      color: getComputedStyle(box).backgroundColor,
      caption: box.textContent,
      left: box.offsetLeft,
      top: box.offsetTop,
    };
  },
  // The page's service worker, as the page sees it, its scope, and the
  // caches of every scope on the origin.
  workerState: async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    return {
      active: registration?.active?.state ?? 'none',
      pending: Boolean(registration?.waiting || registration?.installing),
      scope: registration?.scope ?? '',
      caches: await caches.keys(),
    };
  },
};

// A build's name and version, as its site folder has them.
export async function buildOf(folder) {
  const worker = await readFile(join(folder, 'sw.js'), 'utf8');
  const html = await readFile(join(folder, 'index.html'), 'utf8');
  return {
    name: worker.match(/const BUILD = '([0-9a-f]+)';/)[1],
    version: html.match(/<meta name="version" content="([^"]+)">/)[1],
  };
}

// The name of build `name`'s cache in `scope`.
export const cacheOf = (name, scope) => `zapwit ${name} ${scope}`;

// Whether `state` (inPage.workerState) has build `name`'s worker in
// charge, with its cache alone among its scope's.
export const keepsOnly = (state, name) =>
  state.active === 'activated' &&
  !state.pending &&
  state.caches.filter((cache) => cache.endsWith(` ${state.scope}`)).join() === cacheOf(name, state.scope);

// What the game must print for a key made before the tick that showed
// `signal` in `test`, given BOX as it was when the key was made (`then`),
// and the time of day around it (seconds, for the score from midnight).
// The desktop would have had the key first: LIGHT ends unscored, JUMP and
// NUMBER count from midnight, COUNTER scores the count the key was made at.
export function lateKeyExpected(test, then) {
  if (test === 'LIGHT') return { lines: [PROMPTS.LIGHT] };
  if (test === 'COUNTER') {
    const score = 100 - Math.abs(Number(then.caption) - 100);
    return { lines: [PROMPTS.COUNTER, scoreLine(score), ...(score < 0 ? [REMARK] : [])] };
  }
  return { fromMidnight: true, prompt: PROMPTS[test] };
}

// The cases of that: each test and the change of BOX its key comes before.
export const LATE_KEYS = [
  ['LIGHT', 'green'],
  ['JUMP', 'green'],
  ['NUMBER', 'even'],
  ['COUNTER', 'next'],
];
