#include "workflow/DesktopLauncher.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

void OpenWithDesktop(const std::string& fileName) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(fileName)));
}
