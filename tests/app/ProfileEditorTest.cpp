// The profile editor through its own controls.
#include "ProfileTestSupport.h"

#include "app/DialogTwainParameters.h"
#include "app/ProfileCommands.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using namespace apptest;
using TLines = std::vector<std::string>;

namespace {

// The dialog over a folder of its own, shown as the window shows it.
class ProfileEditor : public ProfileTest {
protected:
  TEditorControls Show() {
    FDialog = std::make_unique<TDialogTwainParameters>(FPrompt, nullptr);
    FDialog->SetProfileFolders(TProfileFolders(FAppFolder.Path(), UserProfileFolder()));
    FDialog->AddScanners({"Virtual Scanner"});
    FDialog->show();
    QCoreApplication::processEvents();
    return TEditorControls(*FDialog);
  }
  void TearDown() override {
    FDialog.reset();
    ProfileTest::TearDown();
  }
  std::unique_ptr<TDialogTwainParameters> FDialog;
};

} // namespace

TEST_F(ProfileEditor, AddedSettingsShowTheirLabelAndStoreTheirNumber) {
  const struct {
    const char *Parameter, *Value, *Shown, *Stored;
  } cases[] = {{"PixelType", "GrayScale", "PixelType=GrayScale", "257,I,1"},
               {"X Resolution", "300", "X Resolution=300", "4376,F,300"}, // typed
               {"DuplexEnabled", "Yes", "DuplexEnabled=Yes", "4115,B,1"},
               {"Page Size", "A4", "Page Size=A4", "4386,I,1"},
               {"Y Resolution", "?", "Y Resolution=?", "4377,F,?"},
               {"PixelType", "BW", "PixelType=BW", "257,I,0"}};
  const TEditorControls c = Show();
  EXPECT_TRUE(c.Default->isChecked());
  EXPECT_FALSE(c.Scanner->isEnabled());
  EXPECT_EQ(c.Enabled(), "Parameter Value"); // no name, no value, no setting
  c.Type("Office");
  TLines stored;
  QStringList shown;
  for (const auto& test : cases) {
    c.AddSetting(test.Parameter, test.Value);
    stored.push_back(test.Stored);
    shown << test.Shown;
  }
  EXPECT_EQ(FDialog->ProfileLines(), stored);
  EXPECT_EQ(c.Lines(), shown);
  EXPECT_EQ(c.Selected(), -1); // an added line is not selected
  c.Name->lineEdit()->clear(); // without a name nothing can be added or saved
  EXPECT_EQ(c.Enabled(), "Parameter Value");
}

TEST_F(ProfileEditor, RemoveAndMoveActOnTheSelectedLineOfBothLists) {
  WriteProfile(FAppFolder.File("Three.tsp"), {"", "257,I,0", "4376,F,300", "4115,B,1"});
  const TEditorControls c = Show();
  c.Type("Three");
  ASSERT_EQ(c.Lines(), (QStringList{"PixelType=BW", "X Resolution=300", "DuplexEnabled=Yes"}));
  EXPECT_EQ(c.Enabled(), "Parameter Value OK"); // no selection
  c.Click(1);
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove Move Up Move Down OK");
  c.Press(c.Up);
  EXPECT_EQ(c.Selected(), 0);
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove Move Down OK");
  c.Press(c.Down);
  c.Press(c.Down);
  EXPECT_EQ(c.Selected(), 2);
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove Move Up OK");
  EXPECT_EQ(c.Lines(), (QStringList{"PixelType=BW", "DuplexEnabled=Yes", "X Resolution=300"}));
  EXPECT_EQ(FDialog->ProfileLines(), (TLines{"257,I,0", "4115,B,1", "4376,F,300"}));
  c.Click(1);
  c.Press(c.Remove); // the line below moves up and stays selected
  EXPECT_EQ(c.Selected(), 1);
  c.Press(c.Remove); // the last line: nothing stays selected
  EXPECT_EQ(c.Selected(), -1);
  EXPECT_EQ(FDialog->ProfileLines(), TLines{"257,I,0"});
  c.Click(0); // a single line moves nowhere
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove OK");
  c.Press(c.Remove);
  EXPECT_EQ(c.Enabled(), "Parameter Value");  // no setting, no OK
  QTest::keyClicks(c.Value->lineEdit(), "5"); // a value and a name make Add possible
  EXPECT_EQ(c.Enabled(), "Parameter Value Add");
}

TEST_F(ProfileEditor, LoadingAProfileTakesItsScannerAndSettings) {
  WriteProfile(FAppFolder.File("Office.tsp"), {"Other Scanner", "4352,B,1", "1,I,-1"});
  WriteProfile(FAppFolder.File("Plain.tsp"), {"", "4376,F,200"});
  const TEditorControls c = Show();
  c.Choose(c.Name, "Office");
  // A source that is not installed is added to the scanner list and chosen.
  EXPECT_TRUE(c.Specific->isChecked());
  EXPECT_EQ(c.Scanner->currentText(), "Other Scanner");
  EXPECT_EQ(c.Scanner->count(), 2);
  EXPECT_EQ(c.Lines(), (QStringList{"Auto Brightness=Yes", "Pages to Scan (-1=all)=-1"}));
  EXPECT_EQ(FDialog->ProfileLines(), (TLines{"4352,B,1", "1,I,-1"}));
  // A name that matches no file keeps what is shown; names are file names,
  // so case counts.
  for (const char* name : {"Office 2", "plain"}) {
    c.Rename(name);
    EXPECT_TRUE(c.Specific->isChecked()) << name;
    EXPECT_EQ(c.Lines().size(), 2) << name;
  }
  c.Rename("Plain");
  EXPECT_TRUE(c.Default->isChecked());
  EXPECT_FALSE(c.Scanner->isEnabled());
  EXPECT_EQ(c.Lines(), QStringList{"X Resolution=200"});
  EXPECT_TRUE(FPrompt.Questions().empty());
}

TEST_F(ProfileEditor, AStoredValueWithoutItsLabelIsReportedAndStillListed) {
  WriteProfile(FAppFolder.File("Odd.tsp"), {"", "257,I,7", "257,I,x", "99999,I,5", "4115,B,0"});
  FPrompt.Answer(TAnswer::Ok);
  const TEditorControls c = Show();
  c.Type("Odd");
  ASSERT_EQ(FPrompt.Questions().size(), 1u);
  EXPECT_EQ(FPrompt.Questions()[0].Icon, TMessageKind::Error);
  EXPECT_NE(FPrompt.Questions()[0].Text.find("7"), std::string::npos);
  // One list line for every setting line, so Remove and Move keep them paired.
  EXPECT_EQ(c.Lines(), (QStringList{"PixelType=7", "PixelType=x", "99999=5", "DuplexEnabled=No"}));
  c.Click(0);
  c.Press(c.Remove);
  EXPECT_EQ(FDialog->ProfileLines(), (TLines{"257,I,x", "99999,I,5", "4115,B,0"}));
}
