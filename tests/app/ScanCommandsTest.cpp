// The scanning commands of the window up to the start of a scan, through the
// real engine and manager: the source selection and what stops a scan before
// the scanner opens.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
#include "app/ScanCommands.h"
#include "core/Exception.h"
#include "twain/AcqTWAIN.h"
#include "workflow/PageSaver.h"

#include <filesystem>
#include <fstream>

using namespace apptest;

namespace {

class ScanCommands : public ProfileTest {
protected:
  void TearDown() override {
    for (const char* name : {"TESSIVANE_TWAIN_CHOOSER", "DISPLAY"}) ::unsetenv(name);
    ProfileTest::TearDown();
  }
};

} // namespace

TEST_F(ScanCommands, SourceSelectionAndWhatStopsAScanBeforeTheScannerOpens) {
  const std::string chooser = FBatch.File("chooser.sh");
  std::ofstream(chooser) << "#!/bin/sh\necho 'Virtual Scanner'\n";
  std::filesystem::permissions(chooser, std::filesystem::perms::owner_all);
  ::setenv("TESSIVANE_TWAIN_CHOOSER", chooser.c_str(), 1);
  ::setenv("DISPLAY", ":99", 1);
  const std::string folder = FBatch.File("batch");
  std::filesystem::create_directory(folder);
  StartOn(folder);
  const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
  // The engine's log file lives in the user's state folder, not the program's.
  EXPECT_EQ(twain.LogFilename(), UserStateFolder() + "/APPTWN.LOG");
  ASSERT_TRUE(FForm->ExecuteAction("ActionSelectScanner"));
  EXPECT_EQ(twain.SourceName(), "Virtual Scanner");
  // Scan To File: Cancel in its dialog, then a target pages cannot be appended to.
  FForm->LogForm().AddLine(QString("kept"));
  FPrompt.CancelDialog();
  ASSERT_TRUE(FForm->ExecuteAction("ActionScanToFile"));
  FPrompt.AnswerSave(FBatch.File("scan.jpg"));
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(FForm->ExecuteAction("ActionScanToFile"));
  ASSERT_EQ(FPrompt.Questions().size(), 3u);
  EXPECT_NE(FPrompt.Questions()[2].Text.find("scan.jpg"), std::string::npos);
  EXPECT_EQ(FForm->LogForm().Lines(), QStringList{"kept"});
  EXPECT_TRUE(twain.State() == 1 && !twain.DSMOpen());
  // Scan To Batch once its folder went away (the command itself is disabled
  // then): the log is cleared, then the error.
  std::filesystem::remove(folder);
  try {
    FForm->ScanCommands().ActionScanToBatchExecute();
    ADD_FAILURE() << "the scan started";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Batch folder not selected !");
  }
  EXPECT_TRUE(FForm->LogForm().Lines().isEmpty());
  EXPECT_TRUE(twain.State() == 1 && !twain.DSMOpen());
}
