#pragma once
// The window system over Xlib and the XTest extension. Every session opens its own
// display connection (never the toolkit's), and while it is open an error handler
// records X errors instead of ending the program: windows vanish between listing and
// reading them. A lost connection is recorded too and never ends the program.

#include <memory>
#include <string>

#include "platform/window_system.h"

class X11WindowSystem final : public WindowSystem {
 public:
  // `displayName` "" means $DISPLAY.
  explicit X11WindowSystem(std::string displayName = "");
  // nullptr when the display cannot be opened or has no XTEST.
  std::unique_ptr<WindowSession> Open() override;

  // Whether a session could be opened now.
  static bool Usable(const std::string& displayName = "");

 private:
  std::string displayName_;
};
