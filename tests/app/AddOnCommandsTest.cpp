// Plug-in modules through the window: loading the program folder's modules,
// the plug-in dialog, and runs of the sample modules on the page shown and
// on every batch file.
#include "WindowFixture.h"

#include "app/AddOnCommands.h"
#include "app/DialogoProcessing.h"
#include "app/LogForm.h"
#include "app/PageView.h"
#include "app/ThumbnailStrip.h"
#include "graphics/DibGraphic.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace apptest;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// What the plug-in dialog showed when it came up.
struct TDialogSeen {
  bool Shown = false;
  QString Caption;
  QStringList Items;
  bool OkAtShow = true;
  bool OkAfterClick = false;
};

} // namespace

class AddOnCommands : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    FRecord = FBatch.File("calls.txt");
    fs::remove(FRecord);
  }
  void TearDown() override {
    WindowTest::TearDown();
    ::unsetenv("TESSIVANE_SCRIPTED_PLUGIN");
  }

  void Install(const std::string& folder, const std::string& file) {
    fs::copy_file(folder + "/" + file, FAppFolder.File(file));
  }
  void InstallSamples() {
    Install(TESSIVANE_SAMPLES_DIR, "sample-scripted.so");
    Install(TESSIVANE_SAMPLES_DIR, "sample-threshold.so");
  }
  // The scripted module's answers, with every call recorded.
  void Script(const std::string& settings) {
    const std::string all = "description=Scripted;record=" + FRecord + ";" + settings;
    ::setenv("TESSIVANE_SCRIPTED_PLUGIN", all.c_str(), 1);
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    std::ifstream in(FRecord);
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    return calls;
  }

  // ActionCustomProcessing, the dialog answered by clicking row (none when
  // row is -1) and then OK, or Cancel when row is -1.
  TDialogSeen RunPlugIn(int row) {
    TDialogSeen seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TDialogoProcessing*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      seen.Shown = true;
      seen.Caption = dialog->windowTitle();
      for (int i = 0; i < dialog->ListBoxModuli().count(); ++i)
        seen.Items << dialog->ListBoxModuli().item(i)->text();
      seen.OkAtShow = dialog->ButtonOk().isEnabled();
      if (row < 0) {
        QTest::mouseClick(&dialog->ButtonCancel(), Qt::LeftButton);
        return;
      }
      QListWidget& list = dialog->ListBoxModuli();
      QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                        list.visualItemRect(list.item(row)).center());
      seen.OkAfterClick = dialog->ButtonOk().isEnabled();
      QTest::mouseClick(&dialog->ButtonOk(), Qt::LeftButton);
      // A disabled OK does nothing: the dialog is then closed with Cancel.
      if (dialog->isVisible()) QTest::mouseClick(&dialog->ButtonCancel(), Qt::LeftButton);
    });
    poll.start();
    EXPECT_TRUE(FForm->ExecuteAction("ActionCustomProcessing"));
    return seen;
  }

  // A batch of three one-page files.
  std::vector<std::string> ThreePages() {
    std::vector<std::string> files;
    for (int i = 1; i <= 3; ++i) {
      files.push_back(FBatch.File("0000000" + std::to_string(i) + ".tif"));
      WritePage(files.back(), 400, 500, 300, i == 2 ? 8 : 1, i);
    }
    return files;
  }

  std::string FRecord;
};

