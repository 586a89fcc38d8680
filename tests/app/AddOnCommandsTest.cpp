// Plug-in modules through the window: loading the program folder's modules,
// the plug-in dialog, and runs of the sample modules on the page shown and
// on every batch file.
#include "WindowFixture.h"

#include "app/DialogoProcessing.h"
#include "app/LogForm.h"
#include "app/PageView.h"
#include "app/ThumbnailStrip.h"
#include "graphics/DibGraphic.h"
#include "graphics/GraphicRegistry.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace apptest;
namespace fs = std::filesystem;

namespace {

// What the plug-in dialog showed when it came up.
struct TDialogSeen {
  QString Caption;
  QStringList Items;
  bool OkAtShow = true;
  bool OkAfterClick = false;
};

QImage PageImage(const std::string& file, int page = 1) {
  const std::unique_ptr<TDibGraphic> graphic = GraphicForFile(file);
  graphic->SetImageToLoad(page);
  graphic->LoadFromFile(file);
  const QImage image = graphic->ToQImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_FALSE(image.isNull()) << file;
  return image;
}

QImage Inverted(QImage image) {
  image.invertPixels();
  return image;
}

// The mean difference of the grey levels of two pictures, 255 when their
// sizes differ. A grey page is written back with JPEG, which is lossy.
double MeanDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return 255;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
  return sum / (a.width() * a.height());
}

const std::string kInvalidPage = "The plug-in module returned an invalid page: ";

} // namespace

class AddOnCommands : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    FRecord = FBatch.File("calls.txt");
    // Two one-page files, bilevel and grey, and a three-page file.
    for (int i = 1; i <= 2; ++i)
      WritePage(FFiles.emplace_back(FBatch.File("0000000" + std::to_string(i) + ".tif")), 400, 500,
                300, i == 2 ? 8 : 1, i);
    WritePages(FFiles.emplace_back(FBatch.File("00000003.tif")), {120, 160, 200}, 100);
  }
  void TearDown() override {
    WindowTest::TearDown();
    ::unsetenv("TESSIVANE_SCRIPTED_PLUGIN");
  }

  void Install(const std::string& from, const std::string& as) {
    fs::copy_file(from, FAppFolder.File(as));
  }
  void InstallSamples() {
    for (const std::string name : {"sample-scripted.so", "sample-threshold.so"})
      Install(TESSIVANE_SAMPLES_DIR "/" + name, name);
  }
  // The scripted module's answers, with the record of its calls started anew.
  void Script(const std::string& settings) {
    fs::remove(FRecord);
    const std::string all = "description=Scripted;record=" + FRecord + ";" + settings;
    ::setenv("TESSIVANE_SCRIPTED_PLUGIN", all.c_str(), 1);
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    std::ifstream in(FRecord);
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    return calls;
  }

  // ActionCustomProcessing, the dialog answered by clicking row and then OK
  // (Cancel when OK stays disabled), or by Cancel when row is -1.
  TDialogSeen RunPlugIn(int row) {
    TDialogSeen seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TDialogoProcessing*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      QListWidget& list = dialog->ListBoxModuli();
      seen.Caption = dialog->windowTitle();
      for (int i = 0; i < list.count(); ++i) seen.Items << list.item(i)->text();
      seen.OkAtShow = dialog->ButtonOk().isEnabled();
      if (row >= 0) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
        seen.OkAfterClick = dialog->ButtonOk().isEnabled();
        QTest::mouseClick(&dialog->ButtonOk(), Qt::LeftButton);
      }
      if (dialog->isVisible()) QTest::mouseClick(&dialog->ButtonCancel(), Qt::LeftButton);
    });
    poll.start();
    EXPECT_TRUE(FForm->ExecuteAction("ActionCustomProcessing"));
    return seen;
  }

  QImage ViewerImage() const {
    return FForm->Viewer().Graphic().ToQImage().convertToFormat(QImage::Format_RGB32);
  }

  std::string FRecord;
  std::vector<std::string> FFiles;
};

// Only libraries with all four exports are listed, in the order of their
// names; they are unloaded from the last to the first. With none, the list
// is empty and OK stays disabled.
TEST_F(AddOnCommands, ListsModulesWithAllFourExports) {
  Install(TESSIVANE_SAMPLES_DIR "/sample-scripted.so", "a-scripted.so");
  Install(TESSIVANE_SAMPLES_DIR "/sample-threshold.so", "b-threshold.so");
  Install(TESSIVANE_SAMPLES_DIR "/sample-scripted.so", "c-scripted.so");
  Install(TESSIVANE_TEST_MODULES_DIR "/only-execute.so", "d-only-execute.so");
  std::ofstream(FAppFolder.File("e-not-a-library.so")) << "text";
  Script("");
  StartOn(FBatch.Path());
  const TDialogSeen seen = RunPlugIn(-1);
  EXPECT_EQ(seen.Caption, "Plug-In Custom Processing");
  EXPECT_EQ(seen.Items,
            QStringList({"Scripted", "Sample: black and white by threshold 128", "Scripted"}));
  EXPECT_FALSE(seen.OkAtShow);
  EXPECT_TRUE(Calls().empty());
  FForm.reset();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"unload " + FAppFolder.File("c-scripted.so"),
                                               "unload " + FAppFolder.File("a-scripted.so")}));

  fs::remove_all(FAppFolder.Path());
  fs::create_directory(FAppFolder.Path());
  StartOn(FBatch.Path());
  const TDialogSeen none = RunPlugIn(0);
  EXPECT_TRUE(none.Items.isEmpty());
  EXPECT_FALSE(none.OkAtShow);
  EXPECT_FALSE(none.OkAfterClick);
}

