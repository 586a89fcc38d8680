#include "workflow/ScriptedPrompt.h"

void TScriptedPrompt::Answer(TAnswer button) {
  FScript.emplace_back(button);
}

void TScriptedPrompt::AnswerFiles(std::vector<std::string> files, int filterIndex) {
  FScript.emplace_back(TScriptedFiles{TQuestionKind::OpenFiles, {std::move(files), filterIndex}});
}

void TScriptedPrompt::AnswerSave(std::string file, int filterIndex) {
  FScript.emplace_back(TScriptedFiles{TQuestionKind::SaveFile, {{std::move(file)}, filterIndex}});
}

void TScriptedPrompt::AnswerFolder(std::string folder) {
  FScript.emplace_back(TScriptedFolder{std::move(folder)});
}

void TScriptedPrompt::AnswerText(std::string text) {
  FScript.emplace_back(TScriptedText{std::move(text)});
}

void TScriptedPrompt::CancelDialog() {
  FScript.emplace_back(TCancel{});
}

std::vector<std::string> TScriptedPrompt::MessageTexts() const {
  std::vector<std::string> texts;
  for (const TQuestion& question : FQuestions)
    if (question.Kind == TQuestionKind::MessageBox) texts.push_back(question.Text);
  return texts;
}

template <typename Fits>
std::optional<TScriptedPrompt::TScripted> TScriptedPrompt::Take(const TQuestion& question,
                                                                Fits&& fits) {
  FQuestions.push_back(question);
  if (!FScript.empty() && fits(FScript.front())) {
    TScripted answer = std::move(FScript.front());
    FScript.pop_front();
    return answer;
  }
  FUnexpected.push_back(question);
  return std::nullopt;
}

TAnswer TScriptedPrompt::MessageBox(TMessageKind kind, const std::string& text, TButtons buttons,
                                    const std::string& caption) {
  TQuestion question;
  question.Kind = TQuestionKind::MessageBox;
  question.Icon = kind;
  question.Buttons = buttons;
  question.Caption = caption;
  question.Text = text;
  auto answer = Take(question, [buttons](const TScripted& scripted) {
    const TAnswer* button = std::get_if<TAnswer>(&scripted);
    return button && IsAnswerOf(*button, buttons);
  });
  return answer ? std::get<TAnswer>(*answer) : ClosedAnswer(buttons);
}

std::optional<TFileDialogResult> TScriptedPrompt::OpenFiles(const TFileDialogOptions& options) {
  TQuestion question;
  question.Kind = TQuestionKind::OpenFiles;
  question.Text = options.Title;
  question.File = options;
  auto answer = Take(question, [&](const TScripted& scripted) {
    if (std::holds_alternative<TCancel>(scripted)) return true;
    const TScriptedFiles* files = std::get_if<TScriptedFiles>(&scripted);
    return files && files->Kind == TQuestionKind::OpenFiles &&
           (options.MultiSelect || files->Result.Files.size() == 1);
  });
  if (!answer || std::holds_alternative<TCancel>(*answer)) return std::nullopt;
  return std::get<TScriptedFiles>(*answer).Result;
}

std::optional<TFileDialogResult> TScriptedPrompt::SaveFile(const TFileDialogOptions& options) {
  TQuestion question;
  question.Kind = TQuestionKind::SaveFile;
  question.Text = options.Title;
  question.File = options;
  auto answer = Take(question, [](const TScripted& scripted) {
    if (std::holds_alternative<TCancel>(scripted)) return true;
    const TScriptedFiles* files = std::get_if<TScriptedFiles>(&scripted);
    return files && files->Kind == TQuestionKind::SaveFile;
  });
  if (!answer || std::holds_alternative<TCancel>(*answer)) return std::nullopt;
  return std::get<TScriptedFiles>(*answer).Result;
}

std::optional<std::string> TScriptedPrompt::SelectFolder(const TFolderDialogOptions& options) {
  TQuestion question;
  question.Kind = TQuestionKind::SelectFolder;
  question.Text = options.Title;
  question.Folder = options;
  auto answer = Take(question, [](const TScripted& scripted) {
    return std::holds_alternative<TCancel>(scripted) ||
           std::holds_alternative<TScriptedFolder>(scripted);
  });
  if (!answer || std::holds_alternative<TCancel>(*answer)) return std::nullopt;
  return std::get<TScriptedFolder>(*answer).Folder;
}

std::optional<std::string> TScriptedPrompt::InputBox(const std::string& caption,
                                                     const std::string& prompt,
                                                     const std::string& defaultText) {
  TQuestion question;
  question.Kind = TQuestionKind::InputBox;
  question.Caption = caption;
  question.Text = prompt;
  question.DefaultText = defaultText;
  auto answer = Take(question, [](const TScripted& scripted) {
    return std::holds_alternative<TCancel>(scripted) ||
           std::holds_alternative<TScriptedText>(scripted);
  });
  if (!answer || std::holds_alternative<TCancel>(*answer)) return std::nullopt;
  return std::get<TScriptedText>(*answer).Text;
}
