#include "controls/ui/page_tab_ctrl.h"

#include <QEvent>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/page.h"

CPageTabCtrl::CPageTabCtrl(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  tabBar_ = new QTabBar(this);
  tabBar_->setExpanding(false);
  tabBar_->setDrawBase(true);
  pageArea_ = new QWidget(this);
  layout->addWidget(tabBar_);
  layout->addWidget(pageArea_, 1);
  pageArea_->installEventFilter(this);
  connect(tabBar_, &QTabBar::currentChanged, this, &CPageTabCtrl::OnTabChanged);
}

BOOL CPageTabCtrl::AddPage(const char* title, CPage* page, UINT templateId) {
  if (shown_ || m_nCount >= kMaxPages || page == nullptr) return FALSE;
  titles_[m_nCount] = title;
  pages_[m_nCount] = page;
  templateIds_[m_nCount] = templateId;
  ++m_nCount;
  return TRUE;
}

void CPageTabCtrl::Show() {
  if (shown_) return;
  shown_ = true;
  if (m_nCurrent >= m_nCount) m_nCurrent = 0;
  for (int i = 0; i < m_nCount; ++i) {
    CPage* page = pages_[i];
    page->setParent(pageArea_);
    page->setVisible(false);
    page->InitDialog();
  }
  {
    // Building the strip must not switch pages tab by tab.
    const QSignalBlocker block(tabBar_);
    for (int i = 0; i < m_nCount; ++i) tabBar_->addTab(QString::fromUtf8(titles_[i]));
    tabBar_->setCurrentIndex(m_nCount > 0 ? m_nCurrent : -1);
  }
  LayoutPages();
  if (m_nCount > 0) pages_[m_nCurrent]->setVisible(true);
}

int CPageTabCtrl::SetCurSel(int index) {
  if (index == m_nCurrent) return index;
  if (index < 0 || index >= m_nCount) return -1;
  const int previous = m_nCurrent;
  if (!shown_) {
    m_nCurrent = index;
    return previous;
  }
  tabBar_->setCurrentIndex(index);  // switches through OnTabChanged
  if (m_nCurrent != index) SwitchTo(index);
  return previous;
}

int CPageTabCtrl::GetCurSel() const { return tabBar_->currentIndex(); }

CPage* CPageTabCtrl::Page(int index) const {
  return index >= 0 && index < m_nCount ? pages_[index] : nullptr;
}

UINT CPageTabCtrl::TemplateId(int index) const {
  return index >= 0 && index < m_nCount ? templateIds_[index] : 0;
}

const char* CPageTabCtrl::Title(int index) const {
  return index >= 0 && index < m_nCount ? titles_[index] : nullptr;
}

// Any change of the strip's selection, by mouse or keyboard, shows that page; a click
// on the current tab changes nothing and so does nothing.
void CPageTabCtrl::OnTabChanged(int index) {
  if (!shown_ || index < 0 || index >= m_nCount || index == m_nCurrent) return;
  SwitchTo(index);
}

void CPageTabCtrl::SwitchTo(int index) {
  pages_[m_nCurrent]->setVisible(false);
  m_nCurrent = index;
  CPage* page = pages_[index];
  page->setGeometry(pageArea_->rect());
  page->setVisible(true);
  page->setFocus(Qt::TabFocusReason);
}

QSize CPageTabCtrl::minimumSizeHint() const { return AroundPages(&QWidget::minimumSizeHint); }

QSize CPageTabCtrl::sizeHint() const { return AroundPages(&QWidget::sizeHint); }

QSize CPageTabCtrl::AroundPages(QSize (QWidget::*pageSize)() const) const {
  QSize pages(0, 0);
  for (int i = 0; i < m_nCount; ++i) pages = pages.expandedTo((pages_[i]->*pageSize)());
  const int spacing = std::max(0, layout()->spacing());
  return {std::max(pages.width(), tabBar_->sizeHint().width()),
          tabBar_->sizeHint().height() + spacing + pages.height()};
}

void CPageTabCtrl::LayoutPages() {
  const QRect area = pageArea_->rect();
  for (int i = 0; i < m_nCount; ++i) pages_[i]->setGeometry(area);
}

bool CPageTabCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pageArea_ && event->type() == QEvent::Resize && shown_) LayoutPages();
  return QWidget::eventFilter(watched, event);
}
