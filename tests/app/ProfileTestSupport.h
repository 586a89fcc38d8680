#pragma once

#include "WindowFixture.h"

#include <QStringList>

#include <string>
#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

namespace apptest {

// The user's own profile folder of the test run.
std::string UserProfileFolder();
// Writes a profile file, every line ended by CR LF.
void WriteProfile(const std::string& path, const std::vector<std::string>& lines);
// The bytes of a file.
std::string FileText(const std::string& path);

// A window test whose user profile folder starts and ends empty.
class ProfileTest : public WindowTest {
protected:
  void SetUp() override;
  void TearDown() override;
};

// A folder nobody may write to, root included, for as long as it lives;
// Made() says whether the file system allowed it.
class TReadOnlyFolder {
public:
  explicit TReadOnlyFolder(const std::string& folder);
  ~TReadOnlyFolder();
  TReadOnlyFolder(const TReadOnlyFolder&) = delete;
  TReadOnlyFolder& operator=(const TReadOnlyFolder&) = delete;
  bool Made() const { return FMade; }

private:
  std::string FFolder;
  bool FImmutable = false;
  bool FMade = false;
};

// The profile editor's controls, found by their names, and the operator's
// ways of using them.
struct TEditorControls {
  explicit TEditorControls(QWidget& dialog);
  QComboBox *Name, *Scanner, *Parameter, *Value;
  QRadioButton *Default, *Specific;
  QPushButton *Add, *Remove, *Up, *Down, *Ok, *Cancel;
  QListWidget* List;

  // Types text after the name shown; Rename clears the name first.
  void Type(const QString& text) const;
  void Rename(const QString& name) const;
  // Picks an entry of a combo with the arrow keys.
  void Choose(QComboBox* combo, const QString& text) const;
  // Chooses the parameter, picks or types the value and clicks Add.
  void AddSetting(const QString& parameter, const QString& value) const;
  // Clicks a radio button on its indicator.
  void Check(QRadioButton* button) const;
  void Press(QPushButton* button) const;
  // Clicks line i of the settings list.
  void Click(int line) const;
  int Selected() const;
  QStringList Lines() const;
  // The enabled controls among parameter, value and the buttons, as
  // "Parameter Value Add Remove Move Up Move Down OK".
  std::string Enabled() const;
};

} // namespace apptest
