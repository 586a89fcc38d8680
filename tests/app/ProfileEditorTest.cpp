// The window's profile editor: the list lines at OK and the exact file saved.
#include "ProfileTestSupport.h"

using namespace apptest;

TEST_F(ProfileTest, EditorRowsSaveTheListedSettings) {
  const std::vector<std::string> kOther{"Other Scanner", "4352,B,1", "1,I,-1"};
  const char* const kOtherLines = "Auto Brightness=Yes|Pages to Scan (-1=all)=-1";
  const char* const kOtherSaved = "Other Scanner\r\n4352,B,1\r\n1,I,-1\r\n";
  const char* const kNew =
      "PixelType=GrayScale|X Resolution=300|DuplexEnabled=Yes|Page Size=A4|Y Resolution=?";
  const struct {
    std::vector<std::string> Office; // written as Office.tsp and chosen, when given
    std::function<void(const TEditor&)> Step;
    const char *Lines, *Saved, *Error = "", *File = "Office.tsp";
  } rows[] = {
      // New settings of every kind: picked, typed and "?".
      {{},
       [&](const TEditor& e) {
         e.Type("Office");
         for (const QString& line : QString(kNew).split('|'))
           e.AddSetting(line.section('=', 0, 0), line.section('=', 1));
       },
       kNew,
       "\r\n257,I,1\r\n4376,F,300\r\n4115,B,1\r\n4386,I,1\r\n4377,F,?\r\n"},
      // Move and Remove keep the selection and the two lists paired.
      {{"", "257,I,0", "4376,F,300", "4115,B,1"},
       [](const TEditor& e) {
         e.Click(1);
         for (const char* button : {"Move Up", "Move Down", "Move Down"}) e.Press(button);
         e.Click(0);
         for (const char* button : {"Remove", "Move Down"}) e.Press(button);
       },
       "X Resolution=300|DuplexEnabled=Yes",
       "\r\n4376,F,300\r\n4115,B,1\r\n"},
      // A scanner that is not installed is listed and chosen; a name with no
      // file keeps what is shown.
      {kOther, [](const TEditor&) {}, kOtherLines, kOtherSaved},
      {kOther, [](const TEditor& e) { e.Type(" 2"); }, kOtherLines, kOtherSaved, "",
       "Office 2.tsp"},
      // A stored value without its label is reported and still listed.
      {{"", "257,I,7", "257,I,x", "99999,I,5", "4115,B,0"},
       [](const TEditor& e) { e.Click(0), e.Press("Remove"); },
       "PixelType=x|99999=5|DuplexEnabled=No",
       "\r\n257,I,x\r\n99999,I,5\r\n4115,B,0\r\n",
       "Value 7 is not a value of PixelType."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    for (const auto& file : std::filesystem::directory_iterator(FAppFolder.Path()))
      std::filesystem::remove(file);
    if (!row.Office.empty()) WriteProfile(FAppFolder.File("Office.tsp"), row.Office);
    if (*row.Error) FPrompt.Answer(TAnswer::Ok);
    const size_t asked = FPrompt.Questions().size();
    Start();
    QStringList lines;
    Edit({[&](const TEditor& e) {
      if (!row.Office.empty()) e.Type("Office");
      row.Step(e);
      lines = e.Lines();
      e.Press("OK");
    }});
    EXPECT_EQ(lines.join('|').toStdString(), row.Lines);
    EXPECT_EQ(FileText(FAppFolder.File(row.File)), row.Saved);
    EXPECT_EQ(FPrompt.Questions().size(), asked + (*row.Error ? 1 : 0));
    EXPECT_EQ(FPrompt.Questions().size() > asked ? FPrompt.Questions().back().Text : "", row.Error);
  }
}

// Remove needs a selected line, Move Up one above it and Move Down one below.
TEST_F(ProfileTest, EditorButtonsFollowTheSelectedLine) {
  const QStringList kButtons{"Remove", "Move Up", "Move Down"};
  const struct {
    std::vector<std::string> Office;
    int Selected; // -1: none
    const char* Enabled;
  } rows[] = {
      {{"", "257,I,0"}, -1, ""},
      {{"", "257,I,0"}, 0, "Remove"},
      {{"", "257,I,0", "4376,F,300", "4115,B,1"}, -1, ""},
      {{"", "257,I,0", "4376,F,300", "4115,B,1"}, 0, "Remove|Move Down"},
      {{"", "257,I,0", "4376,F,300", "4115,B,1"}, 1, "Remove|Move Up|Move Down"},
      {{"", "257,I,0", "4376,F,300", "4115,B,1"}, 2, "Remove|Move Up"},
  };
  WriteProfile(FAppFolder.File("Short.tsp"), rows[0].Office);
  WriteProfile(FAppFolder.File("Long.tsp"), rows[2].Office);
  Start();
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    Edit({[&](const TEditor& e) {
      e.Type(row.Office.size() == 2 ? "Short" : "Long");
      if (row.Selected >= 0) e.Click(row.Selected);
      EXPECT_EQ(e.Enabled(kButtons).toStdString(), row.Enabled);
      e.Press("Cancel");
    }});
  }
}
