// Plug-in modules and the external image processor through the window.
#include "WindowFixture.h"
#include "app/DialogoProcessing.h"
#include "app/LogForm.h"
#include "app/PageView.h"
#include "app/ThumbnailStrip.h"
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
#include <sstream>

using namespace apptest;
namespace fs = std::filesystem;

// A one-page and a three-page file in a folder with a blank in its name; the scripted
// sample module and a library with ExecuteProcess alone in the program folder.
class AddOnCommands : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    fs::create_directory(FFolder);
    WritePage(FFiles.emplace_back(FFolder + "00000001.tif"), 400, 500);
    WritePages(FFiles.emplace_back(FFolder + "00000002.tif"), {120, 160, 200}, 100);
    for (const std::string from : {SCRIPTED_MODULE, ONLY_EXECUTE_MODULE})
      fs::copy_file(from, FAppFolder.File(fs::path(from).filename()));
    Script("");
  }
  // The scripted module's answers, its record of calls started anew.
  void Script(const std::string& settings) {
    fs::remove(FRecord);
    const std::string all = "description=Scripted;record=" + FRecord + ";" + settings;
    ::setenv("TESSIVANE_SCRIPTED_PLUGIN", all.c_str(), 1);
  }
  // ActionCustomProcessing: the list and OK state shown, then row and OK, else Cancel.
  std::pair<QStringList, bool> RunPlugIn(int row) {
    std::pair<QStringList, bool> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TDialogoProcessing*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      QListWidget& list = dialog->ListBoxModuli();
      QPushButton& ok = dialog->ButtonOk();
      for (int i = 0; i < list.count(); ++i) seen.first << list.item(i)->text();
      seen.second = ok.isEnabled();
      if (QListWidgetItem* item = list.item(row))
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
      QTest::mouseClick(ok.isEnabled() ? &ok : &dialog->ButtonCancel(), Qt::LeftButton);
    });
    poll.start(10);
    EXPECT_TRUE(FForm->ExecuteAction("ActionCustomProcessing"));
    return seen;
  }
  static std::string Text(const std::string& path) {
    return (std::ostringstream() << std::ifstream(path).rdbuf()).str();
  }
  const std::string kInvalidPage = "The plug-in module returned an invalid page: ";
  const std::string FFolder = FBatch.File("batch folder") + "/";
  const std::string FRecord = FAppFolder.File("calls.txt");
  std::vector<std::string> FFiles;
};

TEST_F(AddOnCommands, ListsOnlyModulesWithAllFourExports) {
  StartOn(FFolder);
  EXPECT_EQ(RunPlugIn(-1), std::pair(QStringList{"Scripted"}, false));
  FForm.reset();
  for (const auto& file : fs::directory_iterator(FAppFolder.Path())) fs::remove(file.path());
  StartOn(FFolder);
  EXPECT_EQ(RunPlugIn(0), std::pair(QStringList(), false));
}

// Batch runs by the module's answers and the reason logged per file: the calls
// it sees, every file unchanged; a file that came in later shown after end=1.
TEST_F(AddOnCommands, BatchRunsFollowTheModulesAnswers) {
  const std::pair<std::string, std::string> cases[] = {{"start=-1", ""},
                                                       {"execute=1", ""},
                                                       {"damage=free", "the page block was freed"},
                                                       {"execute=1;end=1", ""}};
  StartOn(FFolder);
  WritePage(FFiles.emplace_back(FFolder + "00000009.tif"), 100, 100);
  const auto before = Contents(FFolder);
  for (const auto& [settings, error] : cases) {
    SCOPED_TRACE(settings);
    Script(settings);
    FForm->LogForm().Clear();
    FPrompt.Answer(TAnswer::Yes);
    RunPlugIn(0);
    std::string calls = "start\n";
    QStringList logged;
    for (const std::string& file : FFiles) {
      if (settings != "start=-1") calls += "execute 0 " + file + "\n";
      if (!error.empty())
        logged << QString::fromStdString("Error processing " + file + " - " + kInvalidPage + error);
    }
    EXPECT_EQ(Text(FRecord), settings != "start=-1" ? calls + "end\n" : calls);
    EXPECT_EQ(FForm->LogForm().Lines(), logged);
    EXPECT_EQ(Contents(FFolder), before);
    EXPECT_EQ(FForm->Strip().Count(), settings.ends_with("end=1") ? 3 : 2);
  }
  // With execute=0 each file's first page is written back with the module's
  // pixels; the other pages of the three-page file stay as they were.
  std::vector<QImage> expected;
  for (const std::string& file : FFiles) expected.push_back(PageImage(file));
  for (QImage& image : expected) image.invertPixels();
  const QImage second = PageImage(FFiles[1], 2), third = PageImage(FFiles[1], 3);
  Script("execute=0");
  FPrompt.Answer(TAnswer::Yes);
  RunPlugIn(0);
  for (size_t i = 0; i < FFiles.size(); ++i) EXPECT_EQ(PageImage(FFiles[i]), expected[i]) << i;
  EXPECT_EQ(std::pair(PageImage(FFiles[1], 2), PageImage(FFiles[1], 3)), std::pair(second, third));
}

// Tab 2 of the three-page file: the module gets that file and index 1; its
// pixels are taken, or with a damaged block the error is shown, the page kept.
TEST_F(AddOnCommands, ViewerPageRuns) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"execute=0", {}}, {"damage=height", {kInvalidPage + "the rows do not fit in the block"}}};
  StartOn(FFolder);
  ClickThumbnail(*FForm, 1);
  FForm->Tabs().setCurrentIndex(1);
  for (const auto& [settings, errors] : cases) {
    SCOPED_TRACE(settings);
    Script(settings);
    QImage expected = FForm->Viewer().Graphic().ToQImage();
    if (errors.empty()) expected.invertPixels();
    const size_t asked = FPrompt.MessageTexts().size();
    if (!errors.empty()) FPrompt.Answer(TAnswer::Ok);
    RunPlugIn(0);
    EXPECT_EQ(Text(FRecord), "start\nexecute 1 " + FFiles[1] + "\nend\n");
    const std::vector<std::string> messages = FPrompt.MessageTexts();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + asked, messages.end()), errors);
    EXPECT_EQ(FForm->Viewer().Graphic().ToQImage(), expected);
  }
}

// The processor gets the script and the list as two arguments though the folder has
// a blank; a longer list left by an earlier run is replaced.
TEST_F(AddOnCommands, ProcessorGetsScriptAndListAsTwoArguments) {
  const std::string script = FAppFolder.File("my script.ips"), list = FFolder + "FilesList.txt";
  const std::string processor = FAppFolder.File("processor");
  std::ofstream(script) << "script";
  std::ofstream(list) << std::string(500, 'x');
  std::ofstream(processor) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << FRecord << "'\n";
  fs::permissions(processor, fs::perms::owner_all);
  StartOn(FFolder);
  FPrompt.AnswerFiles({script});
  FPrompt.Answer(TAnswer::Ok);
  FPrompt.AnswerFiles({processor});
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  EXPECT_TRUE(WaitFor([&] { return Text(FRecord) == "2\n" + script + "\n" + list + "\n"; }));
  EXPECT_EQ(Text(list), FFiles[0] + "\r\n" + FFiles[1] + "\r\n");
}
