// The browser build played in a real browser, as a player sees the page:
// controls are found by their captions, lines are read as text, and every
// wait is on what the page shows or on the page's own clock, never a fixed
// sleep. One browser a run, named by ZAPWIT_BROWSER (chromium or firefox);
// the page is served by scripts/web_server.py from ZAPWIT_SITE, on a free
// port, with the headers a host should send.
import { copyFile, cp, mkdtemp, readFile, readdir, rename, rm, stat, utimes, writeFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import puppeteer from 'puppeteer-core';

import {
  BOX,
  BUTTONS,
  CHROMIUM_FLAGS,
  CLIENT,
  GREEN,
  LATE_KEYS,
  PATIENCE,
  PROMPTS,
  RED,
  REMARK,
  SCORE,
  TICK_MS,
  buildOf,
  cacheOf,
  inPage,
  keepsOnly,
  lateKeyExpected,
  scoreLine,
  startServer,
  until,
} from './game.mjs';

const browserName = process.env.ZAPWIT_BROWSER ?? 'chromium';
const site = process.env.ZAPWIT_SITE;
const siteNext = process.env.ZAPWIT_SITE_NEXT;

let server;
let address;
let browser;
let profile;

// A browser with a profile of its own in `folder`; `noWasm` turns
// WebAssembly off, as some locked-down browsers have it, and `noScripts`
// (Firefox; Chromium turns them off a page at a time) the page's scripts.
function launch(folder, { noWasm = false, noScripts = false } = {}) {
  if (browserName === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: true,
      userDataDir: folder,
      protocolTimeout: PATIENCE,
      extraPrefsFirefox: {
        ...(noWasm ? { 'javascript.options.wasm': false } : {}),
        ...(noScripts ? { 'javascript.enabled': false } : {}),
      },
    });
  }
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: folder,
    protocolTimeout: PATIENCE,
    args: [
      ...CHROMIUM_FLAGS,
      // Without its JIT, V8 offers no WebAssembly.
      ...(noWasm ? ['--js-flags=--jitless'] : []),
    ],
  });
}

before(async () => {
  assert.ok(site && siteNext && process.env.ZAPWIT_SERVER, 'ZAPWIT_SITE, ZAPWIT_SITE_NEXT and ZAPWIT_SERVER must be set');
  server = await startServer(site);
  address = server.url;
  profile = await mkdtemp(join(tmpdir(), `zapwit-${browserName}-`));
  browser = await launch(profile);
});

after(async () => {
  await browser?.close();
  await server?.stop();
  if (profile) await rm(profile, { recursive: true, force: true });
});

// A fresh page load, which is a fresh run of the game, with every console
// error, uncaught exception and policy violation collected.
async function openGame(url = address) {
  const page = await browser.newPage();
  const errors = [];
  const warnings = [];
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(`console: ${message.text()}`);
    if (message.type() === 'warn' || message.type() === 'warning') warnings.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(`page: ${error.message}`));
  page.on('requestfailed', (request) => errors.push(`request failed: ${request.url()}`));
  page.on('request', (request) => {
    if (!request.url().startsWith(url)) errors.push(`request off the origin: ${request.url()}`);
  });
  await page.evaluateOnNewDocument(() => {
    // Told in the same dispatch as the game's own listener.
    window.zapwitHidings = 0;
    document.addEventListener('visibilitychange', () => {
      if (document.hidden) window.zapwitHidings += 1;
      else window.zapwitShownAt = performance.now();
    });
    window.zapwitViolations = [];
    // Calls `step` once an animation frame, as a player looks once a
    // frame, until it returns something; rejects after `patience` ms.
    window.zapwitEachFrame = (step, patience) =>
      new Promise((resolve, reject) => {
        const end = performance.now() + patience;
        const frame = () => {
          const found = step();
          if (found !== undefined) resolve(found);
          else if (performance.now() > end) reject(new Error(`nothing after ${patience} ms`));
          else requestAnimationFrame(frame);
        };
        requestAnimationFrame(frame);
      });
    document.addEventListener('securitypolicyviolation', (event) => {
      window.zapwitViolations.push(`${event.violatedDirective} ${event.blockedURI}`);
    });
  });
  await page.setViewport({ width: 800, height: 600 });
  await page.goto(url, { waitUntil: 'load', timeout: PATIENCE });
  await page.waitForFunction(() => document.documentElement.dataset.zapwit === 'loaded', {
    timeout: PATIENCE,
  });
  return {
    page,
    warnings,
    async close() {
      const violations = await page.evaluate(() => window.zapwitViolations);
      await page.close();
      assert.deepEqual(errors, [], 'console errors');
      assert.deepEqual(violations, [], 'policy violations');
    },
  };
}

// What the page shows, read as a player reads it.
const lines = (page) => page.evaluate(inPage.lines);
const boxLook = (page) => page.evaluate(inPage.box);
const visibleButtons = (page) => page.evaluate(inPage.visibleButtons);
const formColor = (page) => page.evaluate(inPage.formColor);

async function buttonCentre(page, caption) {
  const rect = await page.evaluate((text) => {
    const button = [...document.querySelectorAll('#form button')].find(
      (candidate) => candidate.textContent === text,
    );
    const r = button.getBoundingClientRect();
    return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
  }, caption);
  return rect;
}

async function clickButton(page, caption) {
  const { x, y } = await buttonCentre(page, caption);
  await page.mouse.click(x, y);
}

// Clicks the button `caption` and, in the same task, types a key: the
// fastest a player could. No tick can come between the two, however slow
// the driver's round trips on a loaded machine, so the key is surely
// before any go signal.
const clickThenKey = (page, caption) =>
  page.evaluate((text) => {
    const button = [...document.querySelectorAll('#form button')].find((b) => b.textContent === text);
    button.click();
    document.body.dispatchEvent(new KeyboardEvent('keydown', { key: 'a', code: 'KeyA', bubbles: true }));
  }, caption);

