#pragma once

#include "workflow/OperatorPrompt.h"

#include <deque>
#include <string>
#include <variant>
#include <vector>

// Answers the operator's questions from a script, for tests: each question
// takes the next scripted answer, which must be of the question's kind (a
// button for a message box, files for an open or save dialog, a folder, a
// text) and, for a message box, one of its buttons. Every question is kept
// in Questions(). A question with no fitting answer next in the script is
// answered as if the operator had closed it (see TAnswer; no value for
// dialogs), the scripted answer stays queued, and the question is also kept
// in Unexpected(), so a test can fail on any question it did not foresee.
class TScriptedPrompt : public TOperatorPrompt {
public:
  enum class TQuestionKind { MessageBox, OpenFiles, SaveFile, SelectFolder, InputBox };

  struct TQuestion {
    TQuestionKind Kind = TQuestionKind::MessageBox;
    TMessageKind Icon = TMessageKind::Information; // message boxes
    TButtons Buttons = TButtons::Ok;               // message boxes
    std::string Caption;                           // message and input boxes
    std::string Text;                              // message text, input prompt, dialog title
    TFileDialogOptions File;                       // open and save dialogs
    TFolderDialogOptions Folder;                   // folder dialog
    std::string DefaultText;                       // input box
  };

  // Scripts the next answer.
  void Answer(TAnswer button);                                           // a message box
  void AnswerFiles(std::vector<std::string> files, int filterIndex = 1); // an open dialog
  void AnswerSave(std::string file, int filterIndex = 1);                // a save dialog
  void AnswerFolder(std::string folder);                                 // a folder dialog
  void AnswerText(std::string text);                                     // an input box
  // The next dialog or input box is cancelled (a message box takes Cancel
  // through Answer).
  void CancelDialog();

  const std::vector<TQuestion>& Questions() const { return FQuestions; }
  const std::vector<TQuestion>& Unexpected() const { return FUnexpected; }
  // Scripted answers not used yet.
  size_t Pending() const { return FScript.size(); }
  // The texts of every message box asked, in order.
  std::vector<std::string> MessageTexts() const;

  TAnswer MessageBox(TMessageKind kind, const std::string& text, TButtons buttons,
                     const std::string& caption = {}) override;
  std::optional<TFileDialogResult> OpenFiles(const TFileDialogOptions& options) override;
  std::optional<TFileDialogResult> SaveFile(const TFileDialogOptions& options) override;
  std::optional<std::string> SelectFolder(const TFolderDialogOptions& options) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override;

private:
  struct TCancel {};
  struct TScriptedFiles {
    TQuestionKind Kind;
    TFileDialogResult Result;
  };
  struct TScriptedFolder {
    std::string Folder;
  };
  struct TScriptedText {
    std::string Text;
  };
  using TScripted = std::variant<TAnswer, TScriptedFiles, TScriptedFolder, TScriptedText, TCancel>;

  // Keeps the question; takes the next answer when fits says it fits.
  template <typename Fits> std::optional<TScripted> Take(const TQuestion& question, Fits&& fits);

  std::deque<TScripted> FScript;
  std::vector<TQuestion> FQuestions;
  std::vector<TQuestion> FUnexpected;
};
