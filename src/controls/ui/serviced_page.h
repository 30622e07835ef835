#pragma once
// A page that is handed its clock, sleeper and databases instead of reaching for the
// program's own (a member left null in PageServices means the program's own); tests
// hand in fakes.

#include <QWidget>

#include "platform/ui/page.h"
#include "storage/page_services.h"

class CServicedPage : public CPage {
 public:
  explicit CServicedPage(const PageServices& services, QWidget* parent = nullptr)
      : CPage(parent), services_(services) {}

  // Replaces the services; only before the page is initialised (false afterwards,
  // nothing changes). Lets a window that builds the page as a member hand it a clock.
  bool SetServices(const PageServices& services) {
    if (IsInitialised()) return false;
    services_ = services;
    ServicesReplaced();
    return true;
  }

 protected:
  // After SetServices: a page that built something over the old services builds it anew.
  virtual void ServicesReplaced() {}

  IClock& Clock() const { return services_.Clock(); }
  ISleeper& Sleeper() const { return services_.Sleeper(); }
  CADODataBase& Market() const { return services_.Market(); }
  CADODataBase& Custom() const { return services_.Custom(); }

 private:
  PageServices services_;
};
