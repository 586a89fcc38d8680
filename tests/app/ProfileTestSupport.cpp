#include "ProfileTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace apptest {

namespace {

template <typename T> T* Named(QWidget& parent, const char* name) {
  T* found = parent.findChild<T*>(name);
  if (!found) ADD_FAILURE() << "no control " << name;
  return found;
}

// Sets or clears the immutable attribute; false when the file system or
// the process's rights do not allow it.
bool SetImmutable(const std::string& folder, bool on) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return false;
  int flags = 0;
  bool done = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(descriptor);
  return done;
}

bool CanCreateIn(const std::string& folder) {
  const std::string probe = folder + "/.probe";
  const int descriptor = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
  if (descriptor < 0) return false;
  ::close(descriptor);
  ::unlink(probe.c_str());
  return true;
}

} // namespace

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
  return std::string(bytes.begin(), bytes.end());
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

TReadOnlyFolder::TReadOnlyFolder(const std::string& folder) : FFolder(folder) {
  ::chmod(folder.c_str(), 0555);
  if (CanCreateIn(folder)) FImmutable = SetImmutable(folder, true);
  FMade = !CanCreateIn(folder);
}

TReadOnlyFolder::~TReadOnlyFolder() {
  if (FImmutable) SetImmutable(FFolder, false);
  ::chmod(FFolder.c_str(), 0755);
}

TEditorControls::TEditorControls(QWidget& dialog)
    : Name(Named<QComboBox>(dialog, "ComboBoxNome")),
      Scanner(Named<QComboBox>(dialog, "ComboBoxScanner")),
      Parameter(Named<QComboBox>(dialog, "ComboBoxParametro")),
      Value(Named<QComboBox>(dialog, "ComboBoxValore")),
      Default(Named<QRadioButton>(dialog, "RadioButtonScannerDefault")),
      Specific(Named<QRadioButton>(dialog, "RadioButtonScannerSpecifico")),
      Add(Named<QPushButton>(dialog, "ButtonAggiungi")),
      Remove(Named<QPushButton>(dialog, "ButtonElimina")),
      Up(Named<QPushButton>(dialog, "ButtonUp")), Down(Named<QPushButton>(dialog, "ButtonDown")),
      Ok(Named<QPushButton>(dialog, "ButtonOK")),
      Cancel(Named<QPushButton>(dialog, "ButtonCancel")),
      List(Named<QListWidget>(dialog, "ListBoxImpostazioni")) {}

void TEditorControls::Type(const QString& text) const {
  QTest::keyClicks(Name->lineEdit(), text);
}

void TEditorControls::Rename(const QString& name) const {
  Name->lineEdit()->clear();
  Type(name);
}

void TEditorControls::Choose(QComboBox* combo, const QString& text) const {
  const int target = combo->findText(text, Qt::MatchExactly);
  ASSERT_GE(target, 0) << text.toStdString();
  if (combo->currentIndex() < 0) QTest::keyClick(combo, Qt::Key_Down);
  while (combo->currentIndex() < target) QTest::keyClick(combo, Qt::Key_Down);
  while (combo->currentIndex() > target) QTest::keyClick(combo, Qt::Key_Up);
}

void TEditorControls::AddSetting(const QString& parameter, const QString& value) const {
  Choose(Parameter, parameter);
  if (Value->isEditable())
    QTest::keyClicks(Value->lineEdit(), value);
  else
    Choose(Value, value);
  EXPECT_TRUE(Add->isEnabled()) << parameter.toStdString();
  Press(Add);
}

void TEditorControls::Check(QRadioButton* button) const {
  // The button reacts to clicks on its indicator and caption, not on the
  // rest of its cell.
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void TEditorControls::Press(QPushButton* button) const {
  QTest::mouseClick(button, Qt::LeftButton);
}

void TEditorControls::Click(int line) const {
  QTest::mouseClick(List->viewport(), Qt::LeftButton, {},
                    List->visualItemRect(List->item(line)).center());
}

int TEditorControls::Selected() const {
  const QList<QListWidgetItem*> selected = List->selectedItems();
  return selected.isEmpty() ? -1 : List->row(selected.front());
}

QStringList TEditorControls::Lines() const {
  QStringList lines;
  for (int i = 0; i < List->count(); ++i) lines << List->item(i)->text();
  return lines;
}

std::string TEditorControls::Enabled() const {
  QStringList enabled;
  if (Parameter->isEnabled()) enabled << "Parameter";
  if (Value->isEnabled()) enabled << "Value";
  for (QPushButton* button : {Add, Remove, Up, Down, Ok})
    if (button->isEnabled()) enabled << button->text();
  return enabled.join(' ').toStdString();
}

} // namespace apptest
