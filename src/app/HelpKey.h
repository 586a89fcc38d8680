#pragma once

#include <QObject>

class QAction;
class QWidget;
class TOperatorPrompt;

// F1 for the whole application: an event filter on the application that
// takes the key before any shortcut does, finds the help context number of
// what the operator is on and opens that topic's page in the desktop's
// browser. Where nothing carries a number the contents page opens.
//
// What the operator is on, in this order:
// - an open menu: its highlighted entry (a submenu entry by its submenu),
//   else the menu itself;
// - a toolbar button under the pointer in the window that has the key
//   (toolbar buttons take no keyboard focus, so pointing is how one is
//   asked for);
// - the widget that receives the key: the focus widget of the active
//   window or dialog, else that window itself;
// and from there up through the parent widgets to the first that carries a
// number. Actions, menus and windows carry theirs in kHelpContextProperty;
// a tool button and the menu bar speak for their action.
class THelpKey : public QObject {
  Q_OBJECT

public:
  // Errors (pages not installed, no browser) go to prompt's error box.
  explicit THelpKey(TOperatorPrompt& prompt, QObject* parent = nullptr);

  // The help context number of F1 pressed now with receiver getting the
  // key; 0 for none.
  static int HelpContextFor(const QWidget* receiver);

  // Open a topic's page, the contents page (ActionGuida). Raise Exception
  // when the pages are missing or the desktop cannot open them.
  static void ShowTopic(int context);
  static void ShowContents();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  TOperatorPrompt& FPrompt;
};
