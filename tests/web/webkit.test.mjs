// The browser build played in WebKitGTK, the engine Safari is built on,
// through its WebDriver server, WebKitWebDriver, and plain WebDriver
// (selenium-webdriver). The same black-box play as in Chromium and
// Firefox: the layout, the keys, COUNTER, LIGHT and NUMBER, and no error
// on the page. WebKitGTK's MiniBrowser is a real window, so the test runs
// on an X server (CTest starts it under xvfb-run).
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { createServer } from 'node:net';
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { Builder, By, Key } from 'selenium-webdriver';

import {
  BOX,
  BUTTONS,
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
  inPage,
  keepsOnly,
  lateKeyExpected,
  scoreLine,
  startServer,
  until,
} from './game.mjs';

const site = process.env.ZAPWIT_SITE;
const miniBrowser = process.env.ZAPWIT_MINIBROWSER;

let server;
let webDriver;
let driver;

// A port nobody listens on now, for WebKitWebDriver, which takes no 0.
async function freePort() {
  const probe = createServer();
  probe.listen(0, '127.0.0.1');
  await once(probe, 'listening');
  const { port } = probe.address();
  probe.close();
  await once(probe, 'close');
  return port;
}

before(async () => {
  assert.ok(
    site && miniBrowser && process.env.ZAPWIT_WEBDRIVER && process.env.ZAPWIT_SERVER,
    'ZAPWIT_SITE, ZAPWIT_MINIBROWSER, ZAPWIT_WEBDRIVER and ZAPWIT_SERVER must be set',
  );
  server = await startServer(site);
  const port = await freePort();
  webDriver = spawn(process.env.ZAPWIT_WEBDRIVER, [`--port=${port}`], { stdio: ['ignore', 'inherit', 'inherit'] });
  const driverUrl = `http://127.0.0.1:${port}`;
  assert.ok(
    await until(() =>
      fetch(`${driverUrl}/status`).then(
        (response) => response.ok,
        () => false,
      ),
    ),
    'WebKitWebDriver never answered',
  );
  driver = await new Builder()
    .usingServer(driverUrl)
    .withCapabilities({
      browserName: 'MiniBrowser',
      'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] },
    })
    .build();
  await driver.manage().setTimeouts({ script: PATIENCE, pageLoad: PATIENCE });
  await driver.manage().window().setRect({ x: 0, y: 0, width: 800, height: 600 });
});

after(async () => {
  await driver?.quit();
  if (webDriver && webDriver.exitCode === null) {
    webDriver.kill();
    await once(webDriver, 'exit');
  }
  await server?.stop();
});

const run = (script, ...args) => driver.executeScript(script, ...args);

// Polls an in-page `script` until it returns something truthy; returns it.
async function waitFor(script, ...args) {
  let found;
  const seen = await until(async () => {
    found = await run(script, ...args);
    return Boolean(found);
  });
  assert.ok(seen, `nothing after ${PATIENCE} ms: ${script}`);
  return found;
}

// Runs `step` in the page once an animation frame until it returns
// something, as a player looks once a frame; WebDriver's asynchronous
// script, so no frame is missed between two round trips.
// (The step is written into the script's text: the page's policy allows
// no eval of its own.)
const eachFrame = (step, ...args) =>
  driver.executeAsyncScript(
    `const done = arguments[arguments.length - 1];
     const args = [...arguments].slice(0, -1);
     const step = ${step.toString()};
     const end = performance.now() + ${PATIENCE};
     const frame = () => {
       const found = step(...args);
       if (found !== undefined) done(found);
       else if (performance.now() > end) done({ timedOut: true });
       else requestAnimationFrame(frame);
     };
     requestAnimationFrame(frame);`,
    ...args,
  );

// Runs `script`, an in-page function that returns a promise, with `args`;
// resolves with what it resolves with.
const runAsync = (script, ...args) =>
  driver.executeAsyncScript(
    `const done = arguments[arguments.length - 1];
     (${script.toString()})(...[...arguments].slice(0, -1)).then(done);`,
    ...args,
  );

