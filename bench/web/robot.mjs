// The robot player for the browser build, on Xvfb: one browser (Chromium
// or Firefox) as a normal window, the page served by scripts/web.sh, and
// web_robot (XDamage and XTest) watching the window and answering green.
// Each game is one page load; the game (LIGHT) and bench/web/naive.html
// take turns. Then the page's own pace (COUNTER's ticks), and start-up
// against a page that only shows a red square.
//
//   node bench/web/robot.mjs --browser chromium|firefox --load idle|hog
//        --games N --robot PATH --out FILE.json
//   node bench/web/robot.mjs --report FILE.json...   (Markdown on stdout)
//
// Times: the page's performance.now() is put on CLOCK_MONOTONIC, the
// robot's clock, once per page load, by the shortest of 40 round trips
// (process.hrtime reads CLOCK_MONOTONIC too).
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { cpus, tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';

import { CHROMIUM_FLAGS } from '../../tests/web/game.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, '..', '..');
// The test driver, as tests/web's lock file pins it.
const require = createRequire(join(root, 'tests', 'web', 'package.json'));
const puppeteer = require('puppeteer-core');

const PATIENCE = 60_000;
const ROUND_TRIPS = 40;

function options(argv) {
  const o = { browser: 'chromium', load: 'idle', games: 100, pace: 5, startups: 20, report: [] };
  for (let i = 0; i < argv.length; i += 1) {
    const name = argv[i].replace(/^--/, '');
    if (name === 'report') {
      o.report = argv.slice(i + 1);
      break;
    }
    o[name] = ['games', 'pace', 'startups'].includes(name) ? Number(argv[i + 1]) : argv[i + 1];
    i += 1;
  }
  return o;
}

// A line-by-line conversation with a child process.
function talk(child) {
  const lines = createInterface({ input: child.stdout });
  const waiting = [];
  lines.on('line', (line) => waiting.shift()?.(line));
  return (command) =>
    new Promise((resolve) => {
      waiting.push(resolve);
      child.stdin.write(`${command}\n`);
    });
}

// Starts `command` and resolves with its first line that starts with
// http:// (a server's address).
function serve(command, args) {
  return new Promise((resolve, reject) => {
    const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'ignore'], cwd: root });
    child.on('exit', (code) => reject(new Error(`${command} exited with ${code}`)));
    createInterface({ input: child.stdout }).on('line', (line) => {
      if (line.startsWith('http://')) resolve({ child, url: line.trim() });
    });
  });
}

async function launch(name, profile) {
  if (name === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: false,
      userDataDir: profile,
      defaultViewport: null,
      protocolTimeout: PATIENCE,
      args: ['--width=800', '--height=700'],
    });
  }
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: false,
    userDataDir: profile,
    defaultViewport: null,
    protocolTimeout: PATIENCE,
    args: [...CHROMIUM_FLAGS, '--window-position=0,0', '--window-size=800,700'],
  });
}

const monoMs = () => Number(process.hrtime.bigint()) / 1e6;

// The page's clock less CLOCK_MONOTONIC (ms), from the shortest round trip.
async function clockOffset(page) {
  let best = Infinity;
  let offset = 0;
  for (let i = 0; i < ROUND_TRIPS; i += 1) {
    const before = monoMs();
    const pageNow = await page.evaluate(() => performance.now());
    const after = monoMs();
    if (after - before < best) {
      best = after - before;
      offset = pageNow - (before + after) / 2;
    }
  }
  return { offset, roundTrip: best };
}

const TIMES = /page times \(ms\): go signal ([\d.]+), key ([\d.]+), key handler ([\d.]+)/;

