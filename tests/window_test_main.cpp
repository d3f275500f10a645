#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The window tests run on Qt's offscreen platform unless told otherwise;
// gtest_discover_tests starts this binary at build time, with no display.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
