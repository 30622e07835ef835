#pragma once
// Lays its items out left to right at their natural widths and starts a new row where
// the next one would not fit, so a row of group boxes or buttons wraps on a narrow
// page instead of pushing it wider. The items of a row share the row's height. At its
// minimum width (its widest item) it is as high as the rows it then needs.

#include <QLayout>
#include <QList>

class CWrapLayout : public QLayout {
 public:
  explicit CWrapLayout(int spacing);
  ~CWrapLayout() override;

  void addItem(QLayoutItem* item) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int index) const override { return items_.value(index); }
  QLayoutItem* takeAt(int index) override;
  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize minimumSize() const override;
  QSize sizeHint() const override;
  void setGeometry(const QRect& rect) override;

 private:
  // Places the items in rect when `place`; returns the height the rows take.
  int Arrange(const QRect& rect, bool place) const;

  QList<QLayoutItem*> items_;
};
