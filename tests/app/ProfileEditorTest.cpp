// The profile editor through its own controls, and the window's command that
// opens it and saves what it returns.
#include "ProfileTestSupport.h"

#include "app/DialogTwainParameters.h"
#include "app/ProfileCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>

using namespace apptest;

namespace {

// The dialog over a folder of its own, shown as the window shows it.
class ProfileEditor : public ProfileTest {
protected:
  void SetUp() override {
    ProfileTest::SetUp();
    FDialog = std::make_unique<TDialogTwainParameters>(FPrompt, nullptr);
    FDialog->SetProfileFolders(TProfileFolders(FAppFolder.Path(), UserProfileFolder()));
    FDialog->AddScanners({"Virtual Scanner"});
  }
  void TearDown() override {
    FDialog.reset();
    ProfileTest::TearDown();
  }
  void Show() {
    FDialog->show();
    QCoreApplication::processEvents();
  }
  TEditorControls Controls() const { return TEditorControls(*FDialog); }
  std::unique_ptr<TDialogTwainParameters> FDialog;
};

} // namespace

TEST_F(ProfileEditor, StartsWithAnEmptyNameTheDefaultScannerAndTheFirstParameter) {
  Show();
  const TEditorControls c = Controls();
  EXPECT_EQ(FDialog->windowTitle(), "Scanner Settings");
  EXPECT_EQ(FDialog->findChild<QGroupBox*>()->title(), "TWAIN Scanner Settings");
  EXPECT_EQ(c.Default->text(), "Default Scanner");
  EXPECT_EQ(c.Specific->text(), "This Scanner:");
  EXPECT_EQ(c.Captions(), (QStringList{"Add", "Remove", "Move Up", "Move Down", "OK", "Cancel"}));
  EXPECT_TRUE(c.Ok->isDefault());
  EXPECT_TRUE(c.Name->currentText().isEmpty());
  EXPECT_TRUE(c.Default->isChecked());
  EXPECT_EQ(c.List->count(), 0);
  EXPECT_EQ(c.Parameter->count(), 78);
  EXPECT_EQ(c.Parameter->currentText(), "Pages to Scan (-1=all)");
  EXPECT_TRUE(c.Value->isEditable());
  EXPECT_TRUE(c.Value->currentText().isEmpty());
  EXPECT_EQ(c.Enabled(), "Parameter Value");
  EXPECT_FALSE(c.Scanner->isEnabled());
}

TEST_F(ProfileEditor, AddedSettingsShowTheirLabelAndStoreTheirNumber) {
  struct Case {
    const char* Parameter;
    const char* Value; // chosen from the list, or typed when the parameter has none
    const char* Shown;
    const char* Stored;
  };
  const Case cases[] = {{"PixelType", "GrayScale", "PixelType=GrayScale", "257,I,1"},
                        {"X Resolution", "300", "X Resolution=300", "4376,F,300"},
                        {"DuplexEnabled", "Yes", "DuplexEnabled=Yes", "4115,B,1"},
                        {"Page Size", "A4", "Page Size=A4", "4386,I,1"},
                        {"Y Resolution", "?", "Y Resolution=?", "4377,F,?"},
                        {"PixelType", "BW", "PixelType=BW", "257,I,0"}};
  Show();
  const TEditorControls c = Controls();
  QTest::keyClicks(c.Name->lineEdit(), "Office");
  std::vector<std::string> stored;
  QStringList shown;
  for (const Case& test : cases) {
    c.Choose(c.Parameter, test.Parameter);
    if (c.Value->isEditable())
      QTest::keyClicks(c.Value->lineEdit(), test.Value);
    else
      c.Choose(c.Value, test.Value);
    ASSERT_TRUE(c.Add->isEnabled()) << test.Parameter;
    QTest::mouseClick(c.Add, Qt::LeftButton);
    stored.push_back(test.Stored);
    shown << test.Shown;
  }
  EXPECT_EQ(FDialog->ProfileLines(), stored);
  EXPECT_EQ(c.Lines(), shown);
  EXPECT_EQ(c.Selected(), -1); // an added line is not selected
  EXPECT_TRUE(c.Ok->isEnabled());
  // Without a name nothing can be added or saved.
  c.Name->lineEdit()->clear();
  EXPECT_EQ(c.Enabled(), "Parameter Value");
}

