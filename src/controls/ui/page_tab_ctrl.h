#pragma once
// A tab strip over up to 16 pages. The owner adds its pages (which it keeps owning as
// members), then calls Show once: each page is put under the strip and initialised, in
// tab order; a page that hosts tabs of its own builds them inside its initialisation,
// so nested pages are initialised depth-first. Exactly one page shows at a time; a
// hidden page keeps its state and its timers.

#include <QWidget>
#include <array>

#include "platform/win_types.h"

class CPage;
class QTabBar;

class CPageTabCtrl : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxPages = 16;

  explicit CPageTabCtrl(QWidget* parent = nullptr);

  // FALSE when 16 pages are held already or Show has run; the title is kept as given
  // ("搜索&&查询" shows one "&").
  BOOL AddPage(const char* title, CPage* page, UINT templateId);
  // Builds the tabs and the pages and shows the current page. Once.
  void Show();
  // Shows page `index`; returns the previous index, the index itself when it is the
  // current one, or -1 (nothing changes) when it is out of range.
  int SetCurSel(int index);
  // The strip's selected tab (-1 before Show).
  int GetCurSel() const;

  int m_nCount = 0;
  int m_nCurrent = 0;

  int PageCount() const { return m_nCount; }
  CPage* Page(int index) const;
  UINT TemplateId(int index) const;
  const char* Title(int index) const;
  QTabBar* TabBar() const { return tabBar_; }
  bool IsShown() const { return shown_; }

  // The strip with all its tabs over the room the largest page's layout needs (a page
  // that hosts tabs asks its own strip). The pages are placed by hand, not by a
  // layout, so nothing else would tell the window around how large they must be.
  QSize minimumSizeHint() const override;
  // The same over the room the largest page would like (its natural size).
  QSize sizeHint() const override;

 protected:
  // Pages follow the size of the page area.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnTabChanged(int index);
  void SwitchTo(int index);
  void LayoutPages();
  QSize AroundPages(QSize (QWidget::*pageSize)() const) const;

  std::array<const char*, kMaxPages> titles_{};
  std::array<CPage*, kMaxPages> pages_{};
  std::array<UINT, kMaxPages> templateIds_{};
  QTabBar* tabBar_ = nullptr;
  QWidget* pageArea_ = nullptr;
  bool shown_ = false;
};