async function playOne(page, ask, kind, urls, random) {
  const messages = [];
  const listener = (message) => messages.push(message.text());
  page.on('console', listener);
  try {
    await page.goto(urls[kind], { waitUntil: 'load', timeout: PATIENCE });
    await page.waitForFunction(() => document.documentElement.dataset.zapwit === 'loaded', { timeout: PATIENCE });
    const clock = await clockOffset(page);
    const watching = await ask('watch ZAPWIT TEST');
    if (!watching.startsWith('watching')) throw new Error(watching);
    // The robot gave the window the keyboard, as the X server sees it; the
    // browser also wants its page in front, or it keeps the keys.
    await page.bringToFront();
    if (!(await page.evaluate(() => document.hasFocus()))) {
      // Firefox keeps the keyboard in its own controls until the page is
      // clicked: a click on the form's empty lower left, where a click is
      // no key.
      const spot = await page.evaluate(() => ({
        x: Math.round((window.mozInnerScreenX ?? window.screenX) + 40),
        y: Math.round((window.mozInnerScreenY ?? window.screenY) + 400),
      }));
      await ask(`click ${spot.x} ${spot.y}`);
      await page.waitForFunction(() => document.hasFocus(), { timeout: PATIENCE });
    }
    if (kind === 'game') {
      await page.evaluate(() => document.querySelector('#form button').click());
    } else {
      // The wait before green: 1 to 2 s, shorter than LIGHT's to save time;
      // the lag does not depend on it.
      await page.evaluate((wait) => window.naiveStart(wait), 1000 + Math.floor(random() * 1000));
    }
    const answer = (await ask('result')).split(' ');
    if (answer[1] === 'none') return { kind, failed: 'the robot saw no green' };
    const end = Date.now() + 5000;
    while (!messages.some((text) => TIMES.test(text)) && Date.now() < end) {
      await new Promise((resolve) => setTimeout(resolve, 5));
    }
    const times = messages.map((text) => text.match(TIMES)).find(Boolean);
    if (!times) {
      const seen = await page.evaluate(() => ({
        focused: document.hasFocus(),
        hidden: document.hidden,
        lines: [...document.querySelectorAll('#form .line')].map((line) => line.textContent),
      }));
      return { kind, failed: `no page times: ${JSON.stringify({ ...seen, answer, messages })}` };
    }
    const score =
      kind === 'game'
        ? await page.evaluate(() => {
            const lines = [...document.querySelectorAll('#form .line')].map((line) => line.textContent);
            const found = lines.map((text) => text.match(/^Your score is ([ -])(\d+) ,/)).find(Boolean);
            return found ? (found[1] === '-' ? -1 : 1) * Number(found[2]) : null;
          })
        : null;
    const [seen, sent, echo] = answer.slice(1, 4).map((ns) => Number(ns) / 1e6);
    const [go, key, handler] = times.slice(1, 4).map(Number);
    return { kind, clock, seen, sent, echo, delay: Number(answer[4]), go, key, handler, score };
  } finally {
    page.off('console', listener);
  }
}

// COUNTER for `seconds` of page time: when each tick's caption was set.
async function paceOnce(page, url, seconds) {
  await page.goto(url, { waitUntil: 'load', timeout: PATIENCE });
  await page.waitForFunction(() => document.documentElement.dataset.zapwit === 'loaded', { timeout: PATIENCE });
  return page.evaluate(
    (span) =>
      new Promise((resolve) => {
        const box = document.getElementById('BOX');
        const times = [];
        new MutationObserver((records) => {
          const now = performance.now();
          for (let i = 0; i < records.length; i += 1) times.push(now);
        }).observe(box, { childList: true, characterData: true, subtree: true });
        [...document.querySelectorAll('#form button')].find((b) => b.textContent === 'COUNTER').click();
        const end = performance.now() + span;
        const frame = () => (performance.now() > end ? resolve(times.slice(1)) : requestAnimationFrame(frame));
        requestAnimationFrame(frame);
      }),
    seconds * 1000,
  );
}

// From navigation to the first animation frame that has BOX red.
async function startupOnce(page, url) {
  await page.goto(url, { waitUntil: 'load', timeout: PATIENCE });
  return page.waitForFunction(() => window.zapwitRedAt, { timeout: PATIENCE }).then((h) => h.jsonValue());
}

