#include "workflow/OperatorPrompt.h"

#include "core/Exception.h"

bool IsAnswerOf(TAnswer answer, TButtons buttons) {
  switch (buttons) {
  case TButtons::Ok:
    return answer == TAnswer::Ok;
  case TButtons::OkCancel:
    return answer == TAnswer::Ok || answer == TAnswer::Cancel;
  case TButtons::YesNo:
    return answer == TAnswer::Yes || answer == TAnswer::No;
  case TButtons::YesNoCancel:
    return answer == TAnswer::Yes || answer == TAnswer::No || answer == TAnswer::Cancel;
  }
  return false;
}

TAnswer ClosedAnswer(TButtons buttons) {
  switch (buttons) {
  case TButtons::Ok:
    return TAnswer::Ok;
  case TButtons::YesNo:
    return TAnswer::No;
  case TButtons::OkCancel:
  case TButtons::YesNoCancel:
    return TAnswer::Cancel;
  }
  return TAnswer::Cancel;
}

std::string JoinMessage(const std::string& first, const std::string& second) {
  return first + "\n\r" + second;
}

bool TOperatorPrompt::Confirm(const std::string& text) {
  return MessageBox(TMessageKind::Confirmation, text, TButtons::YesNo) == TAnswer::Yes;
}

TAnswer TOperatorPrompt::AskYesNoCancel(const std::string& text) {
  return MessageBox(TMessageKind::Confirmation, text, TButtons::YesNoCancel);
}

void TOperatorPrompt::Inform(const std::string& text) {
  MessageBox(TMessageKind::Information, text, TButtons::Ok);
}

void TOperatorPrompt::ShowError(const std::string& text) {
  MessageBox(TMessageKind::Error, text, TButtons::Ok);
}

void RunShowingErrors(TOperatorPrompt& prompt, const std::function<void()>& work) {
  try {
    work();
  } catch (const EAbort&) {
    // A silent abort ends the command without a word.
  } catch (const Exception& error) {
    prompt.ShowError(error.Message());
  } catch (const std::exception& error) {
    prompt.ShowError(error.what());
  }
}
