#include "app/ui/link_web_view.h"

#include <QVBoxLayout>

#include "controls/ui/hyper_link.h"
#include "platform/ui/qt_convert.h"

LinkWebView::LinkWebView(QWidget* parent) : area_(new QWidget(parent)), link_(new CHyperLink(area_)) {
  link_->SetUnderline(CHyperLink::kUnderlineAlways);
  link_->SetAutoSize(false);
  link_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  link_->setObjectName(QStringLiteral("linkWebView"));
  // The link keeps the size of its text in the top left corner: the rest of the
  // area is empty and opens nothing.
  auto* layout = new QVBoxLayout(area_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(link_, 0, Qt::AlignLeft | Qt::AlignTop);
  layout->addStretch(1);
}

LinkWebView::~LinkWebView() = default;

QWidget* LinkWebView::Widget() { return area_; }

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
  QString address = history_[static_cast<std::size_t>(index)].toString();
  // A blank page has no link at all, so there is nothing to click.
  if (address == QLatin1String("about:blank")) address.clear();
  link_->setText(address);
  link_->SetURL(FromQString(address));
  link_->setVisible(!address.isEmpty());
  area_->layout()->activate();  // the link takes its new text's size at once
}

QUrl LinkWebView::Url() const { return current_ >= 0 ? history_[static_cast<std::size_t>(current_)] : QUrl(); }

QString LinkWebView::Title() const { return Url().toString(); }