// A fresh load of the page, which is a fresh run of the game. WebDriver
// has no console of its own here, so once the game has loaded, every
// console error, uncaught error, unhandled rejection and policy violation
// from then on is noted in the page; an error before that leaves the game
// unloaded or its status line set, which open() checks.
async function open(url = server.url) {
  await driver.get(url);
  await waitFor(() => document.documentElement.dataset.zapwit === 'loaded');
  assert.equal(await run(() => document.getElementById('status').textContent), '');
  await run(() => {
    window.zapwitErrors = [];
    const note = (text) => window.zapwitErrors.push(text);
    const error = console.error.bind(console);
    console.error = (...args) => {
      note(`console: ${args.join(' ')}`);
      error(...args);
    };
    window.addEventListener('error', (event) => note(`page: ${event.message}`));
    window.addEventListener('unhandledrejection', (event) => note(`page: ${event.reason}`));
    document.addEventListener('securitypolicyviolation', (event) =>
      note(`policy: ${event.violatedDirective} ${event.blockedURI}`),
    );
  });
}

async function noErrors() {
  assert.deepEqual(await run(() => window.zapwitErrors), [], 'errors on the page');
}

const lines = () => run(inPage.lines);
const boxLook = () => run(inPage.box);
const button = (caption) => driver.findElement(By.xpath(`//button[text()="${caption}"]`));
const type = (...keys) => driver.actions().sendKeys(...keys).perform();
const waitForLines = (count) =>
  waitFor((n) => document.querySelectorAll('#form .line').length >= n, count);
// Until the page's clock is `ms` past now, on its animation frames.
async function waitPageTime(ms) {
  const end = await run((span) => performance.now() + span, ms);
  await eachFrame((until) => (performance.now() >= until ? true : undefined), end);
}

