// The least a page can do, for the robot to measure the game against: BOX
// in its size, place and colours, turned green in an animation-frame
// callback (where the go signal is also read), the key's time taken from
// its timeStamp. floorStart() begins a trial, with the wait (ms) before
// the frame that turns green. Served as the game is, from a site with the
// game's service worker, it is also the floor for start-up.
//
// For finding what makes a go frame late, a query string adds one of the
// game's habits at a time:
//   ?loop     an animation-frame loop that runs as long as the page does
//   ?live     a polite live region gets a line as the trial starts
'use strict';

(() => {
  const box = document.getElementById('BOX');
  const habits = new URLSearchParams(location.search);
  let go = null;
  let green = false; // the next frame turns BOX green

  const turn = () => {
    box.style.background = '#00ff00';
    go = performance.now();
  };
  if (habits.has('loop')) {
    const frame = () => {
      if (green) {
        green = false;
        turn();
      }
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }
  const goFrame = () => {
    if (habits.has('loop')) green = true;
    else requestAnimationFrame(turn);
  };

  window.floorStart = (wait) => {
    if (habits.has('live')) {
      const log = document.createElement('div');
      log.setAttribute('role', 'log');
      log.setAttribute('aria-live', 'polite');
      log.textContent = 'Press any key when BOX turns green.';
      document.getElementById('form').appendChild(log);
    }
    setTimeout(goFrame, wait);
  };
  document.addEventListener('keydown', (event) => {
    const handled = performance.now();
    if (go === null) return;
    console.info(
      `floor page times (ms): go signal ${go.toFixed(3)}, key ${event.timeStamp.toFixed(3)}, ` +
        `key handler ${handled.toFixed(3)}`,
    );
    go = null;
  });
  // Kept by the game's service worker, as the game has it keep the game.
  if ('serviceWorker' in navigator) {
    window.addEventListener('load', () =>
      navigator.serviceWorker.register('sw.js').catch((error) => console.warn(`floor page: no service worker: ${error}`)),
    );
  }
  document.documentElement.dataset.zapwit = 'loaded';
})();
