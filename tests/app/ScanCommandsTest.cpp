// The scanning commands of the window up to the start of a scan, and the
// source selection, through the real engine, manager and virtual scanner.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
#include "app/ScanCommands.h"
#include "core/Exception.h"
#include "twain/AcqTWAIN.h"
#include "workflow/PageSaver.h"

#include <QComboBox>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

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

TEST_F(ScanCommands, TheComponentIntroducesTheProgram) {
  Start();
  const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
  EXPECT_EQ(twain.Manufacturer(), "Vellumtrace Technologies");
  EXPECT_EQ(twain.ProductFamily(), "Image Capture");
  EXPECT_EQ(twain.ProductName(), "Vellumtrace Tessivane");
  EXPECT_EQ(twain.Country(), TAcqCountry::UNITEDKINGDOM);
  EXPECT_EQ(twain.DIBHandleType(), THDT_DIBRAW);
  EXPECT_FALSE(twain.ReturnHandle());
  // The engine's log file lives in the user's state folder, not the program's.
  EXPECT_EQ(twain.LogFilename(), UserStateFolder() + "/APPTWN.LOG");
}

TEST_F(ScanCommands, ScanToBatchWithoutItsFolderSaysSoAndStartsNothing) {
  Start();
  FForm->LogForm().AddLine(QString("from the last scan"));
  try {
    FForm->ScanCommands().ActionScanToBatchExecute();
    ADD_FAILURE() << "the scan started";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Batch folder not selected !");
  }
  EXPECT_TRUE(FForm->LogForm().Lines().isEmpty()); // the log is cleared first
  EXPECT_EQ(FForm->ScanCommands().AcqTWAIN().State(), 1);
}

TEST_F(ScanCommands, CancelInTheSaveDialogOfScanToFileChangesNothing) {
  StartOn(FBatch.Path());
  FForm->LogForm().AddLine(QString("kept"));
  FPrompt.CancelDialog();
  EXPECT_THROW(FForm->ScanCommands().ActionScanToFileExecute(), EAbort);
  ASSERT_EQ(FPrompt.Questions().size(), 1u);
  const auto& asked = FPrompt.Questions()[0];
  EXPECT_EQ(asked.Kind, TScriptedPrompt::TQuestionKind::SaveFile);
  EXPECT_EQ(asked.Text, "Sava as TIF or PDF");
  EXPECT_EQ(asked.File.Filter, "TIFF File|*.tif|PDF File|*.pdf");
  EXPECT_EQ(asked.File.DefaultExt, ".tif");
  EXPECT_EQ(FForm->LogForm().Lines(), QStringList{"kept"});
  EXPECT_EQ(FForm->ScanCommands().AcqTWAIN().State(), 1);
}

TEST_F(ScanCommands, SelectScannerRunsTheManagersSelectionDialog) {
  const std::string record = FBatch.File("chooser-arguments");
  const std::string chooser = FBatch.File("chooser.sh");
  std::ofstream(chooser) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << record
                         << "'\necho 'Virtual Scanner'\n";
  ::chmod(chooser.c_str(), 0755);
  ::setenv("TESSIVANE_TWAIN_CHOOSER", chooser.c_str(), 1);
  ::setenv("DISPLAY", ":99", 1);
  Start();
  ASSERT_TRUE(FForm->ExecuteAction("ActionSelectScanner"));
  // The chooser was offered the default and every installed source.
  EXPECT_EQ(FileText(record), "Virtual Scanner\nVirtual Scanner\n");
  EXPECT_EQ(FForm->ScanCommands().AcqTWAIN().SourceName(), "Virtual Scanner");
  EXPECT_FALSE(FForm->ScanCommands().AcqTWAIN().DSMOpen());
}
