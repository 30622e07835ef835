#include "app/ui/main_dlg.h"
#include "controls/ui/color_list_box.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QGroupBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QApplication>
#include <QScopeGuard>
#include <QScrollArea>
#include <QDir>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTabBar>
#include <QTextLayout>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "../../support/db_builder.h"
#include "../../support/gui_driver.h"
#include "../../support/paint_probe.h"
#include "../../support/temp_program_folder.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/tip_wnd.h"
#include "fake_tray.h"
#include "platform/app_paths.h"
#include "platform/page_registry.h"
#include "platform/ui/dc.h"
#include "platform/pages/daily_list_page_iface.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ini_file.h"

using paint_probe::HasEveryGlyph;

namespace {

class CountingMainDlg : public CMainDlg {
 public:
  using CMainDlg::CMainDlg;
  void CheckRemoteConfig() override { ++remoteChecks; }
  int ChooseTrayMenuCommand(const QPoint&) override {
    ++menus;
    return menuAnswer;
  }
  int remoteChecks = 0;
  int menus = 0;
  int menuAnswer = 0;
};

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  return options;
}

class MainDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    PageRegistry::Instance().Restart(&dispatcher_);
    WorkerRegistry::Instance().Restart();
    g_Settings = CSettings{};
    g_strWindowTitle = "Velkor Desk";
    // The pages read both databases as they start: give them empty ones.
    db_ = std::make_unique<DbBuilder>(folder_.Path());
    db_->OpenGlobals();
  }
  void TearDown() override {
    PageRegistry::Instance().ResetForTests();
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }

  std::unique_ptr<CountingMainDlg> MakeWindow(bool trayAvailable = true) {
    auto tray = std::make_unique<FakeTray>(trayAvailable);
    tray_ = tray.get();
    auto dlg = std::make_unique<CountingMainDlg>(std::move(tray));
    dlg->resize(1024, 720);
    dlg->InitDialog();
    return dlg;
  }

  QtUiDispatcher dispatcher_;
  FakeTray* tray_ = nullptr;
  TempProgramFolder folder_{WithExportFolder()};
  std::unique_ptr<DbBuilder> db_;
};

QStringList TabTitles(CPageTabCtrl& tabs) {
  QStringList titles;
  for (int i = 0; i < tabs.TabBar()->count(); ++i) titles << tabs.TabBar()->tabText(i);
  return titles;
}

bool HasInk(const QImage& image, const QRect& area) {
  const QRgb first = image.pixel(area.topLeft());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixel(x, y) != first) return true;
    }
  }
  return false;
}

class ProbeDailyPage : public IDailyListPage {
 public:
  void OnTodayDataDownloaded() override {
    ++calls;
    onUiThread = QThread::currentThread() == qApp->thread();
  }
  std::atomic<int> calls{0};
  std::atomic<bool> onUiThread{false};
};

// Every page that hosts no tabs, shown through its strips as a user reaches it.
void ForEachLeafPage(CPageTabCtrl& tabs, const std::function<void(CPage&, const QString&)>& check) {
  for (int i = 0; i < tabs.PageCount(); ++i) {
    tabs.SetCurSel(i);
    QApplication::processEvents();
    auto* nested = tabs.Page(i)->findChild<CPageTabCtrl*>(QString(), Qt::FindDirectChildrenOnly);
    nested ? ForEachLeafPage(*nested, check) : check(*tabs.Page(i), QString::number(tabs.TemplateId(i)));
  }
}

