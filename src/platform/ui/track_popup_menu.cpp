#include "platform/ui/track_popup_menu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"

namespace {

std::function<void(QMenu*)>& Hook() {
  static std::function<void(QMenu*)> hook;
  return hook;
}

struct ItemInfo {
  int position = -1;
  UINT id = 0;
  UINT state = 0;
  bool ownerDraw = false;
  ULONG_PTR data = 0;
};

class ModelMenu;

// Measures and paints owner-drawn items through their owner.
class OwnerDrawStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    // A grayed item can be selected, as the owner-drawn menus expect.
    if (hint == SH_Menu_AllowActiveAndDisabled) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

class ModelMenu : public QMenu {
 public:
  ModelMenu(HMENU menu, IMenuOwner* owner, UINT index, QWidget* parent, std::shared_ptr<OwnerDrawStyle> style)
      : QMenu(parent), menu_(menu), owner_(owner), index_(index), style_(std::move(style)) {
    setStyle(style_.get());
    connect(this, &QMenu::aboutToShow, this, [this] { Prepare(); });
  }

  // The owner hears first (it may change the model), then the items are built.
  void Prepare() {
    if (owner_ != nullptr) {
      if (CMenu* object = CMenu::FromHandle(menu_)) owner_->OnInitMenuPopup(object, index_, FALSE);
    }
    Rebuild();
  }

  void Rebuild() {
    clear();
    infos_.clear();
    for (QObject* child : children()) {
      if (auto* sub = dynamic_cast<ModelMenu*>(child)) sub->deleteLater();
    }
    CMenu* object = CMenu::FromHandle(menu_);
    if (object == nullptr) return;
    const int count = object->GetMenuItemCount();
    for (int i = 0; i < count; ++i) {
      ItemInfo info;
      info.position = i;
      info.state = object->GetMenuState(static_cast<UINT>(i), MF_BYPOSITION);
      info.id = object->GetMenuItemID(i);
      // A pop-up item's state holds its item count in the high byte: ask for the type.
      MENUITEMINFO type;
      type.fMask = MIIM_FTYPE;
      object->GetMenuItemInfo(static_cast<UINT>(i), &type, TRUE);
      info.ownerDraw = (type.fType & MF_OWNERDRAW) != 0;
      info.data = object->GetItemData(static_cast<UINT>(i), MF_BYPOSITION);
      CString text;
      object->GetMenuString(static_cast<UINT>(i), text, MF_BYPOSITION);
      const QString label = info.ownerDraw ? QString() : ToQString(text);
      QAction* action = nullptr;
      if ((info.state & MF_POPUP) != 0) {
        CMenu* sub = object->GetSubMenu(i);
        if (sub == nullptr) continue;
        info.id = MenuHandleValue(sub->m_hMenu);
        auto* subMenu = new ModelMenu(sub->m_hMenu, owner_, static_cast<UINT>(i), this, style_);
        subMenu->setTitle(label);
        action = addMenu(subMenu);
      } else if ((info.state & MF_SEPARATOR) != 0) {
        action = addSeparator();
      } else {
        action = addAction(label);
        action->setData(info.id);
        if ((info.state & MF_CHECKED) != 0 && !info.ownerDraw) {
          action->setCheckable(true);
          action->setChecked(true);
        }
      }
      action->setEnabled((info.state & (MF_GRAYED | MF_DISABLED)) == 0);
      infos_[action] = info;
    }
  }

  const ItemInfo* InfoOf(const QAction* action) const {
    const auto it = infos_.find(action);
    return it == infos_.end() ? nullptr : &it->second;
  }
  const QAction* StyledAction() const { return styled_; }
  HMENU Handle() const { return menu_; }
  IMenuOwner* Owner() const { return owner_; }
  QAction* ActionAt(int position) const {
    for (const auto& [action, info] : infos_) {
      if (info.position == position) return const_cast<QAction*>(action);
    }
    return nullptr;
  }

