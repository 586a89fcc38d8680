// The Qt dispatcher: calls from other threads run on the user-interface
// thread, also inside a modal dialog, never nested inside a wait in the
// engine, and the window keeps painting meanwhile; with the real engine, a
// handler may call back into it.
#include "workflow/QtDispatcher.h"
#include "support/TestSupport.h"
#include "tessivane/pagemem.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

// One application for the whole run, never destroyed: Qt's own statics go
// first at exit, and an application destroyed after them crashes.
QApplication& Application() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static char runtime[] = "/tmp/tessivane-qt-XXXXXX";
  if (::mkdtemp(runtime) != nullptr) ::setenv("XDG_RUNTIME_DIR", runtime, 1);
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

// A window that counts how often it was painted.
class TPaintCounter : public QWidget {
public:
  std::atomic<int> Paints{0};

protected:
  void paintEvent(QPaintEvent*) override { ++Paints; }
};

// Made before the fixture's widgets.
struct TWithApplication {
  TWithApplication() { Application(); }
};

class QtDispatcherTest : public ::testing::Test, private TWithApplication {
protected:
  void SetUp() override {
    Window.resize(200, 100);
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
  }
  TPaintCounter Window;
  TQtDispatcher Dispatcher;
};

TEST_F(QtDispatcherTest, CallsFromOtherThreadsRunOnTheUserInterfaceThread) {
  bool onUIThread = false;
  bool caught = false;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    Dispatcher.Synchronize([&] { onUIThread = Dispatcher.IsUIThread(); });
    try {
      Dispatcher.Synchronize([] { throw std::runtime_error("handler"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
    finished = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 10000));
  worker.join();
  EXPECT_TRUE(onUIThread);
  EXPECT_TRUE(caught); // raised again in the calling thread
}

TEST_F(QtDispatcherTest, ACallArrivingDuringAnEngineWaitRunsAfterItAndTheWindowPaints) {
  // The user-interface thread waits inside the engine (holding its request
  // lock), keeping responsive between slices, while another thread
  // synchronises a handler that would call the engine again.
  bool inEngine = true;
  int ranInsideTheWait = -1;
  std::atomic<bool> posted{false}, handled{false};
  std::thread events([&] {
    posted = true;
    Dispatcher.Synchronize([&] { ranInsideTheWait = inEngine ? 1 : 0; });
    handled = true;
  });
  while (!posted) std::this_thread::yield();
  const int paintsBefore = Window.Paints;
  for (int slice = 0; slice < 20; ++slice) {
    Window.update();
    Dispatcher.KeepResponsive();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const int paintsDuringWait = Window.Paints - paintsBefore;
  inEngine = false;
  EXPECT_TRUE(QTest::qWaitFor([&] { return handled.load(); }, 10000));
  events.join();
  EXPECT_EQ(ranInsideTheWait, 0);
  EXPECT_GT(paintsDuringWait, 0);
}

TEST_F(QtDispatcherTest, CancelDuringASlowTransferIsTakenAndTheWindowPaints) {
  QPushButton cancel("Cancel", &Window);
  cancel.show();
  std::atomic<bool> cancelled{false};
  QObject::connect(&cancel, &QPushButton::clicked, [&] { cancelled = true; });
  std::atomic<int> steps{0};
  std::atomic<bool> done{false};
  // A transfer of 500 slow strips, each reported on the interface thread.
  std::thread transfer([&] {
    for (int strip = 0; strip < 500 && !cancelled; ++strip) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      Dispatcher.Synchronize([&] { Window.update(); });
      ++steps;
    }
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return steps >= 5; }, 10000));
  const int paints = Window.Paints;
  ASSERT_TRUE(QTest::qWaitFor([&] { return Window.Paints > paints; }, 10000));
  QTest::mouseClick(&cancel, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
  transfer.join();
  EXPECT_TRUE(cancelled);
  EXPECT_LT(steps, 500);
}

// The real engine, manager and virtual scanner behind the Qt dispatcher.
class QtEngineTest : public QtDispatcherTest {
protected:
  void SetUp() override {
    QtDispatcherTest::SetUp();
    setenv("XDG_CONFIG_HOME", Dir.Path().c_str(), 1);
    setenv("XDG_STATE_HOME", Dir.Path().c_str(), 1);
    unsetenv("TESSIVANE_TWAIN_DSM");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("TESSIVANE_TWAIN_SOURCES", test::BinPath("twain_sources").c_str(), 1);
    const std::string config = Dir.File("scanner.conf");
    std::ofstream(config) << "sheets=2\n";
    setenv(VIRTUAL_CONFIG_VARIABLE, config.c_str(), 1);
  }
  void TearDown() override { unsetenv(VIRTUAL_CONFIG_VARIABLE); }

  // A component scanning small bilevel pages without the scanner's window.
  std::unique_ptr<TAcqTWAIN> MakeTwain() {
    auto twain = std::make_unique<TAcqTWAIN>(Dispatcher);
    twain->ShowUI = false;
    TAcqTWAIN* self = twain.get();
    twain->OnNegotiation = [self](TTwnObject*) {
      TTwnContainer* container = nullptr;
      ASSERT_EQ(self->GetCapabilityMsg(ICAP_SUPPORTEDSIZES, MSG_GET, container), TWRC_SUCCESS);
      container->SetCurrentValue(int32_t{TWSS_A6});
      ASSERT_EQ(self->SetCapabilityMsg(MSG_SET, -1, container), TWRC_SUCCESS);
    };
    return twain;
  }

  test::TempDir Dir;
};

TEST_F(QtEngineTest, AHandlerMayCallBackIntoTheEngine) {
  auto twain = MakeTwain();
  int images = 0;
  int answered = 0;
  twain->OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE handle,
                            const std::string&) {
    tsv_mem_free(static_cast<TSV_HANDLE>(handle));
    ++images;
    TTwnContainer* container = nullptr;
    // Mid-transfer the scanner refuses, but the call comes back.
    twain->GetCapabilityMsg(ICAP_XRESOLUTION, MSG_GETCURRENT, container);
    ++answered;
  };
  ASSERT_TRUE(twain->Acquire(""));
  EXPECT_TRUE(QTest::qWaitFor([&] { return images == 2 && twain->State() == 1; }, 60000));
  EXPECT_EQ(answered, 2);
}

TEST_F(QtEngineTest, PagesArriveWhileAModalDialogIsOpen) {
  auto twain = MakeTwain();
  int images = 0;
  int insideDialog = 0;
  QDialog dialog(&Window);
  twain->OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE handle,
                            const std::string&) {
    tsv_mem_free(static_cast<TSV_HANDLE>(handle));
    ++images;
    if (dialog.isVisible()) ++insideDialog;
    if (images == 2) dialog.accept();
  };
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(twain->Acquire(""));
    dialog.exec(); // the scan runs on while the dialog's own loop runs
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return images == 2 && twain->State() == 1; }, 60000));
  EXPECT_EQ(insideDialog, 2);
}

} // namespace