// Every control the page shows is whole: the page as large as its layout needs, each
// control inside its parent and the page (what a page puts in a scroll area may lie
// beyond the page, and only a page that may scroll scrolls), no label, button or group
// title narrower than its text (a wrapping label as high as its lines), and no two
// controls of one parent over each other (an overlay may lie over them).
void ExpectEveryControlWhole(CPage& page, const std::string& where, bool mayScroll) {
  const QSize least = page.minimumSizeHint();  // no control squeezed below its own least size
  EXPECT_TRUE(least.width() <= page.width() && least.height() <= page.height()) << where;
  std::vector<QWidget*> shown;
  for (QWidget* c : page.findChildren<QWidget*>()) {
    if (!c->isVisibleTo(&page)) continue;
    const auto* label = qobject_cast<QLabel*>(c);
    const auto* button = qobject_cast<QAbstractButton*>(c);
    const auto* box = qobject_cast<QGroupBox*>(c);
    const QString text = label ? label->text() : button ? button->text().remove('&') : box ? box->title() : QString();
    if (label && label->wordWrap()) {
      EXPECT_GE(c->height(), c->heightForWidth(c->width())) << where << text.toStdString();
    } else {
      for (const QString& line : text.split('\n'))
        EXPECT_GE(c->width(), c->fontMetrics().horizontalAdvance(line)) << where << line.toStdString();
    }
    if (auto* list = qobject_cast<CColorListBox*>(c)) {  // a line wider than its list scrolls to its end
      for (int row = 0; row < list->count(); ++row) {
        EXPECT_LE(list->fontMetrics().horizontalAdvance(QString::fromStdString(list->GetText(row))),
                  list->viewport()->width() + list->horizontalScrollBar()->maximum())
            << where << " " << list->GetText(row);
      }
    }
    const auto* edit = qobject_cast<QLineEdit*>(c);  // its hint or default text whole
    if (edit && !qobject_cast<QAbstractSpinBox*>(c->parentWidget()) && !qobject_cast<QComboBox*>(c->parentWidget())) {
      const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
      EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(edit->text()) + 2 * frame + 4)
          << where << " " << edit->text().toStdString();
    }
    const bool ticks = qobject_cast<const QCheckBox*>(c) || qobject_cast<const QRadioButton*>(c);
    EXPECT_TRUE(!ticks || c->width() >= c->sizeHint().width()) << where << text.toStdString();  // the box or dot too
    const QScrollArea* scroller = nullptr;
    for (QWidget* w = c->parentWidget(); w != &page; w = w->parentWidget())
      scroller = scroller ? scroller : qobject_cast<QScrollArea*>(w);
    EXPECT_TRUE(!scroller || mayScroll || scroller->verticalScrollBar()->maximum() == 0) << where;
    QWidget* parent = c->parentWidget();
    if (qobject_cast<QAbstractScrollArea*>(parent->parentWidget()) || qobject_cast<QAbstractScrollArea*>(parent) ||
        qobject_cast<QAbstractSpinBox*>(parent) || c->testAttribute(Qt::WA_TransparentForMouseEvents))
      continue;  // a list's or an edit's own parts, and overlays
    EXPECT_TRUE(parent->rect().contains(c->geometry()) &&
                (scroller || page.rect().contains(QRect(c->mapTo(&page, QPoint()), c->size()))))
        << where << " " << c->metaObject()->className() << " " << text.toStdString();
    for (QWidget* other : shown) {
      EXPECT_FALSE(other->parentWidget() == parent && other->geometry().intersects(c->geometry()))
          << where << " " << other->metaObject()->className() << " " << c->metaObject()->className();
    }
    shown.push_back(c);
  }
}

// Every text a user can read on the widget and its children, and the Latin words
// among them that are none of the program's own names, file names, settings sections
// and the figures and choices the pages word so.
QStringList EnglishWords(QWidget* root) {
  QStringList texts;
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  for (QWidget* w : widgets << root) {
    for (const char* name : {"windowTitle", "toolTip", "text", "title", "placeholderText"})
      texts << w->property(name).toString();
    for (const QAction* action : w->actions()) texts << action->text();
    if (auto* button = qobject_cast<CBitmapButtonEx*>(w)) texts << QString::fromStdString(button->TooltipText());
    if (auto* tips = qobject_cast<CTipWnd*>(w))
      for (const CTipWnd::ToolItem& tool : tips->Tools())
        for (const CString& line : tool.lines) texts << QString::fromStdString(line);
    if (auto* combo = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    if (auto* bar = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < bar->count(); ++i) texts << bar->tabText(i);
    auto* view = qobject_cast<QAbstractItemView*>(w);
    const QAbstractItemModel* model = view != nullptr ? view->model() : nullptr;
    for (int c = 0; model != nullptr && c < model->columnCount(); ++c) {
      texts << model->headerData(c, Qt::Horizontal).toString();
      for (int r = 0; r < model->rowCount(); ++r) texts << model->index(r, c).data().toString();
    }
  }
  static const QStringList allowed{"Velkor", "Desk",   "TDX", "CJHB", "Custom", "mdb",    "sysinfo",
                                   "ini",    "DebugLog", "txt", "exe",  "README", "SourceHosts",
                                   "N",      "X",      "TOP200", "XP", "Win7",   "Win8",   "Win10"};
  QStringList found;
  for (const QString& text : texts) {
    for (auto it = QRegularExpression("[A-Za-z][A-Za-z0-9]*").globalMatch(text); it.hasNext();) {
      const QString word = it.next().captured();
      if (!allowed.contains(word)) found << word + " in \"" + text.left(80) + "\"";
    }
  }
  found.removeDuplicates();
  return found;
}

}  // namespace