  UINT chosen = 0;
  bool hasChoice = false;

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
    QMenu::initStyleOption(option, action);
    styled_ = action;  // the style's next question is about this action
  }

  void keyPressEvent(QKeyEvent* event) override {
    const QString typed = event->text();
    if (owner_ != nullptr && typed.size() == 1 && typed.at(0).isPrint() && !TakenByMnemonic(typed)) {
      const LRESULT answer = owner_->OnMenuChar(typed.at(0).unicode(), MF_POPUP, CMenu::FromHandle(menu_));
      if (((answer >> 16) & 0xFFFF) == MNC_EXECUTE) {
        if (QAction* action = ActionAt(static_cast<int>(answer & 0xFFFF))) {
          Execute(action);
          return;
        }
      }
    }
    QMenu::keyPressEvent(event);
  }

 private:
  // Whether an item's "&" mnemonic is the typed character (case-insensitive; "&&" is
  // a plain ampersand). The menu itself handles those keys.
  bool TakenByMnemonic(const QString& typed) const {
    const QChar key = typed.at(0).toLower();
    for (QAction* action : actions()) {
      if (!action->isVisible() || action->isSeparator()) continue;
      const QString text = action->text();
      for (int i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&')) continue;
        if (text.at(i + 1) == QLatin1Char('&')) {
          ++i;
          continue;
        }
        if (text.at(i + 1).toLower() == key) return true;
        break;
      }
    }
    return false;
  }

  void Execute(QAction* action) {
    if (action->menu() != nullptr) {
      setActiveAction(action);
      return;
    }
    ModelMenu* root = this;
    while (auto* up = dynamic_cast<ModelMenu*>(root->parentWidget())) root = up;
    root->chosen = action->data().toUInt();
    root->hasChoice = true;
    for (QWidget* w = this; w != nullptr;) {
      auto* menu = dynamic_cast<ModelMenu*>(w);
      if (menu == nullptr) break;
      menu->hide();
      w = menu->parentWidget();
    }
  }

  HMENU menu_;
  IMenuOwner* owner_;
  UINT index_;
  std::shared_ptr<OwnerDrawStyle> style_;
  std::map<const QAction*, ItemInfo> infos_;
  mutable const QAction* styled_ = nullptr;
};

const ItemInfo* OwnerDrawnItem(const QWidget* widget, const ModelMenu** menuOut) {
  const auto* menu = dynamic_cast<const ModelMenu*>(widget);
  if (menu == nullptr || menu->StyledAction() == nullptr) return nullptr;
  const ItemInfo* info = menu->InfoOf(menu->StyledAction());
  if (info == nullptr || !info->ownerDraw) return nullptr;
  *menuOut = menu;
  return info;
}

