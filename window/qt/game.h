#pragma once

namespace zapwit {

// Runs the game: opens the window and returns the exit status when the
// player closes it. Without a display it says so in one line on stderr and
// returns 1.
int RunGame(int argc, char** argv);

}  // namespace zapwit
