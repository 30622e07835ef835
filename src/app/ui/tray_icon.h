#pragma once
// The notification-area icon behind a small interface, so the main window's tray
// behaviour can be driven by a test on a desktop without a tray.

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>

class QSystemTrayIcon;

// Mouse messages the icon reports, in the values the main window's handler tests.
constexpr unsigned kTrayLeftButtonUp = 0x0202;
constexpr unsigned kTrayLeftDoubleClick = 0x0203;
constexpr unsigned kTrayRightButtonUp = 0x0205;

class ITrayIcon {
 public:
  virtual ~ITrayIcon() = default;
  virtual bool IsAvailable() const = 0;
  virtual void Show(const QIcon& icon, const QString& tip) = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  // Called with one of the kTray* messages when the user acts on the icon.
  void SetNotify(std::function<void(unsigned)> notify) { notify_ = std::move(notify); }

 protected:
  void Notify(unsigned message) const {
    if (notify_) notify_(message);
  }

 private:
  std::function<void(unsigned)> notify_;
};

// The desktop's tray through QSystemTrayIcon.
class QtTrayIcon final : public ITrayIcon {
 public:
  QtTrayIcon();
  ~QtTrayIcon() override;
  bool IsAvailable() const override;
  void Show(const QIcon& icon, const QString& tip) override;
  void Hide() override;
  bool IsVisible() const override;

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;
};
