// The GUI tests run inside GoogleTest with the program's own application object (and so its
// fault handler), on the offscreen platform unless another is asked for.
#include <gtest/gtest.h>

#include "ui/about/ErrorInformation.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  korvane::TKorvaneApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
