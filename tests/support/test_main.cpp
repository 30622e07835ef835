// Shared main of the tests without a display.
#include <gtest/gtest.h>

#include "unexpected_box_listener.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  InstallMessageBoxRecording();
  return RUN_ALL_TESTS();
}
