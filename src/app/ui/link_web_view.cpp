#include "app/ui/link_web_view.h"

#include "controls/ui/hyper_link.h"
#include "platform/ui/qt_convert.h"

LinkWebView::LinkWebView(QWidget* parent) : link_(new CHyperLink(parent)) {
  link_->SetUnderline(CHyperLink::kUnderlineAlways);
  link_->SetAutoSize(false);
  link_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  link_->setWordWrap(true);
  link_->setObjectName(QStringLiteral("linkWebView"));
}

LinkWebView::~LinkWebView() = default;

QWidget* LinkWebView::Widget() { return link_; }

void LinkWebView::Load(const QUrl& url) {
  history_.resize(static_cast<std::size_t>(current_ + 1));
  history_.push_back(url);
  Show(current_ + 1);
}

void LinkWebView::Back() {
  if (current_ > 0) Show(current_ - 1);
}

void LinkWebView::Forward() {
  if (current_ + 1 < static_cast<int>(history_.size())) Show(current_ + 1);
}

void LinkWebView::Show(int index) {
  current_ = index;
  const QString address = history_[static_cast<std::size_t>(index)].toString();
  link_->setText(address);
  link_->SetURL(FromQString(address));
}

QUrl LinkWebView::Url() const { return current_ >= 0 ? history_[static_cast<std::size_t>(current_)] : QUrl(); }

QString LinkWebView::Title() const { return Url().toString(); }
