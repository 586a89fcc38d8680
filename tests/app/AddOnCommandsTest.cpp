// Plug-in modules and the external image processor through the window:
// loading the program folder's modules, the plug-in dialog, runs of the
// sample modules on the page shown and on every batch file; the processor's
// dialogs, list file and arguments.
#include "WindowFixture.h"

#include "app/AddOnCommands.h"
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
#include <functional>

using namespace apptest;
namespace fs = std::filesystem;

namespace {

// What the plug-in dialog showed when it came up.
struct TDialogSeen {
  QString Caption;
  QStringList Items;
  bool OkAtShow = true;
};

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

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

const std::string kInvalidPage = "The plug-in module returned an invalid page: ";

} // namespace

class AddOnCommands : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Two one-page files, bilevel and grey, and a three-page file, in a
    // folder with a blank in its name.
    fs::create_directory(FFolder);
    for (int i = 1; i <= 2; ++i)
      WritePage(FFiles.emplace_back(FFolder + "0000000" + std::to_string(i) + ".tif"), 400, 500,
                300, i == 2 ? 8 : 1, i);
    WritePages(FFiles.emplace_back(FFolder + "00000003.tif"), {120, 160, 200}, 100);
    // A processor script, and a list left by an earlier run, longer than a new one.
    std::ofstream(FScript) << "script";
    std::ofstream(FList) << std::string(500, 'x');
  }
  void TearDown() override {
    WindowTest::TearDown();
    ::unsetenv("TESSIVANE_SCRIPTED_PLUGIN");
  }

  void Install(const std::string& from, const std::string& as) {
    fs::copy_file(from, FAppFolder.File(as));
  }
  void InstallSamples() {
    Install(SCRIPTED_MODULE, "sample-scripted.so");
    Install(THRESHOLD_MODULE, "sample-threshold.so");
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

  const std::string FFolder = FBatch.File("batch folder") + "/";
  const std::string FRecord = FAppFolder.File("calls.txt");
  const std::string FList = FFolder + "FilesList.txt";
  const std::string FScript = FAppFolder.File("my script.ips");
  const std::string FProcessor = FAppFolder.File("processor");
  std::vector<std::string> FFiles;
};

// Only libraries with all four exports are listed, in the order of their
// names; they are unloaded from the last to the first. With none, the list
// is empty and OK stays disabled.
TEST_F(AddOnCommands, ListsModulesWithAllFourExports) {
  Install(SCRIPTED_MODULE, "a-scripted.so");
  Install(THRESHOLD_MODULE, "b-threshold.so");
  Install(SCRIPTED_MODULE, "c-scripted.so");
  Install(ONLY_EXECUTE_MODULE, "d-only-execute.so");
  std::ofstream(FAppFolder.File("e-not-a-library.so")) << "text";
  // The program's own libraries beside it are no modules.
  for (const std::string from : {PAGEMEM_LIBRARY, DSM_LIBRARY})
    Install(from, fs::path(from).filename());
  Script("");
  StartOn(FFolder);
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
  StartOn(FFolder);
  const TDialogSeen none = RunPlugIn(0);
  EXPECT_TRUE(none.Items.isEmpty());
  EXPECT_FALSE(none.OkAtShow);
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
  StartOn(FFolder);
  WritePage(FFiles.emplace_back(FFolder + "00000009.tif"), 100, 100);
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

// Runs on the page shown. The scripted module on tab 2 of the three-page
// file is told that file and index 1; its pixels are taken, or with a
// damaged block the error is shown and the page stays as it was. The
// threshold sample makes the grey page black and white.
TEST_F(AddOnCommands, ViewerPageRuns) {
  const auto same = [](const QImage& image) { return image; };
  const auto threshold = [](QImage image) {
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        image.setPixel(x, y, qGray(image.pixel(x, y)) >= 128 ? qRgb(255, 255, 255) : 0xFF000000);
    return image;
  };
  const struct {
    int File, Tab, Module;
    std::string Settings;
    std::vector<std::string> Messages; // the error shown
    std::function<QImage(const QImage&)> Expected;
  } cases[] = {
      {2, 1, 0, "execute=0", {}, Inverted},
      {2, 1, 0, "damage=height", {kInvalidPage + "the rows do not fit in the block"}, same},
      {1, 0, 1, "", {}, threshold},
  };
  InstallSamples();
  StartOn(FFolder);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Settings);
    FForm->SelectThumbnail(FForm->Strip().Thumbnails()[static_cast<size_t>(c.File)]);
    FForm->Tabs().setCurrentIndex(c.Tab);
    Script(c.Settings);
    const QImage before = ViewerImage();
    // A run that is taken must change the page, or it would show nothing.
    if (c.Messages.empty()) {
      ASSERT_NE(c.Expected(before), before);
    }
    const size_t asked = FPrompt.MessageTexts().size();
    if (!c.Messages.empty()) FPrompt.Answer(TAnswer::Ok);
    RunPlugIn(c.Module);
    // The threshold sample records nothing.
    const std::vector<std::string> calls = {
        "start", "execute " + std::to_string(c.Tab) + " " + FFiles[c.File], "end"};
    EXPECT_EQ(Calls(), c.Module == 0 ? calls : std::vector<std::string>{});
    const std::vector<std::string> messages = FPrompt.MessageTexts();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + asked, messages.end()), c.Messages);
    EXPECT_EQ(FForm->PageView().Modified(), c.Messages.empty());
    EXPECT_EQ(ViewerImage(), c.Expected(before));
    FForm->PageView().SetModified(false);
  }
}