describe('ZAPWIT in WebKitGTK', () => {
  it('shows the window: title, client area, buttons in place, BOX red and empty', async () => {
    await open();
    assert.equal(await driver.getTitle(), 'ZAPWIT TEST');
    const layout = await run(inPage.layout);
    assert.deepEqual(layout.form, CLIENT);
    assert.deepEqual(layout.buttons, BUTTONS);
    assert.deepEqual(layout.box, BOX);
    assert.deepEqual(await boxLook(), { color: RED, caption: '' });
    assert.deepEqual(await lines(), []);
    // What differs from engine to engine, for the record.
    const resolutionUs = (await run(inPage.timerStep)) * 1000;
    const seen = await run(() => ({
      isolated: window.crossOriginIsolated,
      form: getComputedStyle(document.getElementById('form')).backgroundColor,
      font: getComputedStyle(document.getElementById('form')).fontFamily,
      worker: 'serviceWorker' in navigator,
      agent: navigator.userAgent,
    }));
    assert.equal(seen.isolated, true, 'the server sent the isolation headers');
    process.stdout.write(`# webkit: ${JSON.stringify({ ...seen, resolutionUs })}\n`);
    await noErrors();
  });

  it('focuses LIGHT at load; Tab moves along the buttons and Space starts the focused test', async () => {
    await open();
    const focused = () => run(() => document.activeElement?.textContent ?? '');
    assert.equal(await focused(), 'LIGHT');
    for (const caption of ['JUMP', 'NUMBER', 'COUNTER']) {
      await type(Key.TAB);
      assert.equal(await focused(), caption);
    }
    await type(Key.SPACE);
    await waitForLines(1);
    assert.deepEqual(await lines(), [PROMPTS.COUNTER]);
    assert.deepEqual(await run(inPage.visibleButtons), []);
    await noErrors();
  });

  it('plays COUNTER: the caption falls with page time, and the score agrees with BOX', async () => {
    await open();
    await button('COUNTER').click();
    await waitFor(() => document.getElementById('BOX').textContent !== '');
    // The count moves on, awaited as such (a late frame can span any wait
    // on the page's clock with no tick run).
    const first = Number((await boxLook()).caption);
    await waitFor((then) => Number(document.getElementById('BOX').textContent) < then, first);
    await type('a');
    await waitForLines(2);
    const shown = Number((await boxLook()).caption);
    const score = 100 - Math.abs(shown - 100);
    const expected = [PROMPTS.COUNTER, scoreLine(score)];
    if (score < 0) expected.push(REMARK);
    await waitForLines(expected.length);
    assert.deepEqual(await lines(), expected);
    await noErrors();
  });

  it('plays LIGHT with a real key: a key a tick after green scores what its time says', async () => {
    await open();
    await button('LIGHT').click();
    assert.deepEqual(await lines(), [PROMPTS.LIGHT]);
    // The first frame that shows green, and the frame before it.
    const green = await eachFrame((want) => {
      const now = performance.now();
      if (getComputedStyle(document.getElementById('BOX')).backgroundColor === want) {
        return { before: window.zapwitLastFrame, at: now };
      }
      window.zapwitLastFrame = now;
      return undefined;
    }, GREEN);
    assert.equal(typeof green.at, 'number', 'BOX never turned green');
    await eachFrame((since) => (performance.now() >= since ? true : undefined), green.at + 2 * TICK_MS);
    const sent = await run(() => performance.now());
    await type('a');
    await waitForLines(2);
    const answered = await run(() => performance.now());
    const line = (await lines())[1];
    assert.match(line, SCORE);
    const score = Number(line.match(/^Your score is ([ -]\d+) ,/)[1]);
    const most = Math.ceil(100 - (sent - green.at) / 10) + 2;
    const least = Math.floor(100 - (answered - green.before) / 10) - 2;
    assert.ok(score <= 100 && score <= most && score >= least, `${score} not within ${least}..${Math.min(most, 100)}`);
    await noErrors();
  });

  for (const [caption, signal] of LATE_KEYS) {
    it(`answers a ${caption} key made before a tick and handed over after it as the desktop would`, async () => {
      await open();
      await button(caption).click();
      const then = await runAsync(inPage.keyMadeBeforeATick, signal, PATIENCE);
      assert.ok(!then.timedOut, `BOX never showed ${signal}`);
      const expected = lateKeyExpected(caption, then);
      if (expected.fromMidnight) {
        await waitForLines(2);
        const [prompt, score, remark] = await lines();
        assert.equal(prompt, expected.prompt);
        assert.match(score, /^Your score is -\d+ , 100 is perfect\.$/, 'scored as if after the go signal');
        assert.equal(remark, REMARK);
      } else {
        await waitForLines(expected.lines.length);
        await waitPageTime(2 * TICK_MS);
        assert.deepEqual(await lines(), expected.lines);
      }
      assert.deepEqual(await run(inPage.boxPlace), then, 'BOX as it was when the key was made');
      await noErrors();
    });
  }

  it("keeps the buttons within Tab's reach after a click on the surface", async () => {
    await open();
    const focused = () => run(() => document.activeElement?.textContent ?? '');
    await driver.actions().move({ x: 400, y: 300 }).click().perform();
    assert.equal(await focused(), 'LIGHT', 'a click on the surface took the focus');
    await type(Key.TAB);
    assert.equal(await focused(), 'JUMP');
    await noErrors();
  });

  it('shows NUMBER only odd numbers, then one even one', async () => {
    await open();
    await button('NUMBER').click();
    const seen = await eachFrame(() => {
      const caption = document.getElementById('BOX').textContent;
      window.zapwitCaptions ??= [];
      const captions = window.zapwitCaptions;
      if (caption !== '' && captions.at(-1) !== caption) captions.push(caption);
      return caption !== '' && Number(caption) % 2 === 0 ? captions : undefined;
    });
    assert.ok(Array.isArray(seen), 'no even number came');
    const numbers = seen.map(Number);
    assert.ok(numbers.length >= 2, `only ${seen}`);
    assert.ok(numbers.slice(0, -1).every((n) => n % 2 === 1 && n >= 1 && n <= 99), `${seen}`);
    assert.ok(numbers.at(-1) % 2 === 0 && numbers.at(-1) <= 100, `${seen}`);
    assert.ok(seen.every((caption) => /^ \d+$/.test(caption)), `${seen}`);
    await noErrors();
  });

  it('ignores Shift, an arrow and an F-key in a running test, and ends it on a letter', async () => {
    await open();
    await button('COUNTER').click();
    await waitForLines(1);
    for (const key of [Key.SHIFT, Key.ARROW_LEFT, Key.F2]) await type(key);
    const count = Number((await waitFor(() => document.getElementById('BOX').textContent)).trim());
    await waitFor((then) => Number(document.getElementById('BOX').textContent) < then, count);
    assert.deepEqual(await lines(), [PROMPTS.COUNTER]);
    await type('b');
    await waitForLines(2);
    assert.match((await lines())[1], SCORE);
    await noErrors();
  });

  it('plays after one visit with the server stopped', async () => {
    const own = await startServer(site);
    try {
      const build = await buildOf(site);
      await open(own.url);
      assert.ok(await until(async () => keepsOnly(await run(inPage.workerState), build.name)), 'never kept');
      await own.stop();
      await open(own.url);
      assert.deepEqual(await run(inPage.runningBuild), { html: build.version, game: build.version, served: 'worker' });
      await button('COUNTER').click();
      await waitFor(() => document.getElementById('BOX').textContent !== '');
      await type('a');
      await waitForLines(2);
      assert.match((await lines())[1], SCORE);
      await noErrors();
    } finally {
      await own.stop();
    }
  });
});
