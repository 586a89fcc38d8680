#include "app/HelpKey.h"

#include "app/ActionTable.h"
#include "app/AppTexts.h"
#include "app/HelpTopics.h"
#include "core/Exception.h"
#include "workflow/OperatorPrompt.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {

int Own(const QObject* object) {
  return object ? object->property(kHelpContextProperty).toInt() : 0;
}

int OfAction(const QAction* action) {
  if (!action) return 0;
  if (const int own = Own(action)) return own;
  return Own(action->menu());
}

int OfWidget(const QWidget* widget) {
  if (const int own = Own(widget)) return own;
  if (const auto* button = qobject_cast<const QToolButton*>(widget))
    return OfAction(button->defaultAction());
  if (const auto* bar = qobject_cast<const QMenuBar*>(widget)) return OfAction(bar->activeAction());
  return 0;
}

int UpFrom(const QWidget* widget) {
  for (; widget; widget = widget->parentWidget())
    if (const int context = OfWidget(widget)) return context;
  return 0;
}

// The toolbar button under the pointer, when it is in the window that got
// the key.
const QToolButton* PointedToolButton(const QWidget* receiver) {
  const auto* button = qobject_cast<const QToolButton*>(QApplication::widgetAt(QCursor::pos()));
  if (!button || !qobject_cast<const QToolBar*>(button->parentWidget())) return nullptr;
  return button->window() == receiver->window() ? button : nullptr;
}

bool IsHelpKey(const QEvent* event) {
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier;
}

void Open(const QUrl& url) {
  if (!QDesktopServices::openUrl(url))
    throw Exception(QString(AppTexts::kHelpNotOpened).arg(url.toString()).toStdString());
}

} // namespace

THelpKey::THelpKey(TOperatorPrompt& prompt, QObject* parent) : QObject(parent), FPrompt(prompt) {
  qApp->installEventFilter(this);
}

int THelpKey::HelpContextFor(const QWidget* receiver) {
  if (QWidget* popup = QApplication::activePopupWidget()) {
    if (const auto* menu = qobject_cast<const QMenu*>(popup))
      if (const int context = OfAction(menu->activeAction())) return context;
    return UpFrom(popup);
  }
  if (const QToolButton* button = PointedToolButton(receiver))
    if (const int context = OfWidget(button)) return context;
  return UpFrom(receiver);
}

void THelpKey::ShowTopic(int context) {
  Open(HelpTopicUrl(context));
}

void THelpKey::ShowContents() {
  Open(HelpContentsUrl());
}

bool THelpKey::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
  if (!IsHelpKey(event)) return false;
  // A key press reaches the window first, which hands it to its focus widget
  // (to an open menu while one is open): that widget is what F1 is about.
  if (type == QEvent::KeyPress && !watched->isWidgetType()) return false;
  // Claiming the override keeps the key from the shortcuts (Help's own F1
  // among them), so it arrives as a key press.
  event->accept();
  if (type == QEvent::ShortcutOverride || static_cast<QKeyEvent*>(event)->isAutoRepeat())
    return true;
  const int context = HelpContextFor(static_cast<const QWidget*>(watched));
  // The open menus close, as when one of their commands is chosen.
  while (QWidget* popup = QApplication::activePopupWidget())
    if (!popup->close()) break;
  RunShowingErrors(FPrompt, [context] {
    if (context)
      ShowTopic(context);
    else
      ShowContents();
  });
  return true;
}