TEST_F(AddOnCommands, ProcessorGetsScriptAndListAsTwoArguments) {
  // Records the number of its arguments and each on a line, and copies the
  // list file it was given.
  std::ofstream(FProcessor) << "#!/bin/sh\ncp \"$2\" '" << FRecord << ".list'\n"
                            << "printf '%s\\n' \"$#\" \"$@\" > '" << FRecord << ".tmp'\n"
                            << "mv '" << FRecord << ".tmp' '" << FRecord << "'\n";
  fs::permissions(FProcessor, fs::perms::owner_all);
  StartOn(FFolder);
  FPrompt.AnswerFiles({FScript});
  FPrompt.Answer(TAnswer::Ok);
  FPrompt.AnswerFiles({FProcessor});
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  ASSERT_EQ(FPrompt.Questions().size(), 3u);
  const TFileDialogOptions& script = FPrompt.Questions()[0].File;
  EXPECT_EQ(script.Title, "Select Image Processing Script");
  EXPECT_EQ(script.Filter, "Vellumtrace Image Processing Script|*.ips");
  EXPECT_EQ(script.DefaultExt, ".IPS");
  EXPECT_TRUE(script.MustExist);
  EXPECT_EQ(FPrompt.Questions()[1].Text,
            "Vellumtrace Image Processor executable was not yet set.\n\rIn next dialog you will be "
            "asked to find and to select it, else batch processing cannot be performed.");
  EXPECT_EQ(FPrompt.Questions()[1].Icon, TMessageKind::Information);
  EXPECT_EQ(FPrompt.Questions()[2].File.Title, "Select Image Processor EXE");
  EXPECT_EQ(FPrompt.Questions()[2].File.DefaultExt, ".exe");

  ASSERT_TRUE(WaitFor([&] { return fs::exists(FRecord); }));
  EXPECT_EQ(test::ReadFile(FRecord), Bytes("2\n" + FScript + "\n" + FList + "\n"));
  const std::vector<uint8_t> list =
      Bytes(FFiles[0] + "\r\n" + FFiles[1] + "\r\n" + FFiles[2] + "\r\n");
  EXPECT_EQ(test::ReadFile(FList), list);
  EXPECT_EQ(test::ReadFile(FRecord + ".list"), list);

  // The processor is asked for once: a second run goes straight to it.
  fs::remove(FRecord);
  FPrompt.AnswerFiles({FScript});
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  EXPECT_EQ(FPrompt.Questions().size(), 4u);
  EXPECT_TRUE(WaitFor([&] { return fs::exists(FRecord); }));
}

TEST_F(AddOnCommands, ProcessorCancelAndFailureAnswers) {
  std::ofstream(FProcessor) << "not a program";
  StartOn(FFolder);
  // Cancel in the script dialog, then in the processor dialog: nothing runs.
  FPrompt.CancelDialog();
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  FPrompt.AnswerFiles({FScript});
  FPrompt.Answer(TAnswer::Ok);
  FPrompt.CancelDialog();
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  EXPECT_EQ(FPrompt.Questions().size(), 4u);
  EXPECT_TRUE(FForm->AddOnCommands().ProcessorExe().isEmpty());
  EXPECT_EQ(test::ReadFile(FList), Bytes(std::string(500, 'x')));

  // A file that cannot be started gives the error box.
  FPrompt.AnswerFiles({FScript});
  FPrompt.Answer(TAnswer::Ok);
  FPrompt.AnswerFiles({FProcessor});
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  ASSERT_EQ(FPrompt.Questions().size(), 8u);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_EQ(FPrompt.Questions().back().Text, "Unable to run Vellumtrace Image Processor !\n\r"
                                             "Check if it was installed properly and retry.");
}
