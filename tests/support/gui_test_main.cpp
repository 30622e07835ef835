// Shared main of the GUI tests: a QApplication on the offscreen platform and the
// message-box hook in "record, answer OK, fail on an unexpected box" mode.
#include <QApplication>
#include <gtest/gtest.h>

#include "platform/ui/qt_dialogs.h"
#include "unexpected_box_listener.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtTranslations();
  testing::InitGoogleTest(&argc, argv);
  InstallMessageBoxRecording();
  return RUN_ALL_TESTS();
}
