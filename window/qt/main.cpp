#include "window/qt/game.h"

int main(int argc, char** argv) { return zapwit::RunGame(argc, argv); }
