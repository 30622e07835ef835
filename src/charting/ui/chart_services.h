#pragma once
// The charting-program link at start-up: the linked programs are loaded, the window
// link is built on the X display when it can synthesise input (else on the "not
// available" window system) and the link and the block roads are published in the
// page registry.

#include <memory>
#include <string>

#include "platform/window_system.h"

// X11 when `displayName` ("" = $DISPLAY) opens and has XTEST, else NullWindowSystem.
std::unique_ptr<WindowSystem> MakeChartWindowSystem(const std::string& displayName = "");

// Once per run of the application object, on the UI thread, after the settings are
// loaded: runs LoadSoftList and publishes PageSlot::ChartBlock and
// PageSlot::ChartLink. The objects live until the next call or the process ends.
void InstallChartServices();