const waitForLines = (page, count) =>
  page.waitForFunction((n) => document.querySelectorAll('#form .line').length >= n, { timeout: PATIENCE }, count);

// Waits until the page's clock has passed `ms` beyond the time it read
// when the wait began, on its animation frames; returns the page time.
const waitPageTime = (page, ms) =>
  page.evaluate((span, patience) => {
    const end = performance.now() + span;
    return window.zapwitEachFrame(() => (performance.now() >= end ? performance.now() : undefined), patience);
  }, ms, ms + PATIENCE);

const runningBuild = (page) => page.evaluate(inPage.runningBuild);
const workerState = (page) => page.evaluate(inPage.workerState);
// Until the worker of build `name` is in charge, with its cache alone.
const keptOnly = (page, name) => until(async () => keepsOnly(await workerState(page), name));

async function reload(page) {
  await page.reload({ waitUntil: 'load', timeout: PATIENCE });
  await page.waitForFunction(() => document.documentElement.dataset.zapwit === 'loaded', {
    timeout: PATIENCE,
  });
}

// Starts COUNTER and stops it with a key: the page plays.
async function playCounter(page) {
  await clickButton(page, 'COUNTER');
  await page.waitForFunction(() => document.getElementById('BOX').textContent !== '', {
    timeout: PATIENCE,
  });
  await page.keyboard.press('KeyA');
  await waitForLines(page, 2);
  assert.match((await lines(page))[1], SCORE);
}