TEST_F(ProfileEditor, RemoveAndMoveActOnTheSelectedLineOfBothLists) {
  WriteProfile(FAppFolder.File("Three.tsp"), {"", "257,I,0", "4376,F,300", "4115,B,1"});
  Show();
  const TEditorControls c = Controls();
  QTest::keyClicks(c.Name->lineEdit(), "Three");
  ASSERT_EQ(c.Lines(), (QStringList{"PixelType=BW", "X Resolution=300", "DuplexEnabled=Yes"}));
  EXPECT_EQ(c.Enabled(), "Parameter Value OK"); // no selection
  c.Click(1);
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove Move Up Move Down OK");
  QTest::mouseClick(c.Up, Qt::LeftButton);
  EXPECT_EQ(c.Selected(), 0);
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove Move Down OK");
  QTest::mouseClick(c.Down, Qt::LeftButton);
  QTest::mouseClick(c.Down, Qt::LeftButton);
  EXPECT_EQ(c.Selected(), 2);
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove Move Up OK");
  EXPECT_EQ(c.Lines(), (QStringList{"PixelType=BW", "DuplexEnabled=Yes", "X Resolution=300"}));
  EXPECT_EQ(FDialog->ProfileLines(),
            (std::vector<std::string>{"257,I,0", "4115,B,1", "4376,F,300"}));
  c.Click(1);
  QTest::mouseClick(c.Remove, Qt::LeftButton); // the line below moves up and stays selected
  EXPECT_EQ(c.Selected(), 1);
  EXPECT_EQ(c.Lines(), (QStringList{"PixelType=BW", "X Resolution=300"}));
  QTest::mouseClick(c.Remove, Qt::LeftButton); // the last line: nothing stays selected
  EXPECT_EQ(c.Selected(), -1);
  EXPECT_EQ(FDialog->ProfileLines(), (std::vector<std::string>{"257,I,0"}));
  c.Click(0); // a single line moves nowhere
  EXPECT_EQ(c.Enabled(), "Parameter Value Remove OK");
  QTest::mouseClick(c.Remove, Qt::LeftButton);
  EXPECT_EQ(c.Enabled(), "Parameter Value"); // no setting, no OK
  QTest::keyClicks(c.Value->lineEdit(), "5"); // a value and a name make Add possible
  EXPECT_EQ(c.Enabled(), "Parameter Value Add");
}

TEST_F(ProfileEditor, LoadingAProfileTakesItsScannerAndSettings) {
  WriteProfile(FAppFolder.File("Office.tsp"), {"Other Scanner", "4352,B,1", "1,I,-1"});
  WriteProfile(FAppFolder.File("Plain.tsp"), {"", "4376,F,200"});
  Show();
  const TEditorControls c = Controls();
  EXPECT_EQ(c.Name->count(), 2);
  c.Choose(c.Name, "Office");
  // A source that is not installed is added to the scanner list and chosen.
  EXPECT_TRUE(c.Specific->isChecked());
  EXPECT_EQ(c.Scanner->currentText(), "Other Scanner");
  EXPECT_EQ(c.Scanner->count(), 2);
  EXPECT_TRUE(c.Scanner->isEnabled());
  EXPECT_EQ(c.Lines(), (QStringList{"Auto Brightness=Yes", "Pages to Scan (-1=all)=-1"}));
  EXPECT_EQ(FDialog->ProfileLines(), (std::vector<std::string>{"4352,B,1", "1,I,-1"}));
  // A name that matches no file keeps what is shown.
  QTest::keyClicks(c.Name->lineEdit(), " 2");
  EXPECT_EQ(c.Name->currentText(), "Office 2");
  EXPECT_TRUE(c.Specific->isChecked());
  EXPECT_EQ(c.Lines().size(), 2);
  c.Name->lineEdit()->clear();
  QTest::keyClicks(c.Name->lineEdit(), "plain"); // names are file names: case counts
  EXPECT_TRUE(c.Specific->isChecked());
  c.Name->lineEdit()->clear();
  QTest::keyClicks(c.Name->lineEdit(), "Plain");
  EXPECT_TRUE(c.Default->isChecked());
  EXPECT_FALSE(c.Scanner->isEnabled());
  EXPECT_EQ(c.Lines(), QStringList{"X Resolution=200"});
  EXPECT_TRUE(FPrompt.Questions().empty());
}

TEST_F(ProfileEditor, AStoredValueWithoutItsLabelIsReportedAndStillListed) {
  WriteProfile(FAppFolder.File("Odd.tsp"), {"", "257,I,7", "257,I,x", "99999,I,5", "4115,B,0"});
  FPrompt.Answer(TAnswer::Ok);
  Show();
  const TEditorControls c = Controls();
  QTest::keyClicks(c.Name->lineEdit(), "Odd");
  ASSERT_EQ(FPrompt.Questions().size(), 1u);
  EXPECT_EQ(FPrompt.Questions()[0].Icon, TMessageKind::Error);
  EXPECT_NE(FPrompt.Questions()[0].Text.find("7"), std::string::npos);
  // One list line for every setting line, so Remove and Move keep them paired.
  EXPECT_EQ(c.Lines(), (QStringList{"PixelType=7", "PixelType=x", "99999=5", "DuplexEnabled=No"}));
  c.Click(0);
  QTest::mouseClick(c.Remove, Qt::LeftButton);
  EXPECT_EQ(FDialog->ProfileLines(),
            (std::vector<std::string>{"257,I,x", "99999,I,5", "4115,B,0"}));
}
