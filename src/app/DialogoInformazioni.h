#pragma once

#include <QDialog>
#include <QLabel>

#include <functional>

class QPushButton;

// A label that reports a click of the left button: the About box's links.
class TLinkLabel : public QLabel {
public:
  TLinkLabel(const QString& text, std::function<void()> clicked, QWidget* parent);

protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  std::function<void()> FClicked;
};

// The About box: the product, its version and the maker's card with a mail
// and a web link, both opened by the desktop. A fixed frame, centred on the
// screen when shown.
class TDialogoInformazioni : public QDialog {
  Q_OBJECT

public:
  explicit TDialogoInformazioni(QWidget* parent = nullptr);

  // The links: the maker's mail address as a "mailto:" address, and the
  // maker's web page. Whether the desktop could open them is not looked at.
  void Label5Click();
  void Label6Click();

  QLabel& Label5() const { return *FLabel5; }
  QLabel& Label6() const { return *FLabel6; }
  QPushButton& ButtonOk() const { return *FOk; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  QLabel* FLabel5;
  QLabel* FLabel6;
  QPushButton* FOk;
};
