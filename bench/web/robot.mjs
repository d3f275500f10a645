// The robot player for the browser build, on Xvfb: one browser (Chromium
// or Firefox) as a normal window, the pages served by scripts/web_server.py,
// and web_robot (XDamage and XTest) watching the window and answering green.
// Each game is one page load; the game (LIGHT), bench/web/naive.html and
// the floor page (bench/web/floor.html) take turns. Then the page's own
// pace (COUNTER's ticks), and start-up against the floor page, on a first
// visit and from the service worker.
//
//   node bench/web/robot.mjs --browser chromium|firefox --load idle|hog
//        --games N --robot PATH --out FILE.json
//        [--kinds game,naive,floor] [--floor ?HABIT] [--pace N] [--startups N]
//        [--trace paints] [--other SITE[,SITE...]]
//   node bench/web/robot.mjs --report FILE.json...   (Markdown on stdout)
//
// The game and the floor page are served alike: by scripts/web_server.py,
// each from a site with the game's service worker (the floor's is made
// here from the same template). --floor adds a query string to the floor's
// address for the games: one of floor.js's habits of the game. --trace
// paints (Firefox) keeps, with each game, the paints Firefox reported to
// the page around the go signal: when each was heard, its paintTimeStamp
// and its transaction. --other SITE serves another build of the game's
// site (a folder), played as the game is, as kind "other": two builds
// side by side in one sitting. With several sites, each is a kind of its
// own, "other-" and the folder's name, all of them in place of "other".
//
// Times: the page's performance.now() is put on CLOCK_MONOTONIC, the
// robot's clock, once per page load, by the shortest of 40 round trips
// (process.hrtime reads CLOCK_MONOTONIC too).
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { copyFile, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { cpus, tmpdir } from 'node:os';
import { basename, dirname, join } from 'node:path';
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
// The game itself, or another build of it.
const isGame = (kind) => kind === 'game' || kind.startsWith('other');
const ROUND_TRIPS = 40;

function options(argv) {
  const o = {
    browser: 'chromium',
    load: 'idle',
    games: 100,
    pace: 5,
    startups: 20,
    kinds: 'game,naive,floor',
    floor: '',
    report: [],
  };
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

// Serves `site` as scripts/web.sh serves the game, on a port of its own
// (a new origin: nothing of an earlier one's is kept for it); resolves
// once it accepts connections.
function serve(site) {
  return new Promise((resolve, reject) => {
    const args = [join(root, 'scripts', 'web_server.py'), site, '--port', '0', '--quiet'];
    const child = spawn('python3', args, { stdio: ['ignore', 'pipe', 'inherit'], cwd: root });
    child.on('exit', (code) => reject(new Error(`web_server.py exited with ${code}`)));
    createInterface({ input: child.stdout }).on('line', (line) => {
      if (line.startsWith('http://')) resolve({ child, url: line.trim() });
    });
  });
}

// The floor's site, in a new folder: the floor page as its index, and the
// game's service worker, written by the build's own step for its files.
async function floorSite() {
  const site = await mkdtemp(join(tmpdir(), 'zapwit-floor-'));
  await copyFile(join(here, 'floor.html'), join(site, 'index.html'));
  for (const file of ['floor.js', 'naive.css']) await copyFile(join(here, file), join(site, file));
  const web = join(root, 'window', 'web');
  const cmake = spawn('cmake', [
    `-DSITE=${site}`,
    '-DFILES=index.html|floor.js|naive.css',
    `-DTEMPLATE=${join(web, 'site', 'sw.js.in')}`,
    '-P',
    join(web, 'service_worker.cmake'),
  ], { stdio: 'inherit' });
  const [code] = await once(cmake, 'exit');
  if (code !== 0) throw new Error(`cmake could not write the floor's sw.js (${code})`);
  return site;
}

async function launch(name, profile, trace) {
  if (name === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: false,
      userDataDir: profile,
      defaultViewport: null,
      protocolTimeout: PATIENCE,
      args: ['--width=800', '--height=700'],
      // With --trace, each composited paint is told to the page.
      extraPrefsFirefox: trace ? { 'dom.send_after_paint_to_content': true } : {},
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

async function playOne(page, ask, kind, urls, random, trace) {
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
    if (isGame(kind)) {
      await page.evaluate(() => document.querySelector('#form button').click());
    } else {
      // The wait before green: 1.5 to 3 s, shorter than LIGHT's to save
      // time; the lag does not depend on it.
      const wait = 1500 + Math.floor(random() * 1500);
      await page.evaluate((start, ms) => window[start](ms), `${kind}Start`, wait);
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
    // With --trace paints (Firefox): when each paint reached the screen
    // (paintTimeStamp) and when the page heard of it, around the go signal.
    const paints =
      trace === 'paints'
        ? await page.evaluate(() => window.zapwitPaints ?? [])
        : undefined;
    const score =
      isGame(kind)
        ? await page.evaluate(() => {
            const lines = [...document.querySelectorAll('#form .line')].map((line) => line.textContent);
            const found = lines.map((text) => text.match(/^Your score is ([ -])(\d+) ,/)).find(Boolean);
            return found ? (found[1] === '-' ? -1 : 1) * Number(found[2]) : null;
          })
        : null;
    const [seen, sent, echo] = answer.slice(1, 4).map((ns) => Number(ns) / 1e6);
    const [go, key, handler] = times.slice(1, 4).map(Number);
    const picked = paints?.filter(([heard]) => heard > go - 100 && heard < go + 100);
    return { kind, clock, seen, sent, echo, delay: Number(answer[4]), go, key, handler, score, paints: picked };
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

// From navigation to the first animation frame that has BOX red, and the
// steps on the way (ms from navigation): the page's HTML in, each file in,
// the page's script run (data-zapwit set), and whether the service worker
// served it.
async function startupOnce(page, url) {
  await page.goto(url, { waitUntil: 'load', timeout: PATIENCE });
  await page.waitForFunction(() => window.zapwitRedAt, { timeout: PATIENCE });
  return page.evaluate(() => {
    const steps = { html: performance.getEntriesByType('navigation')[0].responseEnd };
    for (const entry of performance.getEntriesByType('resource')) {
      const name = new URL(entry.name).pathname.split('/').pop();
      if (!(name in steps)) steps[name] = entry.responseEnd;
    }
    steps.ran = window.zapwitRanAt;
    return { ms: window.zapwitRedAt, steps, worker: Boolean(navigator.serviceWorker?.controller) };
  });
}

// In every page from now on: when BOX is first red on an animation frame,
// and when the page's script marked the page loaded.
function watchStartup(page) {
  return page.evaluateOnNewDocument(() => {
    // The document, not its element: this runs before there is one.
    new MutationObserver((_, observer) => {
      if (!document.documentElement?.dataset.zapwit) return;
      window.zapwitRanAt = performance.now();
      observer.disconnect();
    }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-zapwit'] });
    const frame = () => {
      const box = document.getElementById('BOX');
      if (box && getComputedStyle(box).backgroundColor === 'rgb(255, 0, 0)') window.zapwitRedAt = performance.now();
      else requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  });
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
  const sites = { game: join(root, 'build-web', 'site'), floor: await floorSite() };
  const game = await serve(sites.game);
  const floor = await serve(sites.floor);
  const bench = await serve(here);
  const servers = [game, floor, bench];
  const profile = await mkdtemp(join(tmpdir(), `zapwit-robot-${o.browser}-`));
  const browser = await launch(o.browser, profile, o.trace === 'paints');
  const result = {
    browser: o.browser,
    version: await browser.version(),
    load: o.load,
    floor: o.floor,
    games: [],
    pace: [],
    startup: [],
  };
  try {
    const [page] = await browser.pages();
    const urls = { game: game.url, naive: `${bench.url}naive.html`, floor: `${floor.url}${o.floor}` };
    let kinds = o.kinds.split(',');
    // Each site's own origin, where its worker serves it.
    const home = { game: game.url, floor: floor.url };
    let named = [];
    if (o.other) {
      const others = o.other.split(',');
      named = others.length === 1 ? ['other'] : others.map((folder) => `other-${basename(folder)}`);
      for (const [i, folder] of others.entries()) {
        const other = await serve(folder);
        servers.push(other);
        urls[named[i]] = other.url;
        home[named[i]] = other.url;
        sites[named[i]] = folder;
      }
      kinds = kinds.flatMap((kind) => (kind === 'other' ? named : [kind]));
    }
    if (o.trace === 'paints') {
      await page.evaluateOnNewDocument(() => {
        window.zapwitPaints = [];
        window.addEventListener('MozAfterPaint', (event) =>
          window.zapwitPaints.push([performance.now(), event.paintTimeStamp, event.transactionId]),
        );
      });
    }
    // A fixed sequence of waits for the naive page, the same every run.
    let state = 20261210;
    const random = () => {
      state = (state * 1103515245 + 12345) % 2147483648;
      return state / 2147483648;
    };
    const total = kinds.length * o.games;
    for (let i = 0; i < total; i += 1) {
      const one = await playOne(page, ask, kinds[i % kinds.length], urls, random, o.trace);
      result.games.push(one);
      if (i % 20 === 19) process.stderr.write(`${o.browser} ${o.load}: ${i + 1} of ${total}\n`);
    }
    for (let i = 0; i < o.pace; i += 1) result.pace.push(await paceOnce(page, game.url, 4));

    await watchStartup(page);
    // From the worker: each site loaded until its worker serves it (the
    // first load installs it, the next is the worker's), then measured.
    const starting = ['game', 'floor', ...named];
    for (const kind of starting) {
      for (let load = 0; load < 10 && !(await startupOnce(page, home[kind])).worker; load += 1);
    }
    for (let i = 0; i < o.startups; i += 1) {
      for (const kind of starting) {
        // A first visit, to an origin this browser has never seen.
        const fresh = await serve(sites[kind]);
        try {
          result.startup.push({ kind, visit: 'first', ...(await startupOnce(page, fresh.url)) });
        } finally {
          fresh.child.kill();
        }
        result.startup.push({ kind, visit: 'worker', ...(await startupOnce(page, home[kind])) });
      }
    }
  } finally {
    await browser.close();
    await rm(profile, { recursive: true, force: true });
    await rm(sites.floor, { recursive: true, force: true });
    for (const child of [...servers.map((s) => s.child), robot, wm, ...hogs]) child.kill();
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
  return { n: v.length, mean, sd, p50: rank(0.5), p95: rank(0.95), p99: rank(0.99), max: v.at(-1) };
}
const f = (x) => (x === undefined || x === null ? '–' : x.toFixed(2));
const row = (label, s) =>
  s
    ? `| ${label} | ${s.n} | ${f(s.mean)} | ${f(s.sd)} | ${f(s.p50)} | ${f(s.p95)} | ${f(s.p99)} | ${f(s.max)} |`
    : `| ${label} | 0 | | | | | | |`;
// A go signal whose green reached the X server over this long after it was
// read missed its frame: it came a frame (16.7 ms at 60 Hz) late.
const LATE_MS = 10;
const PAGES = { game: 'game', other: 'other build of the game', naive: 'naive page', floor: 'floor page' };
const pageName = (kind) => PAGES[kind] ?? `the game as built in ${kind.slice('other-'.length)}`;

function stretches(g) {
  const goMono = g.go - g.clock.offset;
  const keyMono = g.key - g.clock.offset;
  // The naive page times the key in its handler, as such pages do.
  const rt = (g.kind === 'naive' ? g.handler : g.key) - g.go;
  return {
    lag: rt - g.delay,
    toScreen: g.seen - goMono,
    oversleep: g.sent - g.seen - g.delay,
    toStamp: keyMono - g.sent,
    toHandler: g.handler - g.key,
    echo: g.echo ? g.echo - g.sent : NaN,
    scoreLag: g.score === null ? NaN : (100 - g.score) * 10 - g.delay,
    roundTrip: g.clock.roundTrip,
    // With --trace paints: the first paint after the go signal Firefox told
    // the page of, at its paintTimeStamp, or where Firefox gives none, when
    // the page heard of it.
    composited:
      (g.paints ?? [])
        .map(([heard, at]) => (at ?? heard) - g.go)
        .filter((ms) => ms >= 0)
        .sort((a, b) => a - b)[0] ?? NaN,
  };
}

async function report(files) {
  const cells = [];
  for (const file of files) cells.push(JSON.parse(await readFile(file, 'utf8')));
  const out = [];
  out.push('| Page, browser, load | Stretch (ms) | n | Mean | SD | p50 | p95 | p99 | Max |');
  out.push('|---|---|---|---|---|---|---|---|---|');
  const late = [];
  for (const cell of cells) {
    const kinds = [...Object.keys(PAGES), ...new Set(cell.games.map((g) => g.kind).filter((kind) => !(kind in PAGES)))];
    for (const kind of kinds) {
      if (!cell.games.some((g) => g.kind === kind)) continue;
      const games = cell.games.filter((g) => g.kind === kind && !g.failed).map(stretches);
      const failed = cell.games.filter((g) => g.kind === kind && g.failed).length;
      const habit = kind === 'floor' && cell.floor ? ` ${cell.floor}` : '';
      const label = `${pageName(kind)}${habit}, ${cell.browser}, ${cell.load}${failed ? ` (${failed} failed)` : ''}`;
      const over = games.map((g) => g.toScreen).filter((ms) => ms > LATE_MS).sort((a, b) => a - b);
      late.push(`| ${label} | ${over.length} of ${games.length} | ${over.map(f).join(', ')} |`);
      const pick = (key) => summary(games.map((s) => s[key]));
      out.push(row(`**${label}**`, pick('lag')).replace(/^\| \*\*(.*)\*\* \|/, `| **$1** | **RT lag** |`));
      for (const [key, name] of [
        ['toScreen', 'go signal → green on the X server'],
        ...(games.some((g) => Number.isFinite(g.composited)) ? [['composited', 'go signal → paint told (MozAfterPaint)']] : []),
        ['oversleep', "robot's delay overrun"],
        ['toStamp', 'key sent → key timeStamp'],
        ['toHandler', 'key timeStamp → handler'],
        ['echo', 'key sent → X server echo to the robot'],
        ...(isGame(kind) ? [['scoreLag', 'RT lag as scored (10 ms points)']] : []),
        ['roundTrip', 'clock offset: shortest round trip'],
      ]) {
        out.push(row(`${label}`, pick(key)).replace(`| ${label} |`, `| ${label} | ${name} |`));
      }
    }
  }
  out.push('');
  out.push(`Loads whose go signal reached the X server over ${LATE_MS} ms after it was read (a frame late):`);
  out.push('');
  out.push('| Page, browser, load | Loads | Go signal → green on the X server (ms) |');
  out.push('|---|---|---|');
  out.push(...late);
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
  out.push(
    'Start-up, from navigation to the first animation frame with BOX red, against the floor page served the same way; ' +
      'a first visit is to an origin the browser has never seen, the others are served by the service worker; loads taking turns:',
  );
  out.push('');
  out.push('| Browser, load | Visit | Page | n | Mean (ms) | SD | p50 | p95 | Max | Game ÷ floor (mean) |');
  out.push('|---|---|---|---|---|---|---|---|---|---|');
  const chains = [];
  for (const cell of cells) {
    for (const visit of ['first', 'worker']) {
      const loads = (kind) => cell.startup.filter((x) => x.kind === kind && x.visit === visit);
      const floor = summary(loads('floor').map((x) => x.ms));
      const floorRan = summary(loads('floor').map((x) => x.steps?.ran));
      const kinds = ['game', 'floor', ...new Set(cell.startup.map((x) => x.kind).filter((k) => k !== 'game' && k !== 'floor'))];
      for (const kind of kinds) {
        const s = summary(loads(kind).map((x) => x.ms));
        const ratio = isGame(kind) && s && floor ? `${(s.mean / floor.mean).toFixed(2)}×` : '';
        out.push(
          `| ${cell.browser}, ${cell.load} | ${visit} | ${pageName(kind)} | ${s?.n ?? 0} | ${f(s?.mean)} | ${f(s?.sd)} | ` +
            `${f(s?.p50)} | ${f(s?.p95)} | ${f(s?.max)} | ${ratio} |`,
        );
        const step = (name) => f(summary(loads(kind).map((x) => x.steps?.[name]))?.mean);
        const ran = summary(loads(kind).map((x) => x.steps?.ran));
        const ranRatio = isGame(kind) && ran && floorRan ? ` (${(ran.mean / floorRan.mean).toFixed(2)}×)` : '';
        const files = isGame(kind) ? ['page.js', 'zapwit.js', 'zapwit.wasm'] : ['floor.js'];
        chains.push(
          `| ${cell.browser}, ${cell.load} | ${visit} | ${pageName(kind)} | ${step('html')} | ` +
            `${files.map((file) => `${file} ${step(file)}`).join(', ')} | ${step('ran')}${ranRatio} | ${f(s?.mean)} |`,
        );
      }
    }
  }
  out.push('');
  out.push('The start-up chain, mean ms from navigation to each step: the HTML in, each file in, the page marked loaded (the game: `main()` run, the game ready to play; in brackets, against the floor page\'s script run), BOX red on a frame:');
  out.push('');
  out.push('| Browser, load | Visit | Page | HTML | Files | Loaded | Red |');
  out.push('|---|---|---|---|---|---|---|');
  out.push(...chains);
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
