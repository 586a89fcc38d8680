#pragma once

#include "WindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

namespace apptest {

std::string UserProfileFolder();
// Writes a profile file, every line ended by CR LF.
void WriteProfile(const std::string& path, const std::vector<std::string>& lines);
std::string FileText(const std::string& path);

// The open profile editor, used as the operator uses it.
struct TEditor {
  QWidget& Dialog;
  // Types into a combo, the name's by default, after clearing it when asked;
  // a closed list goes to the entry with the arrow keys.
  void Type(const QString& text, bool clear = false, const char* comboName = "ComboBoxNome") const {
    auto* combo = Dialog.findChild<QComboBox*>(comboName);
    if (clear) combo->lineEdit()->clear();
    if (combo->isEditable()) return QTest::keyClicks(combo->lineEdit(), text);
    const int target = combo->findText(text, Qt::MatchExactly);
    ASSERT_GE(target, 0) << text.toStdString();
    while (combo->currentIndex() != target)
      QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
  }
  // Chooses the parameter, picks or types the value and clicks "Add".
  void AddSetting(const QString& parameter, const QString& value) const {
    Type(parameter, false, "ComboBoxParametro");
    Type(value, false, "ComboBoxValore");
    Press("Add");
  }
  QAbstractButton* Button(const QString& caption) const {
    for (QAbstractButton* button : Dialog.findChildren<QAbstractButton*>())
      if (button->text() == caption) return button;
    ADD_FAILURE() << "no button " << caption.toStdString();
    return nullptr;
  }
  // Clicks a button by caption near its left edge, where radio buttons react;
  // a disabled button is a failure, not a click that does nothing.
  void Press(const QString& caption) const {
    QAbstractButton* button = Button(caption);
    if (!button) return;
    EXPECT_TRUE(button->isEnabled()) << caption.toStdString() << " is disabled";
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }
  // Those of the captions whose buttons are enabled, joined by "|".
  QString Enabled(const QStringList& captions) const {
    QStringList enabled;
    for (const QString& caption : captions)
      if (QAbstractButton* button = Button(caption); button && button->isEnabled())
        enabled << caption;
    return enabled.join('|');
  }
  void Click(int line) const { // of the settings list
    auto* list = Dialog.findChild<QListWidget*>();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(line)).center());
  }
  QStringList Lines() const {
    QStringList lines;
    for (auto* item : Dialog.findChild<QListWidget*>()->findItems("*", Qt::MatchWildcard))
      lines << item->text();
    return lines;
  }
};

// A window test whose user profile folder starts and ends empty.
class ProfileTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    std::filesystem::remove_all(UserProfileFolder());
    // The project's own sources only, never the machine's; no source selection dialog.
    ::setenv("TESSIVANE_TWAIN_SOURCES", test::BinPath("twain_sources").c_str(), 1);
    for (const char* name : {"TESSIVANE_TWAIN_DSM", "DISPLAY", "WAYLAND_DISPLAY"}) ::unsetenv(name);
  }
  void TearDown() override {
    WindowTest::TearDown();
    std::filesystem::remove_all(UserProfileFolder());
  }
  // Runs "Scanner Settings...", each time the editor opens taking the next step (which closes it).
  void Edit(std::vector<std::function<void(const TEditor&)>> steps) {
    size_t next = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog && dialog->isVisible() && next < steps.size()) steps[next++](TEditor{*dialog});
    });
    poll.start(10);
    ASSERT_TRUE(FForm->ExecuteAction("ActionScannerSettings"));
    EXPECT_EQ(next, steps.size()) << "times the editor opened";
  }
  QStringList ComboItems() const {
    QStringList items;
    for (int i = 0; i < FForm->ProfileCombo().count(); ++i)
      items << FForm->ProfileCombo().itemText(i);
    return items;
  }
};

// A folder nobody may write to, root included, while it lives; Made() says
// whether the file system allowed it.
struct TReadOnlyFolder {
  explicit TReadOnlyFolder(const std::string& folder);
  ~TReadOnlyFolder();
  TReadOnlyFolder(const TReadOnlyFolder&) = delete;
  bool Made() const { return FMade; }
  const std::string FFolder;
  bool FMade = false;
};

} // namespace apptest
