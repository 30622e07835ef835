#include "app/ui/tray_icon.h"

#include <QSystemTrayIcon>

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::IsAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtTrayIcon::Show(const QIcon& icon, const QString& tip) {
  if (!icon_) {
    icon_ = std::make_unique<QSystemTrayIcon>();
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
      switch (reason) {
        case QSystemTrayIcon::DoubleClick: Notify(kTrayLeftDoubleClick); break;
        case QSystemTrayIcon::Context: Notify(kTrayRightButtonUp); break;
        case QSystemTrayIcon::Trigger: Notify(kTrayLeftButtonUp); break;
        default: break;
      }
    });
  }
  icon_->setIcon(icon);
  icon_->setToolTip(tip);
  icon_->show();
}

void QtTrayIcon::Hide() {
  if (icon_) icon_->hide();
}

bool QtTrayIcon::IsVisible() const { return icon_ && icon_->isVisible(); }
