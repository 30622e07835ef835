#pragma once
// The browser view without an engine: the current address as a link (always
// underlined) in the top left corner of an otherwise empty area; only the link's
// text opens the address in the desktop's browser. A blank page shows no link.

#include <vector>

#include "app/ui/web_browser2.h"

class CHyperLink;

class LinkWebView final : public IWebView {
 public:
  explicit LinkWebView(QWidget* parent);
  ~LinkWebView() override;

  QWidget* Widget() override;
  void Load(const QUrl& url) override;
  void Back() override;
  void Forward() override;
  void Reload() override {}
  void StopLoading() override {}
  QUrl Url() const override;
  QString Title() const override;
  bool Loading() const override { return false; }
  void SetSilent(bool) override {}

  CHyperLink* Link() { return link_; }

 private:
  void Show(int index);

  QWidget* area_;
  CHyperLink* link_;
  std::vector<QUrl> history_;
  int current_ = -1;
};
