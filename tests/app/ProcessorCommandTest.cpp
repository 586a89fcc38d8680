// The external image processor through the window: the dialogs, the list
// file and the processor's arguments.
#include "WindowFixture.h"

#include "app/AddOnCommands.h"

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

// A processor that writes the number of its arguments and each argument on
// a line of record, then a copy of the list file it was given.
void WriteRecordingProcessor(const std::string& path, const std::string& record) {
  std::ofstream(path) << "#!/bin/sh\n"
                      << "cp \"$2\" '" << record << ".list'\n"
                      << "printf '%s\\n' \"$#\" \"$@\" > '" << record << ".tmp'\n"
                      << "mv '" << record << ".tmp' '" << record << "'\n";
  fs::permissions(path, fs::perms::owner_all);
}

const char* const kNotSet = "Vellumtrace Image Processor executable was not yet set.\n\r"
                            "In next dialog you will be asked to find and to select it, else "
                            "batch processing cannot be performed.";

} // namespace

class ProcessorCommand : public WindowTest {
protected:
  // The batch folder has a blank in its name.
  std::string Folder() const { return FBatch.File("batch folder") + "/"; }
  std::string FScript = FAppFolder.File("my script.ips");
  std::string FProcessor = FAppFolder.File("processor");
  std::string FRecord = FAppFolder.File("record");
};

TEST_F(ProcessorCommand, ProcessorGetsScriptAndListAsTwoArguments) {
  fs::create_directory(Folder());
  for (const char* name : {"00000002.tif", "00000001.tif", "00000003.tif"})
    WritePage(Folder() + name, 100, 100);
  std::ofstream(FScript) << "script";
  WriteRecordingProcessor(FProcessor, FRecord);
  StartOn(Folder());

  FPrompt.AnswerFiles({FScript});
  FPrompt.Answer(TAnswer::Ok);
  FPrompt.AnswerFiles({FProcessor});
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  ASSERT_EQ(FPrompt.Questions().size(), 3u);
  const auto& script = FPrompt.Questions()[0].File;
  EXPECT_EQ(script.Title, "Select Image Processing Script");
  EXPECT_EQ(script.Filter, "Vellumtrace Image Processing Script|*.ips");
  EXPECT_EQ(script.DefaultExt, ".IPS");
  EXPECT_TRUE(script.MustExist);
  EXPECT_EQ(FPrompt.Questions()[1].Text, kNotSet);
  EXPECT_EQ(FPrompt.Questions()[1].Icon, TMessageKind::Information);
  EXPECT_EQ(FPrompt.Questions()[2].File.Title, "Select Image Processor EXE");
  EXPECT_EQ(FPrompt.Questions()[2].File.DefaultExt, ".exe");

  ASSERT_TRUE(WaitFor([&] { return fs::exists(FRecord); }));
  const std::string list = Folder() + "FilesList.txt";
  EXPECT_EQ(ReadAll(FRecord), "2\n" + FScript + "\n" + list + "\n");
  const std::string expected =
      Folder() + "00000001.tif\r\n" + Folder() + "00000002.tif\r\n" + Folder() + "00000003.tif\r\n";
  EXPECT_EQ(ReadAll(list), expected);
  EXPECT_EQ(ReadAll(FRecord + ".list"), expected);

  // The processor is asked for once: a second run goes straight to it.
  fs::remove(FRecord);
  FPrompt.AnswerFiles({FScript});
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  EXPECT_EQ(FPrompt.Questions().size(), 4u);
  EXPECT_TRUE(WaitFor([&] { return fs::exists(FRecord); }));
}

TEST_F(ProcessorCommand, CancelAndFailureAnswers) {
  fs::create_directory(Folder());
  WritePage(Folder() + "00000001.tif", 100, 100);
  WritePage(Folder() + "00000002.tif", 100, 100);
  std::ofstream(FScript) << "script";
  std::ofstream(FProcessor) << "not a program";
  StartOn(Folder());

  // Cancel in the script dialog, then in the processor dialog: nothing runs.
  FPrompt.CancelDialog();
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  FPrompt.AnswerFiles({FScript});
  FPrompt.Answer(TAnswer::Ok);
  FPrompt.CancelDialog();
  ASSERT_TRUE(FForm->ExecuteAction("ActionImageProcessing"));
  EXPECT_EQ(FPrompt.Questions().size(), 4u);
  EXPECT_TRUE(FForm->AddOnCommands().ProcessorExe().isEmpty());
  EXPECT_FALSE(fs::exists(Folder() + "FilesList.txt"));

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

TEST(FilesList, EveryLineEndsWithCrLfAndAnOldListIsReplaced) {
  test::TempDir folder;
  const std::string list = folder.File("FilesList.txt");
  std::ofstream(list) << "an older and much longer list of files\n";
  WriteFilesList(QString::fromStdString(list), {"/a b/1.tif", "/c/2.pdf"});
  EXPECT_EQ(ReadAll(list), "/a b/1.tif\r\n/c/2.pdf\r\n");
  WriteFilesList(QString::fromStdString(list), {});
  EXPECT_EQ(ReadAll(list), "");
}
