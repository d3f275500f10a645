// Loads the game, or says in one line why it cannot run here.
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
  window.Module = {
    onAbort: () => fail('ZAPWIT could not start: this browser stopped its WebAssembly.'),
  };
  const game = document.createElement('script');
  game.src = 'zapwit.js';
  game.onerror = () => fail('ZAPWIT could not load its game file.');
  document.head.appendChild(game);
})();
