// "Scanner Settings..." from the window: the editor driven through its
// controls, the saved file, the toolbar combo and the active profile.
#include "ProfileTestSupport.h"

#include "app/DialogTwainParameters.h"
#include "app/ProfileCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <deque>

using namespace apptest;
using TLines = std::vector<std::string>;

namespace {

using TEditorStep = std::function<void(const TEditorControls&)>;

class ProfileCommands : public ProfileTest {
protected:
  // Runs "Scanner Settings...", each time the editor opens taking the next
  // step (which ends by closing it).
  void Edit(std::deque<TEditorStep> steps) {
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TDialogTwainParameters*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible() || steps.empty()) return;
      const TEditorStep step = steps.front();
      steps.pop_front();
      step(TEditorControls(*dialog));
    });
    poll.start();
    ASSERT_TRUE(FForm->ExecuteAction("ActionScannerSettings"));
    EXPECT_TRUE(steps.empty()) << "the editor opened fewer times than foreseen";
  }
  // Shows the profile called name (typed when new), adds the settings,
  // chooses the scanner and ends with OK.
  static TEditorStep Save(const QString& name, std::vector<std::pair<QString, QString>> settings,
                          bool thisScanner = false) {
    return [=](const TEditorControls& c) {
      if (c.Name->currentText() != name) c.Rename(name);
      for (const auto& [parameter, value] : settings) c.AddSetting(parameter, value);
      c.Check(thisScanner ? c.Specific : c.Default);
      EXPECT_EQ(c.Scanner->isEnabled(), thisScanner);
      c.Press(c.Ok);
    };
  }
  QStringList ComboItems() const {
    QStringList items;
    for (int i = 0; i < FForm->ProfileCombo().count(); ++i)
      items << FForm->ProfileCombo().itemText(i);
    return items;
  }
};

} // namespace

TEST_F(ProfileCommands, OkSavesAddsToTheComboAndMakesActiveCancelSavesNothing) {
  Start();
  // This scanner is the installed source the source manager lists.
  Edit({Save("Office", {{"PixelType", "GrayScale"}, {"X Resolution", "300"}}, true)});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")),
            "Virtual Scanner\r\n257,I,1\r\n4376,F,300\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{"Show Scanner User Interface", "Office"}));
  EXPECT_EQ(FForm->ProfileCombo().currentIndex(), 0); // the selection stays
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"Virtual Scanner", "257,I,1", "4376,F,300"}));

  // The default scanner is an empty first line; saving an existing profile
  // again replaces its file and adds no second entry.
  Edit({[](const TEditorControls& c) {
    c.Choose(c.Name, "Office");
    c.Click(0);
    c.Press(c.Remove);
    Save("Office", {{"DuplexEnabled", "No"}})(c);
  }});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")), "\r\n4376,F,300\r\n4115,B,0\r\n");
  EXPECT_EQ(ComboItems().size(), 2);
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"", "4376,F,300", "4115,B,0"}));

  // A new name keeps the scanner and settings shown and saves them under it.
  Edit({[](const TEditorControls& c) {
    c.Choose(c.Name, "Office");
    c.Check(c.Specific);
    c.Type(" 2");
    c.Press(c.Ok);
  }});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")), "\r\n4376,F,300\r\n4115,B,0\r\n");
  EXPECT_EQ(FileText(FAppFolder.File("Office 2.tsp")),
            "Virtual Scanner\r\n4376,F,300\r\n4115,B,0\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{"Show Scanner User Interface", "Office", "Office 2"}));
  const TLines active = FForm->ActiveProfile();
  EXPECT_EQ(active, (TLines{"Virtual Scanner", "4376,F,300", "4115,B,0"}));

  // Cancel saves nothing, whatever was changed.
  Edit({[](const TEditorControls& c) {
    c.Choose(c.Name, "Office");
    c.Click(0);
    c.Press(c.Remove);
    c.Type(" 3");
    c.Press(c.Cancel);
  }});
  EXPECT_EQ(FileText(FAppFolder.File("Office.tsp")), "\r\n4376,F,300\r\n4115,B,0\r\n");
  EXPECT_FALSE(test::FileExists(FAppFolder.File("Office 3.tsp")));
  EXPECT_EQ(ComboItems().size(), 3);
  EXPECT_EQ(FForm->ActiveProfile(), active);
}

TEST_F(ProfileCommands, AProfileThatCannotBeSavedIsReportedAndTheEditorKeepsTheWork) {
  Start();
  FPrompt.Answer(TAnswer::Ok);
  QStringList kept;
  Edit({Save("a/b", {{"PixelType", "Colors"}}), [&](const TEditorControls& c) {
          kept = c.Lines();
          Save("ab", {})(c);
        }});
  ASSERT_EQ(FPrompt.Questions().size(), 1u);
  EXPECT_EQ(FPrompt.Questions()[0].Icon, TMessageKind::Error);
  EXPECT_NE(FPrompt.Questions()[0].Text.find("a/b.tsp"), std::string::npos);
  EXPECT_EQ(kept, QStringList{"PixelType=Colors"});
  EXPECT_EQ(FileText(FAppFolder.File("ab.tsp")), "\r\n257,I,2\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{"Show Scanner User Interface", "ab"}));
}

TEST_F(ProfileCommands, AReadOnlyProgramFolderSendsSavesToTheUsersProfileFolder) {
  WriteProfile(FAppFolder.File("Shared.tsp"), {"", "257,I,0"});
  const TReadOnlyFolder readOnly(FAppFolder.Path());
  if (!readOnly.Made()) GTEST_SKIP() << "this file system lets the test write everywhere";
  Start();
  Edit({[](const TEditorControls& c) {
    c.Choose(c.Name, "Shared");
    Save("Shared", {{"DuplexEnabled", "Yes"}})(c);
  }});
  Edit({Save("Mine", {{"PixelType", "BW"}})});
  // The shipped profile stays; the user's copy shadows it.
  EXPECT_EQ(FileText(FAppFolder.File("Shared.tsp")), "\r\n257,I,0\r\n");
  EXPECT_EQ(FileText(UserProfileFolder() + "/Shared.tsp"), "\r\n257,I,0\r\n4115,B,1\r\n");
  EXPECT_EQ(FileText(UserProfileFolder() + "/Mine.tsp"), "\r\n257,I,0\r\n");
  EXPECT_EQ(ComboItems(), (QStringList{"Show Scanner User Interface", "Shared", "Mine"}));

  // The next run lists both folders, each name once, and reads the user's copy.
  FForm.reset();
  Start();
  EXPECT_EQ(ComboItems(), (QStringList{"Show Scanner User Interface", "Mine", "Shared"}));
  FForm->ProfileCombo().setCurrentIndex(2);
  FForm->ComboBoxScannerSettingsClick(2);
  EXPECT_EQ(FForm->ActiveProfile(), (TLines{"", "257,I,0", "4115,B,1"}));
}
