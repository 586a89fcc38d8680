#pragma once

#include "WindowFixture.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

std::string UserProfileFolder();
// Writes a profile file, every line ended by CR LF.
void WriteProfile(const std::string& path, const std::vector<std::string>& lines);
std::string FileText(const std::string& path);

// The open profile editor, used as the operator uses it.
struct TEditor {
  QWidget& Dialog;
  // Types into the name, after clearing it when asked.
  void Type(const QString& text, bool clear = false) const;
  // Picks an entry of the named combo with the arrow keys.
  void Choose(const char* comboName, const QString& text) const;
  // Chooses the parameter, picks or types the value and clicks "Add".
  void AddSetting(const QString& parameter, const QString& value) const;
  // Clicks the button with this caption near its left edge, where radio buttons react.
  void Press(const QString& caption) const;
  void Click(int line) const; // a line of the settings list
  QStringList Lines() const;
};

// A window test whose user profile folder starts and ends empty.
class ProfileTest : public WindowTest {
protected:
  void SetUp() override;
  void TearDown() override;

  // Runs "Scanner Settings...", each time the editor opens taking the next
  // step (which ends by closing it).
  void Edit(std::deque<std::function<void(const TEditor&)>> steps);
  QStringList ComboItems() const;
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

} // namespace apptest
