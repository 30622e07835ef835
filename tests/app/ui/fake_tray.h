#pragma once
// A tray that claims to be there (or not) and lets the test play the user's clicks.

#include "app/ui/tray_icon.h"

class FakeTray final : public ITrayIcon {
 public:
  explicit FakeTray(bool available = true) : available_(available) {}
  bool IsAvailable() const override { return available_; }
  void Show(const QIcon&, const QString& tip) override {
    visible_ = true;
    tip_ = tip;
  }
  void Hide() override { visible_ = false; }
  bool IsVisible() const override { return visible_; }
  const QString& Tip() const { return tip_; }
  // The user acting on the icon.
  void Act(unsigned message) const { Notify(message); }

 private:
  bool available_;
  bool visible_ = false;
  QString tip_;
};
