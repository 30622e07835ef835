#pragma once
// What a page is given instead of reaching for the program's own clock, sleeper and
// databases; tests hand in fakes. A member left null means the program's own.

#include "platform/clock.h"
#include "storage/ado_database.h"

struct PageServices {
  IClock* clock = nullptr;
  ISleeper* sleeper = nullptr;
  CADODataBase* market = nullptr;  // "CJHB.mdb"
  CADODataBase* custom = nullptr;  // "Custom.mdb"

  IClock& Clock() const { return clock ? *clock : DefaultClock(); }
  ISleeper& Sleeper() const { return sleeper ? *sleeper : DefaultSleeper(); }
  CADODataBase& Market() const { return market ? *market : g_ADODatabase; }
  CADODataBase& Custom() const { return custom ? *custom : g_ADODatabase_Custom; }
};
