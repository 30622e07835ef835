#pragma once
// Kept apart from bench.h: Qt's keyword macros ("signals") must not reach the
// benchmarks that do without widgets.

#include <QApplication>
#include <memory>

// An offscreen QApplication for a benchmark that needs widgets, unless one exists;
// it lives as long as the returned pointer.
inline std::unique_ptr<QApplication> MakeBenchApplication() {
  static int argc = 1;
  static char name[] = "velkordesk-bench";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() != nullptr) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return std::make_unique<QApplication>(argc, argv);
}
