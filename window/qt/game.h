#pragma once

namespace zapwit {

// Call before QApplication starts. On X11, Qt is to send the window's pixels
// in its drawing requests rather than through shared memory: Qt 6.4 waits
// for a round trip to the X server before every paint into a shared-memory
// backing store, and that wait sat between the go signal and its pixels.
// The window is small, so the copy costs less than the wait. A
// QT_XCB_NO_MITSHM the player set is left alone.
void PreferDirectUpload();

// Runs the game: opens the window and returns the exit status when the
// player closes it. Without a display it says so in one line on stderr and
// returns 1.
int RunGame(int argc, char** argv);

}  // namespace zapwit
