// "Scanner Settings..." from the window: the saved file, the toolbar combo
// and the active profile.
#include "ProfileTestSupport.h"

#include <QComboBox>

using namespace apptest;
using TLines = std::vector<std::string>;

namespace {

const QString kShowUi = "Show Scanner User Interface";

// Types the name unless empty (keeping the one shown), adds one setting,
// picks the scanner button and ends with OK.
auto Save(const QString& name, const QString& parameter, const QString& value,
          const char* scanner = "Default Scanner") {
  return [=](const TEditor& e) {
    if (!name.isEmpty()) e.Type(name, true);
    if (!parameter.isEmpty()) e.AddSetting(parameter, value);
    e.Press(scanner);
    e.Press("OK");
  };
}

} // namespace

TEST_F(ProfileTest, OkSavesAddsToTheComboAndMakesActiveCancelSavesNothing) {
  Start();
  // This scanner is the installed source the source manager lists.
  Edit({Save("Office", "PixelType", "GrayScale", "This Scanner:")});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")), "Virtual Scanner\r\n257,I,1\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{kShowUi, "Office"}));
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"Virtual Scanner", "257,I,1"}));

  // Saved again, the file is replaced and the combo gets no second entry.
  Edit({[](const TEditor& e) {
    e.Choose("ComboBoxNome", "Office");
    e.Click(0);
    e.Press("Remove");
    Save("", "DuplexEnabled", "No")(e);
  }});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")), "\r\n4115,B,0\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{kShowUi, "Office"}));
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"", "4115,B,0"}));

  // Cancel saves nothing, whatever was changed.
  Edit({[](const TEditor& e) {
    e.Choose("ComboBoxNome", "Office");
    e.AddSetting("PixelType", "BW");
    e.Type(" 3");
    e.Press("Cancel");
  }});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")), "\r\n4115,B,0\r\n");
  EXPECT_FALSE(test::FileExists(FAppFolder.File("Office 3.tsp")));
  EXPECT_EQ(ComboItems(), (QStringList{kShowUi, "Office"}));
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"", "4115,B,0"}));
}

TEST_F(ProfileTest, AProfileThatCannotBeSavedIsReportedAndTheEditorKeepsTheWork) {
  Start();
  FPrompt.Answer(TAnswer::Ok);
  QStringList kept;
  Edit({Save("a/b", "PixelType", "Colors"), [&](const TEditor& e) {
          kept = e.Lines();
          Save("ab", "", "")(e);
        }});
  ASSERT_EQ(FPrompt.Questions().size(), 1u);
  EXPECT_EQ(FPrompt.Questions()[0].Icon, TMessageKind::Error);
  EXPECT_NE(FPrompt.Questions()[0].Text.find("a/b.tsp"), std::string::npos);
  EXPECT_EQ(kept, QStringList{"PixelType=Colors"});
  EXPECT_EQ(FileText(FAppFolder.File("ab.tsp")), "\r\n257,I,2\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{kShowUi, "ab"}));
}

TEST_F(ProfileTest, AReadOnlyProgramFolderSendsSavesToTheUsersProfileFolder) {
  WriteProfile(FAppFolder.File("Shared.tsp"), {"", "257,I,0"});
  const TReadOnlyFolder readOnly(FAppFolder.Path());
  if (!readOnly.Made()) GTEST_SKIP() << "this file system lets the test write everywhere";
  Start();
  Edit({[](const TEditor& e) {
    e.Choose("ComboBoxNome", "Shared");
    Save("", "DuplexEnabled", "Yes")(e);
  }});
  Edit({Save("Mine", "PixelType", "BW")});
  // The shipped profile stays; the user's copy shadows it.
  EXPECT_EQ(FileText(FAppFolder.File("Shared.tsp")), "\r\n257,I,0\r\n");
  EXPECT_EQ(FileText(UserProfileFolder() + "/Shared.tsp"), "\r\n257,I,0\r\n4115,B,1\r\n");
  EXPECT_EQ(FileText(UserProfileFolder() + "/Mine.tsp"), "\r\n257,I,0\r\n");

  // The next run lists both folders, each name once, and reads the user's copy.
  FForm.reset();
  Start();
  EXPECT_EQ(ComboItems(), (QStringList{kShowUi, "Mine", "Shared"}));
  FForm->ProfileCombo().setCurrentIndex(2);
  FForm->ComboBoxScannerSettingsClick(2);
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"", "257,I,0", "4115,B,1"}));
}
