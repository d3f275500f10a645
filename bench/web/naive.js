// A reaction test as most browser reaction tests are written, for the
// robot to measure beside the game: the square turns green in a
// setTimeout() callback, the start of the reaction time is read there,
// and its end with performance.now() in the key handler. naiveStart()
// begins a trial, with the wait (ms) before green.
'use strict';

(() => {
  const box = document.getElementById('BOX');
  let go = null;
  window.naiveStart = (wait) => {
    setTimeout(() => {
      box.style.background = '#00ff00';
      go = performance.now();
    }, wait);
  };
  document.addEventListener('keydown', (event) => {
    const handled = performance.now();
    if (go === null) return;
    console.info(
      `naive page times (ms): go signal ${go.toFixed(3)}, key ${event.timeStamp.toFixed(3)}, ` +
        `key handler ${handled.toFixed(3)}`,
    );
    go = null;
  });
  document.documentElement.dataset.zapwit = 'loaded';
})();