TEST_F(MainDlgTest, AtTheLeastAndStartSizeAnd1024x700And1280x720EveryPageShowsEveryControlWhole) {
  const QFont testFont = QApplication::font();
  const auto restoreFont = qScopeGuard([&] { QApplication::setFont(testFont); });
  QApplication::setFont(ApplicationFont());  // the program's own, as it starts with it
  auto dlg = MakeWindow();
  const QSize start = dlg->StartSize();
  dlg->PlaceOnScreen(QRect(QPoint(0, 0), start + QSize(100, 60)));
  EXPECT_EQ(dlg->geometry(), QRect(QPoint(50, 30), start));
  dlg->PlaceOnScreen(QRect(0, 0, 1366, 768));
  EXPECT_TRUE(dlg->minimumWidth() <= 1024 && dlg->minimumHeight() <= 700) << dlg->minimumHeight();
  dlg->show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(dlg.get()));
  for (CColorListBox* list : dlg->findChildren<CColorListBox*>()) {  // a team's line, longer than any list
    list->AddString("温州系 股票108 600109 -4276 温州系 股票108 600109 -4276 温州系 股票108 600109 -4276");
  }
  for (const QSize size : {dlg->minimumSize(), start, QSize(1024, 700), QSize(1280, 720)}) {
    dlg->resize(size);
    const QString shot = size == start                ? "start_size_"
                         : size == dlg->minimumSize() ? "minimum_size_"
                                                      : QStringLiteral("%1x%2_").arg(size.width()).arg(size.height());
    ForEachLeafPage(dlg->m_ctrlTab, [&](CPage& page, const QString& id) {
      ExpectEveryControlWhole(page, (shot + id).toStdString(), &page == &dlg->m_dlgSetting);
      EXPECT_TRUE(GuiDriver::Grab(dlg.get()).save(shot + id + ".png"));
    });
  }
  dlg->PlaceOnScreen(QRect(0, 0, start.width() - 100, start.height() + 50));  // a smaller screen
  EXPECT_TRUE(dlg->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(dlg->geometry().size(), QSize(start.width() - 100, start.height() + 50));
}

TEST_F(MainDlgTest, SixTabsAndTwoNestedHostsInOrderWithTheirPages) {
  auto dlg = MakeWindow();
  EXPECT_EQ(TabTitles(dlg->m_ctrlTab),
            (QStringList{"今日Velkor", "敢死队排行榜", "搜索&&查询", "大宗交易", "数据下载", "系统设置"}));
  const int mainIds[] = {240, 229, 140, 242, 134, 177};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(dlg->m_ctrlTab.Page(i)->objectName(), QStringLiteral("page%1").arg(mainIds[i])) << i;
  }
  EXPECT_EQ(TabTitles(dlg->m_dlgTrackTabs.m_ctrlTab), (QStringList{"小牛追踪", "上榜明细", "席位解密", "个股活跃榜"}));
  const int trackIds[] = {243, 129, 239, 212};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dlg->m_dlgTrackTabs.m_ctrlTab.Page(i)->objectName(), QStringLiteral("page%1").arg(trackIds[i]));
  }
  EXPECT_EQ(TabTitles(dlg->m_dlgHotMoneyTabs.m_ctrlTab), (QStringList{"买卖排行榜", "游资持续买入", "机构买入排行榜"}));
  const int hotIds[] = {206, 236, 237};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(dlg->m_dlgHotMoneyTabs.m_ctrlTab.Page(i)->objectName(), QStringLiteral("page%1").arg(hotIds[i]));
  }
  // The seat success-rate page and the window's own ranking page never get a window.
  EXPECT_FALSE(dlg->m_dlgHotMoneyTabs.m_dlgSeatRate.isVisible());
  EXPECT_EQ(dlg->m_dlgHotMoneyTabs.m_dlgSeatRate.parentWidget(), nullptr);
  EXPECT_EQ(dlg->m_dlgTopBranch.parentWidget(), nullptr);
  EXPECT_EQ(dlg->GetDlgItem(1000), &dlg->m_ctrlTab);
}

