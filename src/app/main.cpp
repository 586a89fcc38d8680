#include "app/AppTexts.h"
#include "app/FormMain.h"
#include "app/WidgetPrompt.h"

#include <QApplication>

#include <exception>
#include <memory>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(AppTexts::kApplication);
  QApplication::setOrganizationName(AppTexts::kOrganisation);
  QApplication::setApplicationDisplayName(AppTexts::kApplicationTitle);
  TWidgetPrompt prompt;
  std::unique_ptr<TFormMain> form;
  try {
    form = std::make_unique<TFormMain>(prompt, QApplication::arguments().mid(1));
  } catch (const std::exception& error) {
    // The window cannot work without what it failed to set up (the user's
    // folders, say): the operator is told why before it closes.
    prompt.ShowError(error.what());
    return 1;
  }
  prompt.SetOwner(form.get());
  form->show();
  return QApplication::exec();
}
