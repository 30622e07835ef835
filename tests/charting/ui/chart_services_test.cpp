#include "charting/ui/chart_services.h"

#include <gtest/gtest.h>

#include "../../support/temp_program_folder.h"
#include "platform/pages/chart_link_iface.h"
#include "charting/soft_list.h"
#include "platform/page_registry.h"

TEST(MakeChartWindowSystem, UnusableDisplayGivesTheNullSystem) {
  const auto system = MakeChartWindowSystem(":987654");
  ASSERT_NE(system, nullptr);
  EXPECT_NE(dynamic_cast<NullWindowSystem*>(system.get()), nullptr);
  EXPECT_EQ(system->Open(), nullptr);
}

TEST(InstallChartServices, LoadsTheSoftListAndPublishesBothServices) {
  TempProgramFolder::Options options;
  options.withIni = true;
  options.iniText = "[SoftList]\r\nSoftCount=1\r\nSoftName1=通达信\r\nSoftProcessName1=TdxW.exe\r\n";
  TempProgramFolder folder(options);
  PageRegistry& registry = PageRegistry::Instance();
  registry.ResetForTests();
  InstallChartServices();
  ASSERT_EQ(g_vecSoftList.size(), 1u);
  EXPECT_EQ(g_vecSoftList[0].processName, "TdxW.exe");
  ChartBlock* block = registry.Get<ChartBlock>(PageSlot::ChartBlock);
  ChartLink* link = registry.Get<ChartLink>(PageSlot::ChartLink);
  EXPECT_NE(block, nullptr);
  EXPECT_NE(link, nullptr);
  // A second run of the application object replaces them.
  registry.ResetForTests();
  InstallChartServices();
  EXPECT_NE(registry.Get<ChartLink>(PageSlot::ChartLink), nullptr);
  registry.ResetForTests();
  g_vecSoftList.clear();
}
