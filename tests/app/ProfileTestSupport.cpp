#include "ProfileTestSupport.h"

#include "app/DialogTwainParameters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace apptest {

std::string UserProfileFolder() {
  return ConfigHome() + "/tessivane";
}

void WriteProfile(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string FileText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

void ProfileTest::SetUp() {
  WindowTest::SetUp();
  std::filesystem::remove_all(UserProfileFolder());
  // The project's own sources only, never the machine's; no source selection dialog.
  ::setenv("TESSIVANE_TWAIN_SOURCES", test::BinPath("twain_sources").c_str(), 1);
  for (const char* name : {"TESSIVANE_TWAIN_DSM", "DISPLAY", "WAYLAND_DISPLAY"}) ::unsetenv(name);
}

void ProfileTest::TearDown() {
  WindowTest::TearDown();
  std::filesystem::remove_all(UserProfileFolder());
}

void ProfileTest::Edit(std::deque<std::function<void(const TEditor&)>> steps) {
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TDialogTwainParameters*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || steps.empty()) return;
    const auto step = steps.front();
    steps.pop_front();
    step(TEditor{*dialog});
  });
  poll.start(10);
  ASSERT_TRUE(FForm->ExecuteAction("ActionScannerSettings"));
  EXPECT_TRUE(steps.empty()) << "the editor opened fewer times than foreseen";
}

QStringList ProfileTest::ComboItems() const {
  QStringList items;
  for (int i = 0; i < FForm->ProfileCombo().count(); ++i)
    items << FForm->ProfileCombo().itemText(i);
  return items;
}

TReadOnlyFolder::TReadOnlyFolder(const std::string& folder) : FFolder(folder) {
  ::chmod(folder.c_str(), 0555);
  // Root writes past the mode bits but not past the immutable attribute.
  if (::access(folder.c_str(), W_OK) == 0)
    FImmutable = test::Run({"chattr", "+i", folder}).status == 0;
  FMade = ::access(folder.c_str(), W_OK) != 0;
}

TReadOnlyFolder::~TReadOnlyFolder() {
  if (FImmutable) test::Run({"chattr", "-i", FFolder});
  ::chmod(FFolder.c_str(), 0755);
}

void TEditor::Type(const QString& text, bool clear) const {
  auto* name = Dialog.findChild<QComboBox*>("ComboBoxNome")->lineEdit();
  if (clear) name->clear();
  QTest::keyClicks(name, text);
}

void TEditor::Choose(const char* comboName, const QString& text) const {
  auto* combo = Dialog.findChild<QComboBox*>(comboName);
  const int target = combo->findText(text, Qt::MatchExactly);
  ASSERT_GE(target, 0) << text.toStdString();
  while (combo->currentIndex() != target)
    QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

void TEditor::AddSetting(const QString& parameter, const QString& value) const {
  Choose("ComboBoxParametro", parameter);
  auto* values = Dialog.findChild<QComboBox*>("ComboBoxValore");
  values->isEditable() ? QTest::keyClicks(values->lineEdit(), value)
                       : Choose("ComboBoxValore", value);
  Press("Add");
}

void TEditor::Press(const QString& caption) const {
  for (QAbstractButton* button : Dialog.findChildren<QAbstractButton*>())
    if (button->text() == caption)
      return QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  ADD_FAILURE() << "no button " << caption.toStdString();
}

void TEditor::Click(int line) const {
  auto* list = Dialog.findChild<QListWidget*>();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(line)).center());
}

QStringList TEditor::Lines() const {
  QStringList lines;
  for (auto* item : Dialog.findChild<QListWidget*>()->findItems("*", Qt::MatchWildcard))
    lines << item->text();
  return lines;
}

} // namespace apptest
