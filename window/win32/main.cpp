#include <windows.h>

#include "window/win32/form1.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/,
                   LPSTR /*command_line*/, int show) {
  return zapwit::RunGame(instance, show);
}
