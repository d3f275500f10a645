// The page's server as a browser's cache sees it: a file's validator
// changes whenever its content does, however soon after the last request
// and whatever its modification time says. (A new build copied in within
// the same second as the old one was once answered "not modified", and the
// browser never found the new service worker.)
import { mkdir, mkdtemp, rm, stat, utimes, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';

import { startServer } from './game.mjs';

let folder;
let server;

before(async () => {
  assert.ok(process.env.ZAPWIT_SERVER, 'ZAPWIT_SERVER must be set');
  folder = await mkdtemp(join(tmpdir(), 'zapwit-server-'));
  await writeFile(join(folder, 'index.html'), '<p>first</p>');
  await writeFile(join(folder, 'sw.js'), "const BUILD = 'first';");
  await mkdir(join(folder, 'beta'));
  await writeFile(join(folder, 'beta', 'index.html'), '<p>beta</p>');
  server = await startServer(folder);
});

after(async () => {
  await server?.stop();
  if (folder) await rm(folder, { recursive: true, force: true });
});

// Replaces `file`'s content and gives it back its old modification time.
async function replaceKeepingTime(file, content) {
  const { atime, mtime } = await stat(join(folder, file));
  await writeFile(join(folder, file), content);
  await utimes(join(folder, file), atime, mtime);
}

describe('web_server.py', () => {
  for (const [path, file] of [
    ['sw.js', 'sw.js'],
    ['', 'index.html'],
  ]) {
    it(`tells a changed ${file} from an unchanged one by its content alone (/${path})`, async () => {
      const url = server.url + path;
      const first = await fetch(url);
      assert.equal(first.status, 200);
      const tag = first.headers.get('etag');
      assert.match(tag ?? '', /^"[0-9a-f]{32}"$/, 'a strong ETag');
      assert.equal(first.headers.get('last-modified'), null, 'a Last-Modified in whole seconds');
      const since = new Date(Date.now() + 60_000).toUTCString();
      const conditional = { headers: { 'If-None-Match': tag, 'If-Modified-Since': since } };

      const same = await fetch(url, conditional);
      assert.equal(same.status, 304, 'unchanged content is not modified');
      assert.equal(same.headers.get('etag'), tag);

      const body = await first.text();
      await replaceKeepingTime(file, `${body} next`);
      const changed = await fetch(url, conditional);
      assert.equal(changed.status, 200, 'changed content with the same time was "not modified"');
      assert.notEqual(changed.headers.get('etag'), tag);
      assert.equal(await changed.text(), `${body} next`);
    });
  }

  it('answers a file that is not there with 404 and a folder without its slash with a redirect', async () => {
    assert.equal((await fetch(`${server.url}missing.js`)).status, 404);
    const bare = await fetch(`${server.url}beta`, { redirect: 'manual' });
    assert.equal(bare.status, 301);
    assert.equal(new URL(bare.headers.get('location'), server.url).href, `${server.url}beta/`);
    assert.equal(await (await fetch(`${server.url}beta/`)).text(), '<p>beta</p>');
  });
});
