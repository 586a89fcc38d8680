#include "app/AppTexts.h"
#include "app/FormMain.h"
#include "app/WidgetPrompt.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(AppTexts::kApplication);
  QApplication::setOrganizationName(AppTexts::kOrganisation);
  QApplication::setApplicationDisplayName(AppTexts::kApplicationTitle);
  TWidgetPrompt prompt;
  TFormMain form(prompt, QApplication::arguments().mid(1));
  prompt.SetOwner(&form);
  form.show();
  return QApplication::exec();
}
