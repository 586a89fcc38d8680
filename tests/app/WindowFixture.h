#pragma once

#include "app/FormMain.h"
#include "support/TestSupport.h"
#include "workflow/ScriptedPrompt.h"

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QApplication;
class TThumbnail;

namespace apptest {

// One application for the whole run, never destroyed (Qt's own statics go
// first at exit). Before it starts, HOME and the XDG folders point into a
// private folder, so no test reads or writes the user's settings or trash.
QApplication& Application();
// The private folders the run uses.
std::string ConfigHome();
std::string DataHome();
// The settings file the window reads and writes.
std::string SettingsFile();

// Writes a page-image file of the format its extension names: generated
// text-like pages of the given size, resolution and depth (1, 8 or 24 bits),
// one per entry of widths for a multi-page TIFF file.
void WritePage(const std::string& path, int width, int height, int dpi = 300, int bits = 1,
               uint64_t seed = 1);
void WritePages(const std::string& path, const std::vector<int>& widths, int height, int dpi = 300);
// The size of a file's first page as the graphics library reads it.
QSize PageSize(const std::string& path, int page = 1);

// Polls until done holds, running the event loop (idle work included), for
// at most a generous bound.
bool WaitFor(const std::function<bool()>& done, int milliseconds = 10000);

// A window on private folders: settings cleared, the program folder is a
// folder of its own, every question answered by the script.
class WindowTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Creates and shows the window with those arguments.
  TFormMain& Start(const QStringList& arguments = {});
  // Starts the window and opens folder as the batch, as the first timer tick does.
  TFormMain& StartOn(const std::string& folder);
  // The window's first timer tick, without waiting for it.
  void Tick();
  // Shell opens the window asked for.
  const QStringList& Opened() const { return FOpened; }

  test::TempDir FBatch;
  test::TempDir FAppFolder;
  TScriptedPrompt FPrompt;
  std::unique_ptr<TFormMain> FForm;

private:
  QStringList FOpened;
};

// A page of a file as the graphics library reads it, as 32-bit RGB.
QImage PageImage(const std::string& path, int page = 1);
// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> Contents(const std::string& folder);
// Clicks thumbnail index of the window's strip.
TThumbnail* ClickThumbnail(TFormMain& form, int index);

} // namespace apptest