TEST_F(MainDlgTest, StatusPanesAndTheirRegistrySlot) {
  auto dlg = MakeWindow();
  EXPECT_EQ(dlg->PaneText(0), QStringLiteral("专注Velkor数据统计、分析！"));
  EXPECT_EQ(dlg->PaneText(1), QStringLiteral("   工作状态: 运行中"));
  EXPECT_EQ(dlg->PaneText(2), QStringLiteral("Velkor Desk"));
  std::thread worker([] {
    PageRegistry::Instance().Send<IStatusBar>(PageSlot::StatusBar,
                                              [](IStatusBar& bar) { bar.SetPaneText(1, "正在下载 2017-02-06"); });
  });
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return dlg->PaneText(1) == QStringLiteral("正在下载 2017-02-06"); }));
  worker.join();
  dlg->SetPaneText(3, "ignored");
  EXPECT_EQ(dlg->PaneText(2), QStringLiteral("Velkor Desk"));
}

TEST_F(MainDlgTest, TimerOneChecksOnceAndMarksTheRun) {
  auto dlg = MakeWindow();
  EXPECT_EQ(dlg->TimerInterval(1), 20000);
  EXPECT_EQ(dlg->TimerInterval(4), 90000);
  dlg->OnTimer(1);
  EXPECT_EQ(dlg->remoteChecks, 1);
  EXPECT_EQ(dlg->TimerInterval(1), -1);
  EXPECT_EQ(GetPrivateProfileString("system", "IsExit", "", folder_.File("sysinfo.ini")), "0");
  EXPECT_EQ(g_Settings.IsExit, 0);
}

TEST_F(MainDlgTest, TimerFourSetsTheTitleAgain) {
  auto dlg = MakeWindow();
  g_strWindowTitle = "龙虎观察 2";
  dlg->setWindowTitle("changed");
  dlg->OnTimer(4);
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("龙虎观察 2"));
  EXPECT_EQ(dlg->TimerInterval(4), -1);
  EXPECT_EQ(dlg->TimerInterval(1), 20000);
}

TEST_F(MainDlgTest, MinimisingStaysAWindowWithoutTrayOrSetting) {
  for (const bool trayAvailable : {false, true}) {
    g_Settings.IsToTray = trayAvailable ? 0 : 1;
    auto dlg = MakeWindow(trayAvailable);
    dlg->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(dlg.get()));
    dlg->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(tray_->IsVisible());
  }
}

TEST_F(MainDlgTest, MinimisingToTheTrayAndBack) {
  g_Settings.IsToTray = 1;
  auto dlg = MakeWindow(true);
  dlg->show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(dlg.get()));
  dlg->setWindowState(Qt::WindowMinimized);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !dlg->isVisible(); }));
  EXPECT_TRUE(tray_->IsVisible());
  EXPECT_EQ(tray_->Tip(), QStringLiteral("消息服务程序"));
  EXPECT_EQ(dlg->OnTrayNotify(132, kTrayLeftDoubleClick), 1);  // another icon: ignored
  EXPECT_FALSE(dlg->isVisible());
  tray_->Act(kTrayLeftDoubleClick);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(tray_->IsVisible());
  EXPECT_EQ(dlg->menus, 0);
  tray_->Act(kTrayRightButtonUp);  // the menu, dismissed
  EXPECT_EQ(dlg->menus, 1);
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(MainDlgTest, TodayDownloadedReachesAPublishedPageOnTheUiThread) {
  auto dlg = MakeWindow();
  // The daily list page publishes itself as it starts; a probe takes its slot here.
  EXPECT_EQ(PageRegistry::Instance().Get<IDailyListPage>(PageSlot::DataDisplay),
            static_cast<IDailyListPage*>(&dlg->m_dlgTrackTabs.m_dlgDataDisplay));
  bool sent = false;

  ProbeDailyPage probe;
  PageRegistry::Instance().Publish<IDailyListPage>(PageSlot::DataDisplay, &probe);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    sent = PageRegistry::Instance().Send<IDailyListPage>(PageSlot::DataDisplay,
                                                         [](IDailyListPage& p) { p.OnTodayDataDownloaded(); });
    done = true;
  });
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(probe.calls, 1);
  EXPECT_TRUE(probe.onUiThread);
  PageRegistry::Instance().Unpublish(PageSlot::DataDisplay);
}

