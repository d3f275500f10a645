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
//   ?yellow=N BOX turns yellow N frames before green, as LIGHT's does when
//             its target is N ticks past its yellow step
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
  const yellowFrames = Number(habits.get('yellow'));
  const yellowThen = (frames) => {
    box.style.background = '#ffff00';
    const count = (left) => (left > 1 ? requestAnimationFrame(() => count(left - 1)) : goFrame());
    count(frames);
  };

  window.floorStart = (wait) => {
    if (habits.has('live')) {
      const log = document.createElement('div');
      log.setAttribute('role', 'log');
      log.setAttribute('aria-live', 'polite');
      log.textContent = 'Press any key when BOX turns green.';
      document.getElementById('form').appendChild(log);
    }
    if (yellowFrames >= 1) setTimeout(() => requestAnimationFrame(() => yellowThen(yellowFrames)), wait);
    else setTimeout(goFrame, wait);
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
