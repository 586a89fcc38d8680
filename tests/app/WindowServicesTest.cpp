// The About box through its command, and the log window's check mark
// through its command and its window frame.
#include "WindowFixture.h"

#include "app/ActionTable.h"
#include "app/DialogoInformazioni.h"
#include "app/LogForm.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace apptest;

namespace {

// Takes the addresses the desktop is asked to open.
class TUrlRecorder : public QObject {
  Q_OBJECT

public:
  QList<QUrl> Urls;

public slots:
  void Open(const QUrl& url) { Urls << url; }
};

using WindowServices = WindowTest;

} // namespace

TEST_F(WindowServices, AboutBoxShowsItsTextsAndOpensItsLinksThroughTheDesktop) {
  TFormMain& form = Start();
  TUrlRecorder recorder;
  QDesktopServices::setUrlHandler("mailto", &recorder, "Open");
  QDesktopServices::setUrlHandler("https", &recorder, "Open");
  bool shown = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<TDialogoInformazioni*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    shown = true;
    EXPECT_EQ(box->windowTitle(), "About");
    EXPECT_EQ(box->property(kHelpContextProperty).toInt(), 1050);
    EXPECT_TRUE(box->isModal());
    EXPECT_EQ(box->parentWidget(), &form);
    EXPECT_TRUE(box->minimumSize() == box->maximumSize() && box->size() == box->minimumSize());
    // Centred within the width of the window's frame.
    const QPoint off = box->frameGeometry().center() - box->screen()->availableGeometry().center();
    EXPECT_TRUE(std::abs(off.x()) <= 4 && std::abs(off.y()) <= 4) << off.x() << "," << off.y();
    std::map<QString, QString> texts;
    for (QLabel* label : box->findChildren<QLabel*>())
      if (!label->text().isEmpty()) texts[label->objectName()] = label->text();
    EXPECT_EQ(texts, (std::map<QString, QString>{{"LabelProduct", "Vellumtrace Tessivane"},
                                                 {"LabelPlatform", "for Windows 9x/ME/NT/2000/XP"},
                                                 {"LabelVersion", "Version 1.01 - April 2004"},
                                                 {"LabelMaker", "Vellumtrace Technologies"},
                                                 {"LabelAddress", "17 Weavers Row, Parchment Hill"},
                                                 {"LabelTelephone", "Tel. +1 202 555 0134"},
                                                 {"LabelFax", "Fax +1 202 555 0135"},
                                                 {"LabelMail", "E-Mail:"},
                                                 {"Label5", "info@vellumtrace.example"},
                                                 {"LabelWeb", "Internet web:"},
                                                 {"Label6", "https://www.vellumtrace.example/"}}));
    // Top to bottom: the name, the platform, the version, then the card.
    const auto y = [box](const char* name) { return box->findChild<QWidget*>(name)->y(); };
    EXPECT_TRUE(y("LabelProduct") < y("LabelPlatform") && y("LabelPlatform") < y("LabelVersion") &&
                y("LabelVersion") < y("PanelShadow") && y("PanelShadow") < y("ButtonOk"));
    for (QLabel* link : {&box->Label5(), &box->Label6()}) {
      EXPECT_TRUE(link->font().underline());
      EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
      EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
      QTest::mouseClick(link, Qt::LeftButton);
    }
    EXPECT_EQ(recorder.Urls, (QList<QUrl>{QUrl("mailto:info@vellumtrace.example"),
                                          QUrl("https://www.vellumtrace.example/")}));
    // The icons at both ends of the product's name, in raised bevels.
    for (const char* name : {"PanelIcon1", "PanelIcon2"}) {
      auto* icon = box->findChild<QLabel*>(name);
      EXPECT_EQ(icon->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
      EXPECT_EQ(icon->frameStyle(), QFrame::Panel | QFrame::Raised);
    }
    // The card drawn in its colour, its shadow grey below it, 4 pixels to the right.
    const QImage drawn = box->findChild<QWidget*>("PanelShadow")->grab().toImage();
    const QRect at = box->findChild<QFrame*>("PanelCard")->geometry();
    EXPECT_EQ(drawn.pixelColor(at.center()), box->palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(drawn.pixelColor(at.bottomRight() + QPoint(2, 2)), QColor(Qt::gray));
    EXPECT_EQ(drawn.pixelColor(at.bottomLeft() + QPoint(6, 2)), QColor(Qt::gray));
    EXPECT_NE(drawn.pixelColor(at.bottomLeft() + QPoint(1, 2)), QColor(Qt::gray));
    EXPECT_EQ(box->ButtonOk().text(), "OK");
    QTest::mouseClick(&box->ButtonOk(), Qt::LeftButton);
  });
  poll.start(10);
  EXPECT_TRUE(form.ExecuteAction("ActionAbout"));
  QDesktopServices::unsetUrlHandler("mailto");
  QDesktopServices::unsetUrlHandler("https");
  EXPECT_TRUE(shown);
  // Disposed of when closed.
  EXPECT_EQ(form.findChild<TDialogoInformazioni*>(), nullptr);
}

TEST_F(WindowServices, LogCheckMarkFollowsACloseByTheWindowFrame) {
  TFormMain& form = Start();
  TLogForm& log = form.LogForm();
  QAction* action = form.Action("ActionLog");
  for (int round = 0; round < 2; ++round) {
    // Shown again by its command: marked.
    ASSERT_TRUE(form.ExecuteAction("ActionLog"));
    ASSERT_TRUE(log.isVisible());
    EXPECT_TRUE(action->isChecked());
    // The frame's close button: the platform asks the window to close.
    ASSERT_NE(log.windowHandle(), nullptr);
    log.windowHandle()->close();
    EXPECT_FALSE(log.isVisible());
    EXPECT_FALSE(action->isChecked()) << "round " << round;
    // Idle work keeps it so.
    WaitFor([] { return false; }, 50);
    EXPECT_FALSE(action->isChecked());
  }
  // The command still toggles from the mark the frame left.
  ASSERT_TRUE(form.ExecuteAction("ActionLog"));
  EXPECT_TRUE(log.isVisible());
  ASSERT_TRUE(form.ExecuteAction("ActionLog"));
  EXPECT_FALSE(log.isVisible());
  EXPECT_FALSE(action->isChecked());
}

#include "WindowServicesTest.moc"
