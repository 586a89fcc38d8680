#include "workflow/ScriptedPrompt.h"

#include "workflow/LogSink.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using TKind = TScriptedPrompt::TQuestionKind;

TEST(ScriptedPrompt, AnswersQuestionsInScriptOrder) {
  TScriptedPrompt prompt;
  prompt.Answer(TAnswer::Yes);
  prompt.AnswerFiles({"/in/a.tif", "/in/b.tif"});
  prompt.Answer(TAnswer::Cancel);
  prompt.AnswerSave("/out/batch.pdf", 2);
  prompt.AnswerFolder("/batch");
  prompt.AnswerText("300");
  prompt.CancelDialog();

  EXPECT_TRUE(prompt.Confirm("Delete selected file ?"));
  TFileDialogOptions open;
  open.Title = "Import Files";
  open.MultiSelect = true;
  const auto files = prompt.OpenFiles(open);
  ASSERT_TRUE(files);
  EXPECT_EQ(files->Files, (std::vector<std::string>{"/in/a.tif", "/in/b.tif"}));
  EXPECT_EQ(prompt.AskYesNoCancel("Save ?"), TAnswer::Cancel);
  const auto saved = prompt.SaveFile({});
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->Files, std::vector<std::string>{"/out/batch.pdf"});
  EXPECT_EQ(saved->FilterIndex, 2);
  EXPECT_EQ(prompt.SelectFolder({}), "/batch");
  EXPECT_EQ(prompt.InputBox("Input parametro", "4376", "1"), "300");
  EXPECT_EQ(prompt.OpenFiles(open), std::nullopt);

  EXPECT_TRUE(prompt.Unexpected().empty());
  EXPECT_EQ(prompt.Pending(), 0u);
  ASSERT_EQ(prompt.Questions().size(), 7u);
  EXPECT_EQ(prompt.Questions()[0].Icon, TMessageKind::Confirmation);
  EXPECT_EQ(prompt.Questions()[0].Buttons, TButtons::YesNo);
  EXPECT_EQ(prompt.Questions()[1].File.Title, "Import Files");
  EXPECT_EQ(prompt.Questions()[5].DefaultText, "1");
  EXPECT_EQ(prompt.MessageTexts(), (std::vector<std::string>{"Delete selected file ?", "Save ?"}));
}

TEST(ScriptedPrompt, UnforeseenQuestionsAreClosedAndKept) {
  TScriptedPrompt prompt;
  // Nothing scripted: every box is closed the way its buttons allow.
  EXPECT_FALSE(prompt.Confirm("a"));
  EXPECT_EQ(prompt.AskYesNoCancel("b"), TAnswer::Cancel);
  EXPECT_EQ(prompt.MessageBox(TMessageKind::Warning, "c", TButtons::OkCancel), TAnswer::Cancel);
  prompt.ShowError("d");
  EXPECT_EQ(prompt.SelectFolder({}), std::nullopt);
  EXPECT_EQ(prompt.InputBox("", "", "x"), std::nullopt);

  // An answer of the wrong kind, or not among the buttons, stays queued.
  prompt.Answer(TAnswer::Cancel);
  EXPECT_FALSE(prompt.Confirm("e"));
  EXPECT_EQ(prompt.SaveFile({}), std::nullopt);
  prompt.AnswerFiles({"/1.tif", "/2.tif"});
  EXPECT_EQ(prompt.AskYesNoCancel("f"), TAnswer::Cancel); // the queued Cancel
  EXPECT_EQ(prompt.OpenFiles({}), std::nullopt);          // two files for a single-file dialog
  EXPECT_EQ(prompt.SaveFile({}), std::nullopt);           // open-dialog answer for a save dialog

  EXPECT_EQ(prompt.Pending(), 1u);
  std::vector<TKind> kinds;
  for (const auto& question : prompt.Unexpected()) kinds.push_back(question.Kind);
  EXPECT_EQ(kinds, (std::vector<TKind>{TKind::MessageBox, TKind::MessageBox, TKind::MessageBox,
                                       TKind::MessageBox, TKind::SelectFolder, TKind::InputBox,
                                       TKind::MessageBox, TKind::SaveFile, TKind::OpenFiles,
                                       TKind::SaveFile}));
  EXPECT_EQ(prompt.Questions().size(), 11u);
  EXPECT_EQ(prompt.Questions()[3].Icon, TMessageKind::Error);
}

TEST(OperatorPrompt, ButtonsAndTwoPartMessages) {
  EXPECT_TRUE(IsAnswerOf(TAnswer::Cancel, TButtons::YesNoCancel));
  EXPECT_FALSE(IsAnswerOf(TAnswer::Cancel, TButtons::YesNo));
  EXPECT_FALSE(IsAnswerOf(TAnswer::Yes, TButtons::OkCancel));
  EXPECT_TRUE(IsAnswerOf(TAnswer::Ok, TButtons::Ok));
  EXPECT_EQ(JoinMessage("Unable to run !", "Check it."), "Unable to run !\n\rCheck it.");
}

TEST(LogLines, KeepsLinesFromEveryThreadInArrivalOrderPerThread) {
  TLogLines log;
  std::thread other([&] {
    for (int i = 0; i < 100; ++i) log.AddLine("other " + std::to_string(i));
  });
  for (int i = 0; i < 100; ++i) log.AddLine("main " + std::to_string(i));
  other.join();
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 200u);
  int nextMain = 0, nextOther = 0;
  for (const std::string& line : lines) {
    if (line.rfind("main ", 0) == 0)
      EXPECT_EQ(line, "main " + std::to_string(nextMain++));
    else
      EXPECT_EQ(line, "other " + std::to_string(nextOther++));
  }
  log.Clear();
  EXPECT_TRUE(log.Lines().empty());
}

} // namespace
