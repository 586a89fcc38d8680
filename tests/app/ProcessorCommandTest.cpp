// The external image processor through the window: the dialogs, the list
// file and the processor's arguments.
#include "WindowFixture.h"

#include "app/AddOnCommands.h"

#include <filesystem>
#include <fstream>

using namespace apptest;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

} // namespace

class ProcessorCommand : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    fs::create_directory(FFolder);
    for (const char* name : {"00000002.tif", "00000001.tif", "00000003.tif"})
      WritePage(FFolder + name, 100, 100);
    // A list left by an earlier run, longer than the new one.
    std::ofstream(FList) << std::string(500, 'x');
    std::ofstream(FScript) << "script";
    StartOn(FFolder);
  }

  // The batch folder and the script have a blank in their names.
  const std::string FFolder = FBatch.File("batch folder") + "/";
  const std::string FList = FFolder + "FilesList.txt";
  const std::string FScript = FAppFolder.File("my script.ips");
  const std::string FProcessor = FAppFolder.File("processor");
  const std::string FRecord = FAppFolder.File("record");
};

TEST_F(ProcessorCommand, ProcessorGetsScriptAndListAsTwoArguments) {
  // Records the number of its arguments and each on a line, and copies the
  // list file it was given.
  std::ofstream(FProcessor) << "#!/bin/sh\ncp \"$2\" '" << FRecord << ".list'\n"
                            << "printf '%s\\n' \"$#\" \"$@\" > '" << FRecord << ".tmp'\n"
                            << "mv '" << FRecord << ".tmp' '" << FRecord << "'\n";
  fs::permissions(FProcessor, fs::perms::owner_all);
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
  const std::vector<uint8_t> list = Bytes(FFolder + "00000001.tif\r\n" + FFolder +
                                          "00000002.tif\r\n" + FFolder + "00000003.tif\r\n");
  EXPECT_EQ(test::ReadFile(FList), list);
  EXPECT_EQ(test::ReadFile(FRecord + ".list"), list);

  // The processor is asked for once: a second run goes straight to it.
  fs::remove(FRecord);
  FPrompt.AnswerFiles({FScript});
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  EXPECT_EQ(FPrompt.Questions().size(), 4u);
  EXPECT_TRUE(WaitFor([&] { return fs::exists(FRecord); }));
}

TEST_F(ProcessorCommand, CancelAndFailureAnswers) {
  std::ofstream(FProcessor) << "not a program";
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
