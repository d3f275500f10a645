// Loads the game, or says in one line why it cannot run here. Once the game
// runs, it has the service worker keep the page for the next visit.
'use strict';

(() => {
  const status = document.getElementById('status');
  let failed = false;
  const fail = (text) => {
    if (failed) return; // the first reason is the one to tell
    failed = true;
    status.textContent = text;
    // The page's picture of the window goes: no button here will work.
    for (const control of document.querySelectorAll('#form .start, #form .box')) control.remove();
  };
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('ZAPWIT needs WebAssembly, which this browser does not run.');
    return;
  }

  // The game's WebAssembly, compiled as it downloads, from the moment this
  // script runs: the download (which the page began with its preload) and
  // the compile go on while zapwit.js arrives and starts. A file that
  // cannot be had and a browser that cannot run it are told apart: the
  // player can do something about the first.
  const unloaded = (why) => `ZAPWIT could not download its game file zapwit.wasm: ${why}.`;
  const unrun = 'ZAPWIT could not start: this browser could not compile its WebAssembly.';
  const compiling = (async () => {
    let response;
    try {
      response = await fetch('zapwit.wasm', { credentials: 'same-origin' });
    } catch {
      throw new Error(unloaded('the server cannot be reached'));
    }
    if (!response.ok) throw new Error(unloaded(`the server answered ${response.status}`));
    const type = (response.headers.get('Content-Type') ?? '').split(';')[0].trim();
    if (type === 'application/wasm' && typeof WebAssembly.compileStreaming === 'function') {
      try {
        return await WebAssembly.compileStreaming(response);
      } catch (error) {
        throw new Error(error instanceof WebAssembly.CompileError ? unrun : unloaded('the download broke off'));
      }
    }
    // A host that sends it as another type: compiled from its bytes.
    let bytes;
    try {
      bytes = await response.arrayBuffer();
    } catch {
      throw new Error(unloaded('the download broke off'));
    }
    try {
      return await WebAssembly.compile(bytes);
    } catch {
      throw new Error(unrun);
    }
  })();
  // Told once the game asks for it (below), not as an unhandled rejection.
  compiling.catch(() => {});
  const startWasm = async (imports) => {
    const module = await compiling;
    try {
      return { instance: await WebAssembly.instantiate(module, imports), module };
    } catch {
      throw new Error(unrun);
    }
  };

  // Called once the game runs, with every file of this build loaded. A
  // newer build's worker that has all of its own files is told to take
  // over now: this page fetches nothing more, and the next load runs the
  // newer build whole. (The first worker takes over on its own.)
  const keep = () => {
    if (!('serviceWorker' in navigator)) return; // not a secure context
    // A worker that could not keep its build says why, once a page.
    let told = false;
    navigator.serviceWorker.addEventListener('message', (event) => {
      if (event.data?.zapwit !== 'not-kept' || told) return;
      told = true;
      console.warn(
        `ZAPWIT plays, but cannot keep itself for offline play: ${event.data.reason}. ` +
          "A host must serve the build's files byte for byte, with nothing minified or injected.",
      );
    });
    navigator.serviceWorker.startMessages();
    const promote = (worker) => {
      if (!worker) return;
      const tell = () => {
        if (worker.state === 'installed' && navigator.serviceWorker.controller) {
          worker.postMessage('take-over');
        }
      };
      worker.addEventListener('statechange', tell);
      tell();
    };
    navigator.serviceWorker.register('sw.js').then(
      (registration) => {
        promote(registration.waiting ?? registration.installing);
        registration.addEventListener('updatefound', () => promote(registration.installing));
      },
      (error) => console.warn(`ZAPWIT plays, but cannot keep itself for offline play here: ${error}`),
    );
  };
  // The page shows the window before the game has arrived: a start button
  // pressed in that time starts its test as soon as the game runs. The
  // first press is the one: on the window it would have hidden the others.
  const form = document.getElementById('form');
  let pressed = null;
  const hold = (event) => {
    pressed ??= event.target.closest('.start');
  };
  form.addEventListener('click', hold);
  const release = () => {
    form.removeEventListener('click', hold);
    pressed?.click();
  };

  window.Module = {
    instantiateWasm: (imports, ready) => {
      startWasm(imports).then(
        ({ instance, module }) => ready(instance, module),
        (error) => fail(error.message),
      );
      return {}; // the exports come with ready()
    },
    onAbort: () => fail('ZAPWIT could not start: this browser stopped its WebAssembly.'),
    postRun: [release, keep],
  };
  const game = document.createElement('script');
  game.src = 'zapwit.js';
  game.onerror = () => fail('ZAPWIT could not load its game file zapwit.js.');
  document.head.appendChild(game);
})();