TEST_F(MainDlgTest, ScreenshotShowsEveryTitleAndPaneWithRealGlyphs) {
  auto dlg = MakeWindow();
  dlg->show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(dlg.get()));
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(dlg.get());
  ASSERT_EQ(shot.size(), QSize(1024, 720));
  const QString path = QDir::current().absoluteFilePath("main_window.png");
  EXPECT_TRUE(shot.save(path)) << path.toStdString();

  QTabBar* bar = dlg->m_ctrlTab.TabBar();
  for (int i = 0; i < bar->count(); ++i) {
    QString shown = bar->tabText(i);
    shown.replace("&&", "&");
    EXPECT_TRUE(HasEveryGlyph(shown, bar->font()))
        << shown.toStdString() << ": a glyph is missing (is fonts-noto-cjk installed?)";
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(HasEveryGlyph(dlg->PaneText(i).trimmed(), dlg->font()))
        << dlg->PaneText(i).toStdString() << ": a glyph is missing (is fonts-noto-cjk installed?)";
  }
  const QRect strip = bar->geometry().translated(dlg->m_ctrlTab.mapTo(dlg.get(), QPoint(0, 0)));
  EXPECT_TRUE(HasInk(shot, strip.intersected(shot.rect())));
  QWidget* pane0 = dlg->findChild<QLabel*>("pane0");
  ASSERT_NE(pane0, nullptr);
  const QRect paneArea(pane0->mapTo(dlg.get(), QPoint(0, 0)), pane0->size());
  EXPECT_TRUE(HasInk(shot, paneArea.intersected(shot.rect())));
}

TEST_F(MainDlgTest, TheMenuHooksLeaveOtherMenusAlone) {
  auto dlg = MakeWindow();
  CMenu plain;
  ASSERT_TRUE(plain.CreatePopupMenu());
  ASSERT_TRUE(plain.AppendMenu(MF_STRING, 501, "One"));
  ASSERT_TRUE(plain.AppendMenu(MF_STRING, 502, "Two"));
  dlg->OnInitMenuPopup(&plain, 0, FALSE);
  EXPECT_EQ(plain.GetMenuItemCount(), 2);
  EXPECT_EQ(plain.GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
  EXPECT_EQ(plain.GetMenuState(1, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
  MEASUREITEMSTRUCT mis;
  mis.itemID = 501;
  mis.itemWidth = 7;
  mis.itemHeight = 9;
  dlg->OnMeasureItem(0, &mis);
  EXPECT_EQ(mis.itemWidth, 7u);
  EXPECT_EQ(mis.itemHeight, 9u);
  plain.DestroyMenu();
}

// Under the C locale every page, its tips and lists speak Chinese, and so does the box
// of a request to a market database that is not open.
TEST_F(MainDlgTest, NoEnglishWordOnAnyPageUnderTheCLocale) {
  ASSERT_EQ(QLocale::system().language(), QLocale::C);
  g_ADODatabase.Close();
  auto dlg = MakeWindow();
  dlg->show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(dlg.get()));
  ForEachLeafPage(dlg->m_ctrlTab, [](CPage&, const QString&) {});  // every page as a user reaches it
  GuiDriver::Click(&dlg->m_dlgHotMoneyTabs.m_dlgInstitution, 1006);
  const std::vector<RecordedMessageBox> boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "数据库查询失败!\n数据库未打开");
  QStringList english;
  for (QWidget* top : QApplication::topLevelWidgets()) english << EnglishWords(top);
  EXPECT_TRUE(english.isEmpty()) << english.join('\n').toStdString();
}
