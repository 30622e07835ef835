#include "charting/ui/chart_services.h"

#include "charting/chart_block_file.h"
#include "charting/chart_window_link.h"
#include "charting/soft_list.h"
#include "platform/clock.h"
#include "platform/page_registry.h"
#include "platform/proc_process_finder.h"
#include "platform/x11/x11_window_system.h"

namespace {

struct ChartServices {
  explicit ChartServices(std::unique_ptr<WindowSystem> system)
      : windows(std::move(system)), link(*windows, processes, DefaultSleeper()) {}

  std::unique_ptr<WindowSystem> windows;
  ProcProcessFinder processes;
  CChartWindowLink link;
  CChartBlockRoads block;
};

// Queued calls may still reach the published objects late in a run, so they stay
// until the next run replaces them.
std::unique_ptr<ChartServices> g_services;

}  // namespace

std::unique_ptr<WindowSystem> MakeChartWindowSystem(const std::string& displayName) {
  if (X11WindowSystem::Usable(displayName)) return std::make_unique<X11WindowSystem>(displayName);
  return std::make_unique<NullWindowSystem>();
}

void InstallChartServices() {
  LoadSoftList();
  PageRegistry& registry = PageRegistry::Instance();
  registry.Unpublish(PageSlot::ChartBlock);
  registry.Unpublish(PageSlot::ChartLink);
  g_services = std::make_unique<ChartServices>(MakeChartWindowSystem());
  registry.Publish<ChartBlock>(PageSlot::ChartBlock, &g_services->block);
  registry.Publish<ChartLink>(PageSlot::ChartLink, &g_services->link);
}
