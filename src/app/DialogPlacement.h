#pragma once

#include <QScreen>
#include <QWidget>

// Moves a dialog being shown to the middle of its screen's free area.
inline void CentreOnScreen(QWidget& dialog) {
  if (const QScreen* shown = dialog.screen())
    dialog.move(shown->availableGeometry().center() - dialog.rect().center());
}