TEST_F(AddOnCommands, ListsOnlyLibrariesWithAllFourExports) {
  InstallSamples();
  Install(TESSIVANE_TEST_MODULES_DIR, "only-execute.so");
  std::ofstream(FAppFolder.File("not-a-library.so")) << "text";
  Script("");
  ThreePages();
  StartOn(FBatch.Path());
  EXPECT_EQ(FForm->AddOnCommands().AddOns().Descriptions(),
            (std::vector<std::string>{"Scripted", "Sample: black and white by threshold 128"}));
  const TDialogSeen seen = RunPlugIn(-1);
  EXPECT_EQ(seen.Caption, "Plug-In Custom Processing");
  EXPECT_EQ(seen.Items, QStringList({"Scripted", "Sample: black and white by threshold 128"}));
  EXPECT_FALSE(seen.OkAtShow);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(AddOnCommands, ModulesAreUnloadedFromTheLastToTheFirst) {
  for (const char* name : {"a.so", "b.so", "c.so"})
    fs::copy_file(std::string(TESSIVANE_SAMPLES_DIR) + "/sample-scripted.so",
                  FAppFolder.File(name));
  Script("");
  Start();
  EXPECT_EQ(FForm->AddOnCommands().AddOns().Items().size(), 3u);
  EXPECT_TRUE(Calls().empty());
  FForm.reset();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"unload " + FAppFolder.File("c.so"),
                                               "unload " + FAppFolder.File("b.so"),
                                               "unload " + FAppFolder.File("a.so")}));
}

TEST_F(AddOnCommands, NoModulesGiveAnEmptyListAndNoOk) {
  ThreePages();
  StartOn(FBatch.Path());
  const TDialogSeen seen = RunPlugIn(0);
  ASSERT_TRUE(seen.Shown);
  EXPECT_TRUE(seen.Items.isEmpty());
  EXPECT_FALSE(seen.OkAtShow);
  EXPECT_FALSE(seen.OkAfterClick);
}

// Whole-batch runs of the scripted module: the calls it sees, which files
// are rewritten, what is logged.
TEST_F(AddOnCommands, BatchRunsFollowTheModulesAnswers) {
  struct Case {
    std::string Settings;
    bool Started;
    bool Rewritten;
    std::string LoggedReason; // empty: nothing logged
  };
  const Case cases[] = {
      {"start=-1", false, false, ""},
      {"execute=1", true, false, ""},
      {"execute=0", true, true, ""},
      {"damage=free", true, false, "the page block was freed"},
      {"damage=header", true, false, "the bitmap header was changed"},
      {"damage=height", true, false, "the rows do not fit in the block"},
  };
  InstallSamples();
  const std::vector<std::string> files = ThreePages();
  StartOn(FBatch.Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Settings);
    Script(c.Settings);
    fs::remove(FRecord);
    FForm->LogForm().Clear();
    std::vector<std::string> before;
    for (const std::string& file : files) before.push_back(ReadAll(file));
    FPrompt.Answer(TAnswer::Yes);
    RunPlugIn(0);
    EXPECT_EQ(FPrompt.MessageTexts().back(),
              "Do you want to execute processing on all images in the batch ?");
    std::vector<std::string> expected = {"start"};
    if (c.Started) {
      for (const std::string& file : files) expected.push_back("execute 0 " + file);
      expected.push_back("end");
    }
    EXPECT_EQ(Calls(), expected);
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(ReadAll(files[i]) != before[i], c.Rewritten) << files[i];
      EXPECT_EQ(PageSize(files[i]), QSize(400, 500));
    }
    QStringList logged;
    if (!c.LoggedReason.empty())
      for (const std::string& file : files)
        logged << QString::fromStdString(
            "Error processing " + file +
            " - The plug-in module returned an invalid page: " + c.LoggedReason);
    EXPECT_EQ(FForm->LogForm().Lines(), logged);
  }
}

