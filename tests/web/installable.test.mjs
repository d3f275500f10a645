// Whether a browser would install the page as an app: Chromium reports
// it (its manifest and its installability errors); Firefox and WebKitGTK
// have no such check, and say so as a skipped test. A test of its own, so
// that CTest's summary shows that skip rather than a pass.
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { it } from 'node:test';
import assert from 'node:assert/strict';

import { CHROMIUM_FLAGS, PATIENCE, startServer } from './game.mjs';

const browserName = process.env.ZAPWIT_BROWSER ?? 'chromium';

it(`is installable as ${browserName} judges it: a complete manifest, no installability errors`, async (t) => {
  if (browserName !== 'chromium') {
    t.skip(`${browserName} reports no installability`);
    return;
  }
  const { default: puppeteer } = await import('puppeteer-core');
  const server = await startServer(process.env.ZAPWIT_SITE);
  const profile = await mkdtemp(join(tmpdir(), 'zapwit-installable-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    protocolTimeout: PATIENCE,
    args: CHROMIUM_FLAGS,
  });
  try {
    const page = await browser.newPage();
    await page.goto(server.url, { waitUntil: 'load', timeout: PATIENCE });
    await page.waitForFunction(() => document.documentElement.dataset.zapwit === 'loaded', {
      timeout: PATIENCE,
    });
    const session = await page.createCDPSession();
    const manifest = await session.send('Page.getAppManifest');
    assert.deepEqual(manifest.errors, []);
    assert.match(manifest.url, /\/manifest\.webmanifest$/);
    const { installabilityErrors } = await session.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors, []);
    await session.detach();
  } finally {
    await browser.close();
    await server.stop();
    await rm(profile, { recursive: true, force: true });
  }
});
