// The page's server as a browser's cache sees it: a file's validator
// changes whenever its content does, however soon after the last request
// and whatever its modification time says. (A new build copied in within
// the same second as the old one was once answered "not modified", and the
// browser never found the new service worker.)
import { execFile } from 'node:child_process';
import { mkdir, mkdtemp, rm, stat, utimes, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { promisify } from 'node:util';
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

  it('redirects .../index.html to .../ as many hosts do, when asked to', async () => {
    const redirecting = await startServer(folder, '--redirect-index');
    try {
      for (const [path, to] of [
        ['index.html', ''],
        ['index.html?x=1', '?x=1'],
        ['beta/index.html', 'beta/'],
      ]) {
        const answer = await fetch(redirecting.url + path, { redirect: 'manual' });
        assert.equal(answer.status, 301, path);
        assert.equal(new URL(answer.headers.get('location'), redirecting.url).href, redirecting.url + to, path);
      }
      assert.equal(await (await fetch(`${redirecting.url}beta/index.html`)).text(), '<p>beta</p>');
      assert.equal((await fetch(`${redirecting.url}sw.js`, { redirect: 'manual' })).status, 200);
    } finally {
      await redirecting.stop();
    }
  });

  it('prints an address a browser opens when it serves every address', async () => {
    const everywhere = await startServer(folder, '--bind', '0.0.0.0');
    try {
      assert.match(everywhere.url, /^http:\/\/127\.0\.0\.1:\d+\/$/);
      assert.equal(await (await fetch(`${everywhere.url}beta/`)).text(), '<p>beta</p>');
    } finally {
      await everywhere.stop();
    }
  });
});

// What runs `command` with `args` ends with: its status and its stderr.
async function ending(command, args) {
  try {
    await promisify(execFile)(command, args, { timeout: 60_000 });
    return { status: 0, stderr: '' };
  } catch (error) {
    return { status: error.code, stderr: error.stderr };
  }
}

// A player's mistakes end the play command at once, before it installs or
// builds anything, with one line that says why.
describe('bad arguments', () => {
  const webSh = join(dirname(process.env.ZAPWIT_SERVER ?? '.'), 'web.sh');
  const taken = () => String(new URL(server.url).port);
  const cases = [
    ['a port that is not a number', ['--port', 'abc'], /--port abc is not a port number/],
    ['a port above 65535', ['--port', '70000'], /--port 70000 is not a port number/],
    ['a port in use', () => ['--port', taken()], /cannot serve on 127\.0\.0\.1 port \d+: Address already in use/],
    ['an address not of this machine', ['--bind', '192.0.2.1'], /cannot serve on 192\.0\.2\.1 port 8064: /],
    ['an unknown option', ['--prot', '8000'], /unknown argument '--prot'/],
  ];
  for (const [what, args, said] of cases) {
    for (const [name, command, before] of [
      ['web.sh', webSh, []],
      ['web_server.py', 'python3', [process.env.ZAPWIT_SERVER, folder ?? '.', '--check']],
    ]) {
      if (name === 'web_server.py' && what === 'an unknown option') continue; // argparse's own words
      it(`${name}: ${what}`, async () => {
        const { status, stderr } = await ending(command, [...before, ...(typeof args === 'function' ? args() : args)]);
        assert.equal(status, 2, stderr);
        assert.match(stderr, said);
        assert.equal(stderr.trim().split('\n').length, 1, `one line: ${stderr}`);
        assert.doesNotMatch(stderr, /Traceback/);
      });
    }
  }

  it('web.sh --help says how and exits 0', async () => {
    const { stdout } = await promisify(execFile)(webSh, ['--help']);
    assert.match(stdout, /^usage: .*web\.sh \[--port N\] \[--bind ADDR\] \[--build-only\] \[--tests\]/);
  });
});