// Whole-batch runs of the scripted module: the calls it sees, which first
// pages are rewritten with its pixels, what is logged for each file. A file
// that came into the folder after it was opened is processed too, and shown
// once the module asks for the folder to be opened again.
TEST_F(AddOnCommands, BatchRunsFollowTheModulesAnswers) {
  const struct {
    std::string Settings;
    bool Started;
    bool Rewritten;
    std::string LoggedReason; // empty: nothing logged
  } cases[] = {
      {"execute=0", true, true, ""},
      {"start=-1", false, false, ""},
      {"execute=1", true, false, ""},
      {"damage=free", true, false, "the page block was freed"},
      {"damage=header", true, false, "the bitmap header was changed"},
      {"damage=height", true, false, "the rows do not fit in the block"},
      {"execute=1;end=1", true, false, ""},
  };
  InstallSamples();
  StartOn(FBatch.Path());
  WritePage(FFiles.emplace_back(FBatch.File("00000009.tif")), 100, 100);
  std::vector<QImage> firstPages;
  for (const std::string& file : FFiles) firstPages.push_back(PageImage(file));
  const QImage laterPages[] = {PageImage(FFiles[2], 2), PageImage(FFiles[2], 3)};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Settings);
    Script(c.Settings);
    FForm->LogForm().Clear();
    std::vector<std::vector<uint8_t>> bytes;
    for (const std::string& file : FFiles) bytes.push_back(test::ReadFile(file));
    FPrompt.Answer(TAnswer::Yes);
    RunPlugIn(0);
    EXPECT_EQ(FPrompt.MessageTexts().back(),
              "Do you want to execute processing on all images in the batch ?");
    std::vector<std::string> calls = {"start"};
    QStringList logged;
    for (size_t i = 0; i < FFiles.size(); ++i) {
      if (c.Started) calls.push_back("execute 0 " + FFiles[i]);
      if (!c.LoggedReason.empty())
        logged << QString::fromStdString("Error processing " + FFiles[i] + " - " + kInvalidPage +
                                         c.LoggedReason);
      if (c.Rewritten)
        EXPECT_LT(MeanDifference(PageImage(FFiles[i]), Inverted(firstPages[i])), 8) << FFiles[i];
      else
        EXPECT_EQ(test::ReadFile(FFiles[i]), bytes[i]) << FFiles[i];
    }
    if (c.Started) calls.push_back("end");
    EXPECT_EQ(Calls(), calls);
    EXPECT_EQ(FForm->LogForm().Lines(), logged);
    EXPECT_EQ(FForm->Strip().Count(), c.Settings.ends_with("end=1") ? 4 : 3);
  }
  EXPECT_EQ(PageImage(FFiles[2], 2), laterPages[0]);
  EXPECT_EQ(PageImage(FFiles[2], 3), laterPages[1]);
}

// The page shown from tab 2 of a three-page file: the module is told that
// file and index 1. Its pixels are taken, or with a damaged block the error
// is shown and the page stays as it was.
TEST_F(AddOnCommands, ViewerPageNamesItsFileAndIndex) {
  InstallSamples();
  StartOn(FBatch.Path());
  FForm->SelectThumbnail(FForm->Strip().Thumbnails()[2]);
  FForm->Tabs().setCurrentIndex(1);
  ASSERT_EQ(FForm->Viewer().Graphic().Width(), 160);
  for (const std::string reason : {"", "the rows do not fit in the block"}) {
    SCOPED_TRACE(reason);
    Script(reason.empty() ? "execute=0" : "damage=height");
    const QImage before = ViewerImage();
    if (!reason.empty()) FPrompt.Answer(TAnswer::Ok);
    RunPlugIn(0);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"start", "execute 1 " + FFiles[2], "end"}));
    if (!reason.empty()) {
      EXPECT_EQ(FPrompt.MessageTexts().back(), kInvalidPage + reason);
    }
    EXPECT_EQ(FForm->PageView().Modified(), reason.empty());
    EXPECT_EQ(ViewerImage(), reason.empty() ? Inverted(before) : before);
    FForm->PageView().SetModified(false);
  }
}

TEST_F(AddOnCommands, ThresholdSampleMakesAGreyPageBlackAndWhite) {
  InstallSamples();
  StartOn(FBatch.Path());
  FForm->SelectThumbnail(FForm->Strip().Thumbnails()[1]);
  const QImage before = ViewerImage();
  QImage expected = before;
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      expected.setPixel(x, y,
                        qGray(before.pixel(x, y)) >= 128 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  ASSERT_NE(expected, before);
  RunPlugIn(1);
  EXPECT_EQ(ViewerImage(), expected);
  EXPECT_TRUE(FForm->PageView().Modified());
  FForm->PageView().SetModified(false);
}