describe(`ZAPWIT in ${browserName}`, () => {
  it('shows the window: title, client area, buttons in place, BOX red and empty', async () => {
    const game = await openGame();
    const { page } = game;
    assert.equal(await page.title(), 'ZAPWIT TEST');
    const layout = await page.evaluate(inPage.layout);
    assert.deepEqual(layout.form, CLIENT);
    assert.deepEqual(layout.buttons, BUTTONS);
    assert.deepEqual(layout.box, BOX);
    assert.deepEqual(await boxLook(page), { color: RED, caption: '' });
    assert.deepEqual(await lines(page), []);
    await game.close();
  });

  // The page's HTML and CSS hold the window: it is whole, BOX red, before
  // the game has run (here its zapwit.js never starts it).
  it('draws the window before its game has run', async () => {
    const held = await siteCopy(site, (folder) => writeFile(join(folder, 'zapwit.js'), '// held back\n'));
    const own = await startServer(held);
    const page = await browser.newPage();
    try {
      await page.setViewport({ width: 800, height: 600 });
      await page.goto(own.url, { waitUntil: 'load', timeout: PATIENCE });
      const layout = await page.evaluate(inPage.layout);
      assert.deepEqual(layout, { form: CLIENT, buttons: BUTTONS, box: BOX });
      assert.deepEqual(await boxLook(page), { color: RED, caption: '' });
      assert.deepEqual(await visibleButtons(page), BUTTONS.map((button) => button.caption));
      assert.deepEqual(
        await page.evaluate(() => ({
          status: document.getElementById('status').textContent,
          ran: document.documentElement.dataset.zapwit ?? null,
        })),
        { status: '', ran: null },
      );
    } finally {
      await page.close();
      await own.stop();
      await rm(held, { recursive: true, force: true });
    }
  });

  // A press while the game is still on its way is not lost: the test starts
  // once the game runs (here zapwit.js is held back until after the click).
  it('starts the test of a button pressed before its game had run', async () => {
    const own = await startServer(site); // a new origin: no worker answers for it
    const page = await browser.newPage();
    const held = [];
    try {
      await page.setViewport({ width: 800, height: 600 });
      await page.setRequestInterception(true);
      page.on('request', (request) => {
        if (new URL(request.url()).pathname.endsWith('/zapwit.js')) held.push(request);
        else request.continue();
      });
      await page.goto(own.url, { waitUntil: 'domcontentloaded', timeout: PATIENCE });
      assert.ok(await until(async () => held.length > 0), 'zapwit.js was never asked for');
      assert.equal(await page.evaluate(() => document.documentElement.dataset.zapwit ?? null), null);
      await clickButton(page, 'JUMP');
      for (const request of held) request.continue();
      await page.waitForFunction(() => document.documentElement.dataset.zapwit === 'loaded', { timeout: PATIENCE });
      await waitForLines(page, 1);
      assert.deepEqual(await lines(page), [PROMPTS.JUMP]);
      assert.deepEqual(await visibleButtons(page), []);
    } finally {
      await page.close();
      await own.stop();
    }
  });

  // Without scripts the picture of the window would be dead controls: the
  // page says why it cannot run instead.
  it('shows no control, only why, where scripts are off', async () => {
    const folder = await mkdtemp(join(tmpdir(), `zapwit-${browserName}-noscripts-`));
    const bare = browserName === 'firefox' ? await launch(folder, { noScripts: true }) : browser;
    const page = await bare.newPage();
    try {
      if (bare === browser) await page.setJavaScriptEnabled(false);
      await page.goto(address, { waitUntil: 'load', timeout: PATIENCE });
      assert.deepEqual(
        await page.evaluate(() => ({
          controls: [...document.querySelectorAll('#form .start, #form .box')].filter(
            (control) => control.getClientRects().length > 0,
          ).length,
          said: document.querySelector('#form noscript .status')?.innerText ?? '',
        })),
        { controls: 0, said: 'ZAPWIT needs JavaScript and WebAssembly, which this browser does not run.' },
      );
    } finally {
      await page.close();
      if (bare !== browser) await bare.close();
      await rm(folder, { recursive: true, force: true });
    }
  });

  // The benchmarks measure the game beside bench/web's pages: each shows
  // BOX where the game does, as large and as red, and turns it green.
  it("shows BOX in bench/web's pages as the game does", async () => {
    const bench = await startServer(fileURLToPath(new URL('../../bench/web/', import.meta.url)));
    const page = await browser.newPage();
    try {
      await page.setViewport({ width: 800, height: 600 });
      for (const [file, start] of [['naive.html', 'naiveStart'], ['floor.html', 'floorStart']]) {
        await page.goto(`${bench.url}${file}`, { waitUntil: 'load', timeout: PATIENCE });
        const layout = await page.evaluate(inPage.layout);
        assert.deepEqual({ form: layout.form, box: layout.box }, { form: CLIENT, box: BOX }, file);
        assert.equal((await boxLook(page)).color, RED, file);
        await page.evaluate((name) => window[name](0), start);
        await page.waitForFunction((green) => getComputedStyle(document.getElementById('BOX')).backgroundColor === green, { timeout: PATIENCE }, GREEN);
      }
    } finally {
      await page.close();
      await bench.stop();
    }
  });

  it('scales the whole client area down to fit a small viewport, and never scrolls', async () => {
    const game = await openGame();
    const { page } = game;
    for (const viewport of [
      { width: 360, height: 640 },
      { width: 640, height: 360 },
      { width: 1024, height: 768 },
    ]) {
      await page.setViewport(viewport);
      const scale = Math.min(1, viewport.width / CLIENT.width, viewport.height / CLIENT.height);
      await page.waitForFunction(
        (want) => Math.abs(document.getElementById('form').getBoundingClientRect().width - want) < 0.5,
        { timeout: PATIENCE },
        CLIENT.width * scale,
      );
      const seen = await page.evaluate(() => {
        const form = document.getElementById('form').getBoundingClientRect();
        const box = document.getElementById('BOX').getBoundingClientRect();
        const scroller = document.scrollingElement;
        return {
          form: { x: form.x, y: form.y, width: form.width, height: form.height },
          box: { x: box.x, y: box.y, width: box.width },
          scrolls: scroller.scrollWidth > innerWidth || scroller.scrollHeight > innerHeight,
        };
      });
      const near = (a, b) => Math.abs(a - b) < 0.5;
      assert.ok(near(seen.form.height, CLIENT.height * scale), `${JSON.stringify(viewport)}: ${JSON.stringify(seen)}`);
      assert.ok(near(seen.box.x, BOX.left * scale) && near(seen.box.width, BOX.width * scale));
      assert.ok(seen.form.x === 0 && seen.form.y === 0);
      assert.equal(seen.scrolls, false, `${JSON.stringify(viewport)} scrolls`);
    }
    await game.close();
  });

  it('focuses LIGHT at load; Tab moves along the buttons and Space starts the focused test', async () => {
    const game = await openGame();
    const { page } = game;
    const focused = () => page.evaluate(() => document.activeElement?.textContent ?? '');
    assert.equal(await focused(), 'LIGHT');
    for (const caption of ['JUMP', 'NUMBER', 'COUNTER']) {
      await page.keyboard.press('Tab');
      assert.equal(await focused(), caption);
    }
    await page.keyboard.press(' ');
    await waitForLines(page, 1);
    assert.deepEqual(await lines(page), [PROMPTS.COUNTER]);
    assert.deepEqual(await visibleButtons(page), []);
    await game.close();
  });

  for (const [caption, colour] of [
    ['LIGHT', RED],
    ['JUMP', RED],
    ['NUMBER', 'form'],
    ['COUNTER', 'form'],
  ]) {
    it(`starts ${caption} by a click: its prompt, no button left, BOX ${colour === 'form' ? "the form's colour" : 'red'}`, async () => {
      const game = await openGame();
      const { page } = game;
      // BOX's colour in the first frame that shows the prompt: a tick or
      // two into the test, long before JUMP (50 ticks) or LIGHT (100)
      // change it, however late the driver reads the answer.
      const firstLook = page.evaluate((patience) => {
        const box = document.getElementById('BOX');
        return window.zapwitEachFrame(
          () => (document.querySelector('#form .line') ? getComputedStyle(box).backgroundColor : undefined),
          patience,
        );
      }, PATIENCE);
      await clickButton(page, caption);
      const seen = await firstLook;
      assert.deepEqual(await lines(page), [PROMPTS[caption]]);
      assert.deepEqual(await visibleButtons(page), []);
      assert.equal(seen, colour === 'form' ? await formColor(page) : colour);
      await game.close();
    });
  }

  it('plays COUNTER: the caption falls with page time, and the score agrees with BOX', async () => {
    const game = await openGame();
    const { page } = game;
    await clickButton(page, 'COUNTER');
    await page.waitForFunction(() => document.getElementById('BOX').textContent !== '', {
      timeout: PATIENCE,
    });
    // The count moves on (awaited as such: one late frame on a loaded
    // machine can span any wait on the page's clock with no tick run).
    const first = Number((await boxLook(page)).caption);
    await page.waitForFunction(
      (then) => Number(document.getElementById('BOX').textContent) < then,
      { timeout: PATIENCE },
      first,
    );
    await page.keyboard.press('KeyA');
    await waitForLines(page, 2);
    const shown = Number((await boxLook(page)).caption);
    const score = 100 - Math.abs(shown - 100);
    const expected = [PROMPTS.COUNTER, scoreLine(score)];
    if (score < 0) expected.push(REMARK);
    await waitForLines(page, expected.length);
    assert.deepEqual(await lines(page), expected);
    // The test is over: the count stands.
    await waitPageTime(page, 100);
    assert.equal(Number((await boxLook(page)).caption), shown);
    await game.close();
  });

  it('plays LIGHT with a real key: a key a tick after green scores what its time says, 0 to 100', async () => {
    const game = await openGame();
    const { page } = game;
    await clickButton(page, 'LIGHT');
    // The first frame that shows green, and the frame before it, by page
    // time: the go signal's tick ran between the two.
    const green = await page.evaluate(
      (want, patience) => {
        const box = document.getElementById('BOX');
        let before = performance.now();
        return window.zapwitEachFrame(() => {
          const now = performance.now();
          if (getComputedStyle(box).backgroundColor === want) return { before, at: now };
          before = now;
          return undefined;
        }, patience);
      },
      GREEN,
      PATIENCE,
    );
    // A tick after the green one: a frame at least 1/64 s after the green
    // frame, and one more, so the game's own frame has run it too.
    await page.evaluate(
      async (since, tick, patience) => {
        await window.zapwitEachFrame(() => (performance.now() >= since + tick ? true : undefined), patience);
        await window.zapwitEachFrame(() => true, patience);
      },
      green.at,
      TICK_MS,
      PATIENCE,
    );
    // The key, from the driver's input: made after `sent`, handled before
    // `answered`. Its reaction lies between the two, less the go signal's
    // time, which lies between the frames around it.
    const sent = await page.evaluate(() => performance.now());
    await page.keyboard.press('KeyA');
    await waitForLines(page, 2);
    const answered = await page.evaluate(() => performance.now());
    const [, line] = await lines(page);
    assert.match(line, SCORE);
    const score = Number(line.match(/^Your score is ([ -]\d+) ,/)[1]);
    // A point a hundredth of a second; two more either way for the
    // rounding and the clock's single precision (up to 8 ms a reading).
    const most = Math.ceil(100 - (sent - green.at) / 10) + 2;
    const least = Math.floor(100 - (answered - green.before) / 10) - 2;
    assert.ok(score <= 100 && score <= most && score >= least, `${score} not within ${least}..${Math.min(most, 100)}`);
    if (answered - green.before < 1000) assert.ok(score >= 0, `${score} below 0 for a key within a second`);
    await game.close();
  });

  it('ends LIGHT without a score on a key before green', async () => {
    const game = await openGame();
    const { page } = game;
    const started = await page.evaluate(() => performance.now());
    await clickThenKey(page, 'LIGHT');
    // LIGHT is green by its 399th tick at the latest. Past that, a BOX that
    // is not green shows the key ended the test before green (an ended test
    // changes BOX no more), and no score line came of it.
    await page.evaluate(
      (until, patience) => window.zapwitEachFrame(() => (performance.now() >= until ? true : undefined), patience),
      started + 400 * TICK_MS + 100,
      PATIENCE,
    );
    assert.notEqual((await boxLook(page)).color, GREEN);
    assert.deepEqual(await lines(page), [PROMPTS.LIGHT]);
    await game.close();
  });

  for (const [caption, signal] of LATE_KEYS) {
    it(`answers a ${caption} key made before a tick and handed over after it as the desktop would`, async () => {
      const game = await openGame();
      const { page } = game;
      await clickButton(page, caption);
      const then = await page.evaluate(inPage.keyMadeBeforeATick, signal, PATIENCE);
      assert.ok(!then.timedOut, `BOX never showed ${signal}`);
      const expected = lateKeyExpected(caption, then);
      if (expected.fromMidnight) {
        // The score and the remark come from one handler.
        await waitForLines(page, 2);
        const [prompt, score, remark] = await lines(page);
        assert.equal(prompt, expected.prompt);
        assert.match(score, /^Your score is -\d+ , 100 is perfect\.$/, 'scored as if after the go signal');
        assert.equal(remark, REMARK);
      } else {
        await waitForLines(page, expected.lines.length);
        // Frames enough for a line that should not come: the test is over
        // and its BOX stands, a tick's time on.
        await waitPageTime(page, 2 * TICK_MS);
        assert.deepEqual(await lines(page), expected.lines);
      }
      assert.deepEqual(await page.evaluate(inPage.boxPlace), then, 'BOX as it was when the key was made');
      await game.close();
    });
  }

  it('keeps the buttons within Tab\'s reach after a click on the surface, and gives Tab to the browser once a test is over', async () => {
    const game = await openGame();
    const { page } = game;
    const focused = () => page.evaluate(() => document.activeElement?.textContent ?? '');
    await page.mouse.click(400, 300);
    assert.equal(await focused(), 'LIGHT', 'a click on the surface took the focus');
    await page.keyboard.press('Tab');
    assert.equal(await focused(), 'JUMP');
    await page.keyboard.down('Shift');
    await page.keyboard.press('Tab');
    await page.keyboard.up('Shift');
    assert.equal(await focused(), 'LIGHT');
    // Idle after a test, Tab is the browser's again: not prevented.
    await playCounter(page);
    const prevented = await page.evaluate(() => {
      const tab = new KeyboardEvent('keydown', { key: 'Tab', code: 'Tab', bubbles: true, cancelable: true });
      document.body.dispatchEvent(tab);
      return tab.defaultPrevented;
    });
    assert.equal(prevented, false, 'Tab kept by the game after the test');
    await game.close();
  });

  it('gives the test a key sent to its button just as the button starts it', async () => {
    const game = await openGame();
    const { page } = game;
    await page.evaluate(() => {
      const button = [...document.querySelectorAll('#form button')].find((b) => b.textContent === 'COUNTER');
      button.focus();
      button.click();
      button.dispatchEvent(new KeyboardEvent('keydown', { key: ' ', code: 'Space', bubbles: true, cancelable: true }));
    });
    await waitForLines(page, 2);
    const [prompt, score] = await lines(page);
    assert.equal(prompt, PROMPTS.COUNTER);
    // Before the first tick: 200 less the drawn target.
    assert.match(score, /^Your score is [ -]\d+ , 100 is perfect\.$/);
    await game.close();
  });

  if (browserName === 'chromium') {
    it('keeps BOX in the game\'s colours under forced colours, and plays LIGHT to a score', async () => {
      const game = await openGame();
      const { page } = game;
      // As Windows' high contrast themes have it (puppeteer's own call
      // knows no forced-colors).
      const session = await page.createCDPSession();
      await session.send('Emulation.setEmulatedMedia', { features: [{ name: 'forced-colors', value: 'active' }] });
      assert.equal(await page.evaluate(() => matchMedia('(forced-colors: active)').matches), true);
      assert.equal((await boxLook(page)).color, RED);
      await clickButton(page, 'LIGHT');
      const green = await page.evaluate(
        (want, patience) => {
          const box = document.getElementById('BOX');
          return window.zapwitEachFrame(
            () => (getComputedStyle(box).backgroundColor === want ? performance.now() : undefined),
            patience,
          );
        },
        GREEN,
        PATIENCE,
      );
      await waitPageTime(page, 2 * TICK_MS + 1);
      assert.ok(green > 0);
      await page.keyboard.press('KeyA');
      await waitForLines(page, 2);
      assert.match((await lines(page))[1], SCORE);
      await session.detach();
      await game.close();
    });
  }

  it('restarts its ticks when shown again: none for a tick\'s time, no burst for the time hidden', async (t) => {
    const game = await openGame();
    const { page } = game;
    await clickButton(page, 'COUNTER');
    await page.waitForFunction(() => document.getElementById('BOX').textContent !== '', {
      timeout: PATIENCE,
    });
    // Hidden for 100 ms of page time in one task, so no frame comes
    // between: short of the schedule's catch-up bound (16 ticks, 250 ms),
    // which would otherwise drop the missed ticks just as a restart does.
    const seen = await page.evaluate((tick, patience) => {
      let hidden = false;
      Object.defineProperty(document, 'hidden', { configurable: true, get: () => hidden });
      const box = document.getElementById('BOX');
      hidden = true;
      document.dispatchEvent(new Event('visibilitychange'));
      const from = performance.now();
      const held = box.textContent;
      while (performance.now() < from + 100);
      hidden = false;
      document.dispatchEvent(new Event('visibilitychange'));
      const shown = performance.now();
      // Each frame after the showing: no more ticks than its time since.
      const frames = [];
      return window.zapwitEachFrame(() => {
        frames.push({ at: performance.now() - shown, fell: Number(held) - Number(box.textContent) });
        return frames.at(-1).fell >= 3 ? { spell: shown - from, frames } : undefined;
      }, patience);
    }, TICK_MS, PATIENCE);
    if (seen.spell >= 16 * TICK_MS) {
      await game.close();
      t.skip(`the page was stalled past the catch-up bound (${seen.spell.toFixed(1)} ms)`);
      return;
    }
    for (const { at, fell } of seen.frames) {
      assert.ok(fell <= Math.floor(at / TICK_MS + 0.01), `fell ${fell} ${at.toFixed(2)} ms after showing: ${JSON.stringify(seen)}`);
    }
    await game.close();
  });

  it('holds while the page is hidden, and goes on from where it was when shown again', async (t) => {
    const game = await openGame();
    const { page } = game;
    await clickButton(page, 'COUNTER');
    await page.waitForFunction(() => document.getElementById('BOX').textContent !== '', {
      timeout: PATIENCE,
    });
    // Another tab in front hides this one, as a player switching tabs does.
    const other = await browser.newPage();
    await other.bringToFront();
    const hidden = await until(() => page.evaluate(() => window.zapwitHidings > 0));
    if (!hidden) {
      await other.close();
      await game.close();
      t.skip(`${browserName} did not hide the page behind another tab`);
      return;
    }
    const held = (await boxLook(page)).caption;
    const since = await page.evaluate(() => performance.now());
    // Hidden for ten ticks' time and more (the driver's round trips add to
    // it). That the schedule restarts on showing is checked in the suites
    // (FrameTicks); here, what a player sees: nothing moves while hidden,
    // and the count goes on from where it stood.
    assert.ok(await until(() => page.evaluate((t0) => performance.now() > t0 + 150, since)));
    assert.equal((await boxLook(page)).caption, held, 'ticks came while hidden');
    // The first caption after the hold, read in the first frame that shows
    // a change: a frame runs the ticks due since the last, two at 60 Hz,
    // more only if the frames come slower.
    const first = page.evaluate(
      (was, patience) => {
        const box = document.getElementById('BOX');
        return window.zapwitEachFrame(
          () => (box.textContent !== was ? { caption: box.textContent, at: performance.now() } : undefined),
          patience,
        );
      },
      held,
      PATIENCE,
    );
    await page.bringToFront();
    const { caption, at } = await first;
    await other.close();
    // No more ticks than the time since the page was shown holds: a burst
    // would make up for the hidden time.
    const shownAt = await page.evaluate(() => window.zapwitShownAt);
    const fell = Number(held) - Number(caption);
    const most = Math.floor((at - shownAt) / TICK_MS) + 1;
    assert.ok(fell >= 1 && fell <= most, `fell ${fell} in ${(at - shownAt).toFixed(1)} ms after showing`);
    await game.close();
  });

  it('scores JUMP keyed before green from midnight, repeats the remark, and stops the lines at the bottom edge', async (t) => {
    const game = await openGame();
    const { page } = game;
    const secondsToday = () =>
      page.evaluate(() => {
        const now = new Date();
        return now.getHours() * 3600 + now.getMinutes() * 60 + now.getSeconds() + now.getMilliseconds() / 1000;
      });
    const before = await secondsToday();
    if (before < 10 || before > 86400 - 10) {
      t.skip('within ten seconds of local midnight');
      await game.close();
      return;
    }
    await clickThenKey(page, 'JUMP');
    await waitForLines(page, 3);
    const afterKey = await secondsToday();
    const [, score, remark] = await lines(page);
    assert.equal(remark, REMARK);
    const value = Number(score.match(/^Your score is (-\d+) , 100 is perfect\.$/)?.[1]);
    // 100 less a point per hundredth of a second since midnight; the
    // single-precision clock steps in up to 8 ms, and the page read the
    // time of day before and after the key.
    const low = Math.round(100 - 100 * afterKey) - 2;
    const high = Math.round(100 - 100 * before) + 2;
    assert.ok(value >= low && value <= high, `${value} not within ${low}..${high}`);
    // Every later key repeats the remark, an auto-repeated one too.
    await page.evaluate(() => {
      window.zapwitRepeats = [];
      window.addEventListener('keydown', (event) => window.zapwitRepeats.push(event.repeat));
    });
    await page.keyboard.down('KeyC');
    await page.keyboard.down('KeyC');
    await page.keyboard.up('KeyC');
    await waitForLines(page, 5);
    assert.deepEqual((await lines(page)).slice(3), [REMARK, REMARK]);
    assert.deepEqual(await page.evaluate(() => window.zapwitRepeats), [false, true]);
    // Until the window's bottom edge.
    for (let key = 0; key < 40; key += 1) await page.keyboard.press('KeyB');
    await waitPageTime(page, 50);
    const shown = await page.evaluate(() =>
      [...document.querySelectorAll('#form .line')].map((line) => ({
        text: line.textContent,
        top: line.offsetTop,
        height: line.offsetHeight,
      })),
    );
    assert.ok(shown.slice(2).every((line) => line.text === REMARK));
    const last = shown.at(-1);
    assert.ok(last.top < CLIENT.height, `a line below the bottom edge, at ${last.top}`);
    assert.ok(last.top + 2 * last.height > CLIENT.height, `lines stop short of the bottom, at ${last.top}`);
    assert.ok(shown.length < 43, 'every line kept');
    await game.close();
  });

  it('shows NUMBER only odd numbers, then one even one, sampled once a frame', async () => {
    const game = await openGame();
    const { page } = game;
    await clickButton(page, 'NUMBER');
    const seen = await page.evaluate((patience) => {
      const box = document.getElementById('BOX');
      const captions = [];
      return window.zapwitEachFrame(() => {
        const caption = box.textContent;
        if (caption !== '' && captions.at(-1) !== caption) captions.push(caption);
        return caption !== '' && Number(caption) % 2 === 0 ? captions : undefined;
      }, patience);
    }, PATIENCE);
    const numbers = seen.map(Number);
    // At least one odd number before the even one, even with frames
    // missed on a loaded machine (a step lasts ten ticks).
    assert.ok(numbers.length >= 2, `only ${seen}`);
    assert.ok(numbers.slice(0, -1).every((n) => n % 2 === 1 && n >= 1 && n <= 99), `${seen}`);
    assert.ok(numbers.at(-1) % 2 === 0 && numbers.at(-1) <= 100, `${seen}`);
    assert.ok(seen.every((caption) => /^ \d+$/.test(caption)), `${seen}`);
    // It stays.
    await waitPageTime(page, 20 * TICK_MS);
    assert.equal((await boxLook(page)).caption, seen.at(-1));
    await game.close();
  });

  it('ignores Shift, an arrow and an F-key, leaves a Ctrl+key to the browser, and takes Tab in a running test', async () => {
    const game = await openGame();
    const { page } = game;
    await clickButton(page, 'COUNTER');
    await waitForLines(page, 1);
    for (const key of ['Shift', 'ArrowLeft', 'F2']) await page.keyboard.press(key);
    await page.evaluate(() => {
      window.zapwitCtrl = [];
      window.addEventListener('keydown', (event) => {
        if (event.ctrlKey) window.zapwitCtrl.push(event.defaultPrevented);
      });
    });
    await page.keyboard.down('Control');
    await page.keyboard.press('KeyB');
    await page.keyboard.up('Control');
    await page.waitForFunction(() => window.zapwitCtrl.length > 0, { timeout: PATIENCE });
    assert.ok((await page.evaluate(() => window.zapwitCtrl)).every((prevented) => prevented === false));
    // Still running: the count goes on and nothing was printed. (BOX has
    // no count before the test's first tick, and one frame late on a
    // loaded machine can hold a whole wait on the page's clock, ticks
    // unrun: what is awaited is the count moving on.)
    await page.waitForFunction(() => document.getElementById('BOX').textContent !== '', { timeout: PATIENCE });
    const count = Number((await boxLook(page)).caption);
    await page.waitForFunction(
      (then) => Number(document.getElementById('BOX').textContent) < then,
      { timeout: PATIENCE },
      count,
    );
    assert.deepEqual(await lines(page), [PROMPTS.COUNTER]);
    await page.keyboard.press('Tab');
    await waitForLines(page, 2);
    assert.match((await lines(page))[1], SCORE);
    await game.close();
  });

  it('starts a test and answers it by touch; a mouse click on the page is no key', async () => {
    const game = await openGame();
    const { page } = game;
    const counter = await buttonCentre(page, 'COUNTER');
    await page.touchscreen.tap(counter.x, counter.y);
    await waitForLines(page, 1);
    assert.deepEqual(await lines(page), [PROMPTS.COUNTER]);
    await page.mouse.click(400, 400);
    await waitPageTime(page, 100);
    assert.equal((await lines(page)).length, 1, 'a mouse click answered');
    await page.touchscreen.tap(400, 400);
    await waitForLines(page, 2);
    assert.match((await lines(page))[1], SCORE);
    await game.close();
  });

  // Chromium's accessibility tree, as its screen readers get it (Firefox
  // gives puppeteer none).
  if (browserName === 'chromium') {
    it('shows assistive technology the names the desktops show: the buttons in tab order, BOX, the lines in a log', async () => {
      const game = await openGame();
      const { page } = game;
      const tree = async () => {
        const flat = [];
        const walk = (node, log) => {
          flat.push({ role: node.role, name: node.name, inLog: log });
          for (const child of node.children ?? []) walk(child, log || node.role === 'log');
        };
        walk(await page.accessibility.snapshot({ interestingOnly: true }), false);
        return flat;
      };
      const before = await tree();
      assert.deepEqual(
        before.filter((node) => node.role === 'button').map((node) => node.name),
        BUTTONS.map((button) => button.caption),
      );
      assert.equal(before.filter((node) => node.name === 'BOX').map((node) => node.role).join(), 'figure');
      await playCounter(page);
      const after = await tree();
      const logged = after.filter((node) => node.inLog && node.role === 'StaticText').map((node) => node.name);
      assert.deepEqual(logged.slice(0, 2), [PROMPTS.COUNTER, (await lines(page))[1]], JSON.stringify(after));
      await game.close();
    });
  }

  it('passes axe-core\'s WCAG 2.1 A and AA rules at load and after a score', async () => {
    const require = createRequire(import.meta.url);
    const axeSource = await readFile(require.resolve('axe-core/axe.min.js'), 'utf8');
    const game = await openGame();
    const { page } = game;
    const check = async (when) => {
      await page.evaluate(axeSource);
      const result = await page.evaluate(() =>
        window.axe.run(document, {
          runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] },
        }),
      );
      const found = result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(', ')}`);
      assert.deepEqual(found, [], `axe-core ${when}`);
      return result.passes.length;
    };
    const passes = await check('at load');
    await clickButton(page, 'COUNTER');
    await waitForLines(page, 1);
    await page.keyboard.press('KeyA');
    await waitForLines(page, 2);
    await check('after a score');
    process.stdout.write(`# axe-core: 0 violations, ${passes} rules passed at load\n`);
    await game.close();
  });

  it('plays where the host sends no headers, with the coarser timer', async () => {
    const plain = await startServer(site, '--plain');
    try {
      const game = await openGame(plain.url);
      const { page } = game;
      assert.equal(await page.evaluate(() => window.crossOriginIsolated), false);
      await playCounter(page);
      await game.close();
    } finally {
      await plain.stop();
    }
  });

  it('says in one line that it needs WebAssembly where the browser runs none', async () => {
    const folder = await mkdtemp(join(tmpdir(), `zapwit-${browserName}-nowasm-`));
    const bare = await launch(folder, { noWasm: true });
    try {
      const page = await bare.newPage();
      await page.goto(address, { waitUntil: 'load', timeout: PATIENCE });
      await page.waitForFunction(() => document.getElementById('status').textContent !== '', {
        timeout: PATIENCE,
      });
      const shown = await page.evaluate(() => ({
        status: document.getElementById('status').textContent,
        buttons: document.querySelectorAll('#form button').length,
        wasm: typeof WebAssembly,
      }));
      assert.deepEqual(shown, {
        status: 'ZAPWIT needs WebAssembly, which this browser does not run.',
        buttons: 0,
        wasm: 'undefined',
      });
    } finally {
      await bare.close();
      await rm(folder, { recursive: true, force: true });
    }
  });

  it('reports its timer resolution, cross-origin isolated', async () => {
    const game = await openGame();
    const { page } = game;
    const isolated = await page.evaluate(() => window.crossOriginIsolated);
    const step = await page.evaluate(inPage.timerStep);
    assert.equal(isolated, true, 'the server sent the isolation headers');
    process.stdout.write(`# ${browserName}: performance.now() resolution ${(step * 1000).toFixed(1)} us\n`);
    await game.close();
  });

  // The page asks for its game files in its head, before its script runs;
  // a preload the page's own request does not match is downloaded twice.
  it('downloads each of its game files once on a first visit', async () => {
    const own = await startServer(site);
    try {
      const game = await openGame(own.url);
      const fetched = await game.page.evaluate(() =>
        performance.getEntriesByType('resource').map((entry) => new URL(entry.name).pathname.split('/').pop()),
      );
      for (const file of ['page.js', 'zapwit.js', 'zapwit.wasm']) {
        assert.equal(fetched.filter((name) => name === file).length, 1, `${file} in ${fetched.join(', ')}`);
      }
      await game.close();
    } finally {
      await own.stop();
    }
  });

  it('plays after one visit with the server stopped, still cross-origin isolated', async () => {
    const own = await startServer(site);
    try {
      const build = await buildOf(site);
      const visit = await openGame(own.url);
      assert.ok(await keptOnly(visit.page, build.name), 'the service worker never kept the build');
      await visit.close();
      await own.stop();
      const game = await openGame(own.url);
      const { page } = game;
      assert.deepEqual(await runningBuild(page), { html: build.version, game: build.version, served: 'worker' });
      assert.equal(await page.evaluate(() => window.crossOriginIsolated), true);
      await playCounter(page);
      await game.close();
    } finally {
      await own.stop();
    }
  });

  it('replaces its build with the next one served in its place: each load runs one build whole, with one tab open', async () => {
    const [first, next] = [await buildOf(site), await buildOf(siteNext)];
    assert.notEqual(first.name, next.name);
    assert.notEqual(first.version, next.version);
    const served = await mkdtemp(join(tmpdir(), 'zapwit-served-'));
    await cp(site, served, { recursive: true });
    const own = await startServer(served);
    try {
      const game = await openGame(own.url);
      const { page } = game;
      assert.ok(await keptOnly(page, first.name), 'the first build was never kept');
      assert.deepEqual(await runningBuild(page), { html: first.version, game: first.version, served: 'network' });
      // The next build goes up file by file, each in one rename, as a
      // careful deployment does. Each file keeps the time of the one it
      // replaces, as a deployment within the same second gives them: only
      // the content tells the builds apart.
      for (const file of await readdir(siteNext)) {
        const was = await stat(join(served, file)).catch(() => undefined);
        await copyFile(join(siteNext, file), join(served, `.${file}.new`));
        if (was) await utimes(join(served, `.${file}.new`), was.atime, was.mtime);
        await rename(join(served, `.${file}.new`), join(served, file));
      }
      // The first reload may run either build, but one build whole.
      await reload(page);
      const seen = await runningBuild(page);
      assert.equal(seen.game, seen.html, 'files from two builds in one page');
      assert.ok([first.version, next.version].includes(seen.html), JSON.stringify(seen));
      assert.ok(await keptOnly(page, next.name), `the next build never took over: ${JSON.stringify(await workerState(page))}`);
      // The second runs the next build, whole, from its cache.
      await reload(page);
      assert.deepEqual(await runningBuild(page), { html: next.version, game: next.version, served: 'worker' });
      await playCounter(page);
      await game.close();
    } finally {
      await own.stop();
      await rm(served, { recursive: true, force: true });
    }
  });

  // A site folder made from `from`, with `change` applied to its files.
  async function siteCopy(from, change = async () => {}) {
    const folder = await mkdtemp(join(tmpdir(), 'zapwit-served-'));
    await cp(from, folder, { recursive: true });
    await change(folder);
    return folder;
  }

  // A host that rewrote the page and lost the window's controls on the way:
  // the game puts them back, placed by the page's CSS, and plays.
  it('plays where the host served the page without the window in it', async () => {
    const stripped = await siteCopy(site, async (folder) => {
      const page = join(folder, 'index.html');
      const html = await readFile(page, 'utf8');
      const bare = html.replace(/<div class="lines"[\s\S]*?<div class="box"[^>]*><\/div>\n/, '');
      assert.notEqual(bare, html, 'the window was in the page');
      await writeFile(page, bare);
    });
    const own = await startServer(stripped);
    try {
      const game = await openGame(own.url);
      const { page } = game;
      const layout = await page.evaluate(inPage.layout);
      assert.deepEqual(layout, { form: CLIENT, buttons: BUTTONS, box: BOX });
      await playCounter(page);
      await game.close();
    } finally {
      await own.stop();
      await rm(stripped, { recursive: true, force: true });
    }
  });

  it('plays behind a host that redirects /index.html to /, kept, reloaded, online and offline', async () => {
    const build = await buildOf(site);
    const own = await startServer(site, '--redirect-index');
    try {
      const game = await openGame(own.url);
      const { page } = game;
      assert.ok(await keptOnly(page, build.name), `never kept: ${JSON.stringify(await workerState(page))}`);
      await reload(page);
      assert.deepEqual(await runningBuild(page), { html: build.version, game: build.version, served: 'worker' });
      await playCounter(page);
      await own.stop();
      await reload(page);
      assert.deepEqual(await runningBuild(page), { html: build.version, game: build.version, served: 'worker' });
      await playCounter(page);
      await game.close();
    } finally {
      await own.stop();
    }
  });

  it('keeps two builds under two paths of one origin, each visited once, both playing offline', async () => {
    const [first, next] = [await buildOf(site), await buildOf(siteNext)];
    const root = await mkdtemp(join(tmpdir(), 'zapwit-origin-'));
    await cp(site, join(root, 'stable'), { recursive: true });
    await cp(siteNext, join(root, 'beta'), { recursive: true });
    const own = await startServer(root);
    const copies = [
      ['stable/', first],
      ['beta/', next],
    ];
    try {
      for (const [path, build] of copies) {
        const visit = await openGame(own.url + path);
        assert.ok(await keptOnly(visit.page, build.name), `${path} never kept: ${JSON.stringify(await workerState(visit.page))}`);
        await visit.close();
      }
      await own.stop();
      for (const [path, build] of copies) {
        const game = await openGame(own.url + path);
        const { page } = game;
        assert.deepEqual(await runningBuild(page), { html: build.version, game: build.version, served: 'worker' }, path);
        const { caches } = await workerState(page);
        assert.deepEqual(caches.sort(), [cacheOf(next.name, `${own.url}beta/`), cacheOf(first.name, `${own.url}stable/`)].sort());
        await playCounter(page);
        await game.close();
      }
    } finally {
      await own.stop();
      await rm(root, { recursive: true, force: true });
    }
  });

  it('says once on the console why a host that changes a file keeps it from being kept, and plays', async () => {
    // As a host that injects a script or minifies does: one byte more.
    const changed = await siteCopy(site, async (folder) => {
      const css = join(folder, 'style.css');
      await writeFile(css, `${await readFile(css, 'utf8')}\n`);
    });
    const own = await startServer(changed);
    try {
      const game = await openGame(own.url);
      const { page, warnings } = game;
      const said = () => warnings.filter((text) => text.includes('cannot keep itself for offline play'));
      assert.ok(
        await until(async () => said().length > 0 && !(await workerState(page)).pending),
        `no word of it: ${JSON.stringify(warnings)}`,
      );
      assert.equal(said().length, 1, JSON.stringify(warnings));
      assert.match(said()[0], /style\.css is not the one this build was made with/);
      assert.equal((await workerState(page)).active, 'none');
      await playCounter(page);
      await game.close();
    } finally {
      await own.stop();
      await rm(changed, { recursive: true, force: true });
    }
  });

  // What the page says when its game files cannot be had, or cannot run.
  const START_FAILURES = [
    ['zapwit.wasm', 'missing', rm, 'ZAPWIT could not download its game file zapwit.wasm: the server answered 404.'],
    [
      'zapwit.wasm',
      'cut short',
      async (wasm) => writeFile(wasm, (await readFile(wasm)).subarray(0, 1000)),
      'ZAPWIT could not start: this browser could not compile its WebAssembly.',
    ],
    ['zapwit.js', 'missing', rm, 'ZAPWIT could not load its game file zapwit.js.'],
  ];
  for (const [file, what, damage, said] of START_FAILURES) {
    it(`tells the player when ${file} is ${what}`, async () => {
      const damaged = await siteCopy(site, (folder) => damage(join(folder, file)));
      const own = await startServer(damaged);
      const page = await browser.newPage();
      try {
        await page.goto(own.url, { waitUntil: 'load', timeout: PATIENCE });
        await page.waitForFunction(() => document.getElementById('status').textContent !== '', {
          timeout: PATIENCE,
        });
        assert.equal(await page.evaluate(() => document.getElementById('status').textContent), said);
        assert.equal(await page.evaluate(() => document.querySelectorAll('#form button').length), 0);
      } finally {
        await page.close();
        await own.stop();
        await rm(damaged, { recursive: true, force: true });
      }
    });
  }
});