async function measure(o) {
  const hogs = [];
  if (o.load === 'hog') {
    for (let i = 0; i < cpus().length; i += 1) {
      hogs.push(spawn(process.execPath, ['-e', 'for (;;) {}'], { stdio: 'ignore' }));
    }
  }
  const robot = spawn(o.robot, [], { stdio: ['pipe', 'pipe', 'inherit'] });
  const ask = talk(robot);
  // A window manager makes the browser's window the active one, as on a
  // desktop; without one Firefox drops the keys as meant for another.
  const wm = spawn('openbox', [], { stdio: 'ignore' });
  const end = Date.now() + PATIENCE;
  while ((await ask('wm')) !== 'wm yes') {
    if (Date.now() > end) throw new Error('openbox never started');
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  const game = await serve(join(root, 'scripts', 'web.sh'), ['--port', '0']);
  const bench = await serve('python3', [join(root, 'scripts', 'web_server.py'), here, '--port', '0', '--quiet']);
  const profile = await mkdtemp(join(tmpdir(), `zapwit-robot-${o.browser}-`));
  const browser = await launch(o.browser, profile);
  const result = { browser: o.browser, version: await browser.version(), load: o.load, games: [], pace: [], startup: [] };
  try {
    const [page] = await browser.pages();
    const urls = { game: game.url, naive: `${bench.url}naive.html` };
    // A fixed sequence of waits for the naive page, the same every run.
    let state = 20261210;
    const random = () => {
      state = (state * 1103515245 + 12345) % 2147483648;
      return state / 2147483648;
    };
    for (let i = 0; i < 2 * o.games; i += 1) {
      const kind = i % 2 === 0 ? 'game' : 'naive';
      const one = await playOne(page, ask, kind, urls, random);
      result.games.push(one);
      if (i % 20 === 19) process.stderr.write(`${o.browser} ${o.load}: ${i + 1} of ${2 * o.games}\n`);
    }
    for (let i = 0; i < o.pace; i += 1) result.pace.push(await paceOnce(page, game.url, 4));
    await page.evaluateOnNewDocument(() => {
      const frame = () => {
        const box = document.getElementById('BOX');
        if (box && getComputedStyle(box).backgroundColor === 'rgb(255, 0, 0)') window.zapwitRedAt = performance.now();
        else requestAnimationFrame(frame);
      };
      requestAnimationFrame(frame);
    });
    for (let i = 0; i < 2 * o.startups; i += 1) {
      const kind = i % 2 === 0 ? 'game' : 'floor';
      result.startup.push({ kind, ms: await startupOnce(page, kind === 'game' ? game.url : `${bench.url}red.html`) });
    }
  } finally {
    await browser.close();
    await rm(profile, { recursive: true, force: true });
    for (const child of [game.child, bench.child, robot, wm, ...hogs]) child.kill();
  }
  await writeFile(o.out, JSON.stringify(result));
}

// ---- the report

function summary(values) {
  const v = values.filter(Number.isFinite).sort((a, b) => a - b);
  if (v.length === 0) return null;
  const mean = v.reduce((a, b) => a + b, 0) / v.length;
  const sd = Math.sqrt(v.reduce((a, b) => a + (b - mean) ** 2, 0) / Math.max(1, v.length - 1));
  const rank = (f) => v[Math.min(v.length - 1, Math.max(0, Math.ceil(f * v.length) - 1))];
  return { n: v.length, mean, sd, p50: rank(0.5), p99: rank(0.99), max: v.at(-1) };
}
const f = (x) => (x === undefined || x === null ? '–' : x.toFixed(2));
const row = (label, s) => (s ? `| ${label} | ${s.n} | ${f(s.mean)} | ${f(s.sd)} | ${f(s.p50)} | ${f(s.p99)} | ${f(s.max)} |` : `| ${label} | 0 | | | | | |`);

function stretches(g) {
  const goMono = g.go - g.clock.offset;
  const keyMono = g.key - g.clock.offset;
  const rt = (g.kind === 'game' ? g.key : g.handler) - g.go;
  return {
    lag: rt - g.delay,
    toScreen: g.seen - goMono,
    oversleep: g.sent - g.seen - g.delay,
    toStamp: keyMono - g.sent,
    toHandler: g.handler - g.key,
    echo: g.echo ? g.echo - g.sent : NaN,
    scoreLag: g.score === null ? NaN : (100 - g.score) * 10 - g.delay,
    roundTrip: g.clock.roundTrip,
  };
}

async function report(files) {
  const cells = [];
  for (const file of files) cells.push(JSON.parse(await readFile(file, 'utf8')));
  const out = [];
  out.push('| Page, browser, load | Stretch (ms) | n | Mean | SD | p50 | p99 | Max |');
  out.push('|---|---|---|---|---|---|---|---|');
  for (const cell of cells) {
    for (const kind of ['game', 'naive']) {
      const games = cell.games.filter((g) => g.kind === kind && !g.failed).map(stretches);
      const failed = cell.games.filter((g) => g.kind === kind && g.failed).length;
      const label = `${kind === 'game' ? 'game' : 'naive page'}, ${cell.browser}, ${cell.load}${failed ? ` (${failed} failed)` : ''}`;
      const pick = (key) => summary(games.map((s) => s[key]));
      out.push(row(`**${label}**`, pick('lag')).replace(/^\| \*\*(.*)\*\* \|/, `| **$1** | **RT lag** |`));
      for (const [key, name] of [
        ['toScreen', 'go signal → green on the X server'],
        ['oversleep', "robot's delay overrun"],
        ['toStamp', 'key sent → key timeStamp'],
        ['toHandler', 'key timeStamp → handler'],
        ['echo', 'key sent → X server echo to the robot'],
        ...(kind === 'game' ? [['scoreLag', 'RT lag as scored (10 ms points)']] : []),
        ['roundTrip', 'clock offset: shortest round trip'],
      ]) {
        out.push(row(`${label}`, pick(key)).replace(`| ${label} |`, `| ${label} | ${name} |`));
      }
    }
  }
  out.push('');
  out.push('Pace inside the page (COUNTER, the time each tick set BOX\'s caption; lateness against a 64 Hz schedule anchored at the least late tick of each run):');
  out.push('');
  out.push('| Browser, load | Runs | Ticks a second | Lateness p50 (ms) | p99 | Max |');
  out.push('|---|---|---|---|---|---|');
  for (const cell of cells) {
    const rates = [];
    const late = [];
    for (const times of cell.pace) {
      if (times.length < 2) continue;
      rates.push(((times.length - 1) * 1000) / (times.at(-1) - times[0]));
      const period = 1000 / 64;
      const anchor = Math.min(...times.map((t, k) => t - k * period));
      times.forEach((t, k) => late.push(t - anchor - k * period));
    }
    const r = summary(rates);
    const l = summary(late);
    out.push(`| ${cell.browser}, ${cell.load} | ${cell.pace.length} | ${f(r?.mean)} | ${f(l?.p50)} | ${f(l?.p99)} | ${f(l?.max)} |`);
  }
  out.push('');
  out.push('Start-up, from navigation to the first animation frame with BOX red, against a page that only shows a red square (the floor), loads taking turns:');
  out.push('');
  out.push('| Browser, load | Page | n | Mean (ms) | SD | p50 | p99 | Max |');
  out.push('|---|---|---|---|---|---|---|---|');
  for (const cell of cells) {
    for (const kind of ['game', 'floor']) {
      const s = summary(cell.startup.filter((x) => x.kind === kind).map((x) => x.ms));
      out.push(`| ${cell.browser}, ${cell.load} | ${kind} | ${s?.n ?? 0} | ${f(s?.mean)} | ${f(s?.sd)} | ${f(s?.p50)} | ${f(s?.p99)} | ${f(s?.max)} |`);
    }
  }
  out.push('');
  out.push('Browsers: ' + [...new Set(cells.map((c) => `${c.browser} ${c.version}`))].join(', ') + '.');
  out.push('');
  out.push('Transfer size of the site (build-web/site), bytes:');
  out.push('');
  out.push('| File | Plain | gzip -9 |');
  out.push('|---|---|---|');
  let plain = 0;
  let zipped = 0;
  for (const file of ['index.html', 'style.css', 'page.js', 'zapwit.js', 'zapwit.wasm', 'sw.js', 'manifest.webmanifest']) {
    const data = await readFile(join(root, 'build-web', 'site', file));
    const gz = gzipSync(data, { level: 9 }).length;
    plain += data.length;
    zipped += gz;
    out.push(`| ${file} | ${data.length} | ${gz} |`);
  }
  out.push(`| **all of these** | **${plain}** | **${zipped}** |`);
  process.stdout.write(`${out.join('\n')}\n`);
}

const o = options(process.argv.slice(2));
if (o.report.length > 0) await report(o.report);
else await measure(o);