// Page 1 of every file takes the module's pixels; the other pages of a
// multi-page file stay as they were.
TEST_F(AddOnCommands, RewrittenPagesAreTheModulesPixels) {
  InstallSamples();
  const std::string single = ThreePages().front();
  const std::string multi = FBatch.File("00000004.tif");
  WritePages(multi, {120, 160, 200}, 100);
  const auto load = [](const std::string& file, int page) {
    TDibGraphic graphic;
    graphic.SetImageToLoad(page);
    graphic.LoadFromFile(file);
    return graphic.ToQImage();
  };
  const QImage before[] = {load(single, 1), load(multi, 1), load(multi, 2), load(multi, 3)};
  StartOn(FBatch.Path());
  Script("execute=0");
  FPrompt.Answer(TAnswer::Yes);
  RunPlugIn(0);
  const QImage after[] = {load(single, 1), load(multi, 1), load(multi, 2), load(multi, 3)};
  for (int i = 0; i < 2; ++i) {
    QImage inverted = before[i];
    inverted.invertPixels();
    EXPECT_EQ(after[i].convertToFormat(QImage::Format_RGB32),
              inverted.convertToFormat(QImage::Format_RGB32))
        << i;
  }
  EXPECT_EQ(after[2], before[2]);
  EXPECT_EQ(after[3], before[3]);
  EXPECT_EQ(FForm->LogForm().Lines().join("\n").toStdString(), "");
}

TEST_F(AddOnCommands, EndProcessOneOpensTheFolderAgain) {
  InstallSamples();
  ThreePages();
  StartOn(FBatch.Path());
  WritePage(FBatch.File("00000009.tif"), 100, 100);
  for (const int end : {0, 1}) {
    Script("execute=1;end=" + std::to_string(end));
    FPrompt.Answer(TAnswer::Yes);
    RunPlugIn(0);
    EXPECT_EQ(FForm->Strip().Count(), end == 1 ? 4 : 3) << end;
  }
}

TEST_F(AddOnCommands, ViewerPageOfTabTwoNamesItsFileAndIndex) {
  InstallSamples();
  const std::string file = FBatch.File("00000001.tif");
  WritePages(file, {120, 160, 200}, 100);
  StartOn(FBatch.Path());
  FForm->SelectThumbnail(FForm->Strip().Thumbnails().front());
  FForm->Tabs().setCurrentIndex(1);
  ASSERT_EQ(FForm->Viewer().Graphic().Width(), 160);
  const uint32_t pixel = FForm->Viewer().Graphic().PixelIndex(5, 5);
  Script("execute=0");
  RunPlugIn(0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start", "execute 1 " + file, "end"}));
  EXPECT_TRUE(FForm->PageView().Modified());
  EXPECT_EQ(FForm->Viewer().Graphic().PixelIndex(5, 5), static_cast<int>(1 - pixel));
  FForm->PageView().SetModified(false);
}

TEST_F(AddOnCommands, ViewerPageDamagedByTheModuleIsAnErrorAndStays) {
  InstallSamples();
  ThreePages();
  StartOn(FBatch.Path());
  FForm->SelectThumbnail(FForm->Strip().Thumbnails().front());
  const QImage before = FForm->Viewer().Graphic().ToQImage();
  Script("damage=height");
  FPrompt.Answer(TAnswer::Ok);
  RunPlugIn(0);
  EXPECT_EQ(FPrompt.MessageTexts().back(),
            "The plug-in module returned an invalid page: the rows do not fit in the block");
  EXPECT_EQ(Calls().back(), "end");
  EXPECT_FALSE(FForm->PageView().Modified());
  EXPECT_EQ(FForm->Viewer().Graphic().ToQImage(), before);
}

TEST_F(AddOnCommands, ThresholdSampleMakesAGreyPageBlackAndWhite) {
  InstallSamples();
  ThreePages();
  StartOn(FBatch.Path());
  FForm->SelectThumbnail(FForm->Strip().Thumbnails()[1]);
  ASSERT_EQ(FForm->Viewer().Graphic().BitCount(), 8);
  RunPlugIn(1);
  const TDibGraphic& page = FForm->Viewer().Graphic();
  int black = 0, white = 0, other = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const TColour colour = page.Pixel(x, y);
      (colour == 0 ? black : colour == 0xFFFFFF ? white : other)++;
    }
  EXPECT_GT(black, 0);
  EXPECT_GT(white, 0);
  EXPECT_EQ(other, 0);
  EXPECT_TRUE(FForm->PageView().Modified());
  FForm->PageView().SetModified(false);
}