QSize OwnerDrawStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                       const QWidget* widget) const {
  const ModelMenu* menu = nullptr;
  if (type == CT_MenuItem) {
    if (const ItemInfo* info = OwnerDrawnItem(widget, &menu)) {
      MEASUREITEMSTRUCT mis;
      mis.CtlType = ODT_MENU;
      mis.itemID = info->id;
      mis.itemData = info->data;
      // The menu object's own measuring first, then the owner's handler.
      DefaultMeasureMenuItem(menu->Handle(), &mis);
      if (menu->Owner() != nullptr) menu->Owner()->OnMeasureItem(0, &mis);
      // A zero width would drop the item from the layout; the menu is as wide as its
      // widest item anyway.
      return {std::max(1, static_cast<int>(mis.itemWidth)), static_cast<int>(mis.itemHeight)};
    }
  }
  return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void OwnerDrawStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
  const ModelMenu* menu = nullptr;
  if (element == CE_MenuItem) {
    if (const ItemInfo* info = OwnerDrawnItem(widget, &menu)) {
      CDC dc(*painter);
      dc.SelectObject(CFont(widget->font()));
      DRAWITEMSTRUCT dis;
      dis.CtlType = ODT_MENU;
      dis.itemID = info->id;
      dis.itemAction = ODA_DRAWENTIRE;
      if ((option->state & State_Selected) != 0) dis.itemState |= ODS_SELECTED;
      if ((info->state & MF_GRAYED) != 0) dis.itemState |= ODS_GRAYED;
      if ((info->state & MF_DISABLED) != 0) dis.itemState |= ODS_DISABLED;
      if ((info->state & MF_CHECKED) != 0) dis.itemState |= ODS_CHECKED;
      dis.hwndItem = menu->Handle();
      dis.hDC = &dc;
      dis.rcItem = FromQRect(option->rect);
      dis.itemData = info->data;
      if (menu->Owner() != nullptr) {
        menu->Owner()->OnDrawItem(0, &dis);
      } else {
        DefaultDrawMenuItem(&dis);
      }
      return;
    }
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

}  // namespace

void IMenuOwner::OnInitMenuPopup(CMenu*, UINT, BOOL) {}

void IMenuOwner::OnMeasureItem(int, LPMEASUREITEMSTRUCT) {}

void IMenuOwner::OnDrawItem(int, LPDRAWITEMSTRUCT dis) { DefaultDrawMenuItem(dis); }

LRESULT IMenuOwner::OnMenuChar(UINT, UINT, CMenu*) { return 0; }

void IMenuOwner::OnCommand(UINT) {}

void DefaultMeasureMenuItem(HMENU menu, LPMEASUREITEMSTRUCT mis) {
  if (mis == nullptr || mis->CtlType != ODT_MENU) return;
  if (CMenu* object = CMenu::FromHandlePermanent(menu)) object->MeasureItem(mis);
}

void DefaultDrawMenuItem(LPDRAWITEMSTRUCT dis) {
  if (dis == nullptr || dis->CtlType != ODT_MENU) return;
  if (CMenu* object = CMenu::FromHandlePermanent(dis->hwndItem)) object->DrawItem(dis);
}

QMenu* BuildPopupMenu(CMenu* menu, IMenuOwner* owner, QWidget* parent) {
  if (menu == nullptr || menu->m_hMenu == nullptr) return nullptr;
  auto* built = new ModelMenu(menu->m_hMenu, owner, 0, parent, std::make_shared<OwnerDrawStyle>());
  built->Rebuild();
  return built;
}

UINT TrackPopupMenu(CMenu* menu, UINT flags, int x, int y, IMenuOwner* owner, QWidget* parent) {
  if (menu == nullptr || menu->GetMenuItemCount() <= 0) return FALSE;
  std::unique_ptr<QMenu> shown(BuildPopupMenu(menu, owner, parent));
  auto* model = static_cast<ModelMenu*>(shown.get());
  QObject::connect(shown.get(), &QMenu::triggered, shown.get(), [model](QAction* action) {
    if (action->menu() != nullptr) return;
    model->chosen = action->data().toUInt();
    model->hasChoice = true;
  });
  if (Hook()) {
    QPointer<QMenu> guard(shown.get());
    QTimer::singleShot(0, shown.get(), [guard] {
      if (guard != nullptr && Hook()) Hook()(guard);
    });
  }
  shown->exec(QPoint(x, y));
  const bool chose = model->hasChoice;
  const UINT id = model->chosen;
  shown.reset();
  if ((flags & TPM_RETURNCMD) != 0) return chose ? id : 0;
  if (chose && owner != nullptr) {
    QObject* context = parent != nullptr ? static_cast<QObject*>(parent) : QCoreApplication::instance();
    QPointer<QObject> guard(context);
    QMetaObject::invokeMethod(
        context, [owner, id, guard] {
          if (guard != nullptr) owner->OnCommand(id);
        },
        Qt::QueuedConnection);
  }
  return chose ? TRUE : FALSE;
}

void SetTrackPopupMenuHook(std::function<void(QMenu*)> hook) { Hook() = std::move(hook); }
