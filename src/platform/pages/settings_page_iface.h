#pragma once
// The settings page as the download road sees it (registry slot Setting).

class ISettingsPage {
 public:
  virtual ~ISettingsPage() = default;
  // A download run has ended: regenerate the charting program's custom data unless
  // that is running already.
  virtual void OnDownloadRunFinished() = 0;
};
