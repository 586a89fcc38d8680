// "Scanner Settings...": the saved file, the toolbar combo and the active profile.
#include "ProfileTestSupport.h"

using namespace apptest;
using TLines = std::vector<std::string>;

namespace {

// Types the name (loading the profile it names), removes its first line when asked, adds one
// setting, picks the scanner and closes with OK or Cancel.
auto Save(const QString& name, const QString& parameter, const QString& value,
          bool removeFirst = false, const char* scanner = "Default Scanner",
          const char* close = "OK") {
  return [=](const TEditor& e) {
    e.Type(name, true);
    if (removeFirst) e.Click(0), e.Press("Remove");
    if (!parameter.isEmpty()) e.AddSetting(parameter, value);
    e.Press(scanner);
    e.Press(close);
  };
}

class ProfileCommands : public ProfileTest {
protected:
  // The saved file, the toolbar combo and the active profile.
  void Expect(const std::string& file, const char* saved, const QStringList& combo,
              const TLines& active) {
    EXPECT_EQ(FileText(FAppFolder.File(file)), saved);
    EXPECT_EQ(ComboItems(), QStringList{"Show Scanner User Interface"} + combo);
    EXPECT_EQ(FForm->ActiveProfile(), active);
  }
};

} // namespace

TEST_F(ProfileCommands, OkSavesAddsToTheComboAndMakesActiveCancelAndAnUnsaveableNameSaveNothing) {
  Start();
  // This scanner is the installed source the source manager lists.
  Edit({Save("Office", "PixelType", "GrayScale", false, "This Scanner:")});
  Expect("Office.tsp", "Virtual Scanner\r\n257,I,1\r\n", {"Office"},
         {"Virtual Scanner", "257,I,1"});
  // Saved again, the file is replaced and the combo gets no second entry.
  Edit({Save("Office", "DuplexEnabled", "No", true)});
  Expect("Office.tsp", "\r\n4115,B,0\r\n", {"Office"}, {"", "4115,B,0"});
  // Cancel saves nothing, whatever was changed.
  Edit({Save("Office 3", "PixelType", "BW", false, "This Scanner:", "Cancel")});
  Expect("Office.tsp", "\r\n4115,B,0\r\n", {"Office"}, {"", "4115,B,0"});
  EXPECT_FALSE(test::FileExists(FAppFolder.File("Office 3.tsp")));
  // A name that cannot be saved is reported; the editor opens again with the work kept.
  FPrompt.Answer(TAnswer::Ok);
  QStringList kept;
  Edit({Save("a/b", "PixelType", "Colors"), [&](const TEditor& e) {
          kept = e.Lines();
          Save("ab", "", "")(e);
        }});
  EXPECT_EQ(FPrompt.Questions().at(0).Text,
            "Cannot create file \"" + FAppFolder.File("a/b.tsp") + "\". Invalid argument");
  EXPECT_EQ(kept, QStringList{"PixelType=Colors"});
  Expect("ab.tsp", "\r\n257,I,2\r\n", {"Office", "ab"}, {"", "257,I,2"});
}

TEST_F(ProfileCommands, AReadOnlyProgramFolderSendsSavesToTheUsersProfileFolder) {
  WriteProfile(FAppFolder.File("Shared.tsp"), {"", "257,I,0"});
  const TReadOnlyFolder readOnly(FAppFolder.Path());
  if (!readOnly.Made()) GTEST_SKIP() << "this file system lets the test write everywhere";
  Start();
  Edit({Save("Shared", "DuplexEnabled", "Yes")});
  Edit({Save("Mine", "PixelType", "BW")});
  // The shipped profile stays; the user's copy shadows it.
  EXPECT_EQ(FileText(FAppFolder.File("Shared.tsp")), "\r\n257,I,0\r\n");
  EXPECT_EQ(FileText(UserProfileFolder() + "/Shared.tsp"), "\r\n257,I,0\r\n4115,B,1\r\n");
  EXPECT_EQ(FileText(UserProfileFolder() + "/Mine.tsp"), "\r\n257,I,0\r\n");
  // The next run lists both folders, each name once, and reads the user's copy.
  FForm.reset();
  Start();
  EXPECT_EQ(ComboItems(), (QStringList{"Show Scanner User Interface", "Mine", "Shared"}));
  FForm->ProfileCombo().setCurrentIndex(2);
  FForm->ComboBoxScannerSettingsClick(2);
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"", "257,I,0", "4115,B,1"}));
}
