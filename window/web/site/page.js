// Loads the game, or says in one line why it cannot run here. Once the game
// runs, it has the service worker keep the page for the next visit.
'use strict';

(() => {
  const status = document.getElementById('status');
  const fail = (text) => {
    status.textContent = text;
  };
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('ZAPWIT needs WebAssembly, which this browser does not run.');
    return;
  }
  // Called once the game runs, with every file of this build loaded. A
  // newer build's worker that has all of its own files is told to take
  // over now: this page fetches nothing more, and the next load runs the
  // newer build whole. (The first worker takes over on its own.)
  const keep = () => {
    if (!('serviceWorker' in navigator)) return; // not a secure context
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
  window.Module = {
    onAbort: () => fail('ZAPWIT could not start: this browser stopped its WebAssembly.'),
    postRun: [keep],
  };
  const game = document.createElement('script');
  game.src = 'zapwit.js';
  game.onerror = () => fail('ZAPWIT could not load its game file.');
  document.head.appendChild(game);
})();
