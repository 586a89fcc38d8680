#include "app/AppIcons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource lives in a static library, whose registration the linker
// would otherwise drop. Outside any namespace, as the registration function
// it names is.
static void EnsureIconResource() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)registered;
}

QIcon BundledIcon(const char* name) {
  EnsureIconResource();
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromUtf8(name));
  if (!QFile::exists(path)) return {};
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  // Rendered here rather than through an icon-engine plug-in, so the
  // pictures do not depend on which plug-ins the desktop has installed.
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QIcon AppIcon(const char* name) {
  return QIcon::fromTheme(QString::fromUtf8(name), BundledIcon(name));
}
