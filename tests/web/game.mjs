// What every browser test knows of the game and its page: where the
// controls are, the colours and texts a player sees, and the page's server.
import { spawn } from 'node:child_process';
import { once } from 'node:events';

// Far above what a loaded two-core machine needs for any one step.
export const PATIENCE = 60_000;
export const TICK_MS = 1000 / 64;

// Where the layout puts each control, in CSS pixels from the client
// area's corner, as the desktop window has them in pixels.
export const CLIENT = { width: 484, height: 441 };
export const BUTTONS = [
  { caption: 'LIGHT', left: 16, top: 16, width: 65, height: 25 },
  { caption: 'JUMP', left: 88, top: 16, width: 65, height: 25 },
  { caption: 'NUMBER', left: 160, top: 16, width: 73, height: 25 },
  { caption: 'COUNTER', left: 240, top: 16, width: 73, height: 25 },
];
export const BOX = { left: 192, top: 128, width: 67, height: 67 };
export const RED = 'rgb(255, 0, 0)';
export const YELLOW = 'rgb(255, 255, 0)';
export const GREEN = 'rgb(0, 255, 0)';
export const PROMPTS = {
  LIGHT: 'Press any key when box is green.',
  JUMP: 'Press any key when box is green.',
  NUMBER: 'Press any key when an even number comes up.',
  COUNTER: 'Press any key when counter reaches 100.',
};
export const REMARK = 'Very poor. Were you even looking?';
export const SCORE = /^Your score is [ -]\d+ , 100 is perfect\.$/;

// The score line for `score`, as the game words it: a leading space or
// minus, the digits, a trailing space.
export const scoreLine = (score) =>
  `Your score is ${score < 0 ? '-' : ' '}${Math.abs(score)} , 100 is perfect.`;

// Serves `site` with scripts/web_server.py (ZAPWIT_SERVER) on a free port;
// resolves once it accepts connections, with its address and a stop().
export function startServer(site, ...options) {
  return new Promise((resolve, reject) => {
    const child = spawn('python3', [process.env.ZAPWIT_SERVER, site, '--port', '0', '--quiet', ...options], {
      stdio: ['ignore', 'pipe', 'inherit'],
    });
    const exited = once(child, 'exit');
    child.on('error', reject);
    child.on('exit', (code) => reject(new Error(`web_server.py exited with ${code}`)));
    child.stdout.setEncoding('utf8');
    let text = '';
    child.stdout.on('data', (chunk) => {
      text += chunk;
      if (!text.includes('\n')) return;
      resolve({
        child,
        url: text.split('\n')[0].trim(),
        async stop() {
          if (child.exitCode === null && child.signalCode === null) child.kill();
          await exited;
        },
      });
    });
  });
}

// Polls `condition` (an async function) until it is true, for at most
// PATIENCE; for what no event of the page's tells.
export async function until(condition) {
  const end = Date.now() + PATIENCE;
  while (Date.now() < end) {
    if (await condition()) return true;
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  return false;
}
