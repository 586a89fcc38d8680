#pragma once

#include "app/BatchCommands.h"
#include "app/MainMenus.h"
#include "app/PageCommands.h"
#include "app/PageView.h"
#include "workflow/BatchFolder.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class TAddOnCommands;
class QMenu;
class QSplitter;
class QTabBar;
class QTimer;
class QToolBar;
class TImageScrollBox;
class TLogForm;
class TMainStatusBar;
class TOperatorPrompt;
class TPrintCommands;
class TProfileCommands;
class TScanCommands;
class TThumbnail;
class TThumbnailStrip;

// The main window. It owns the actions, the widgets and the collaborators
// that do the work (the batch folder commands, the page view), and wires one
// to the other; it keeps the state every command shares.
class TFormMain : public QMainWindow, private TBatchHost {
  Q_OBJECT

public:
  // The auto-scan message, posted to the window to start Scan To Batch once
  // start-up is done.
  static constexpr int kAutoScanMessage = 2023;

  // Every question to the operator goes through prompt; arguments are the
  // command line without the program's name, taken when the window is first
  // shown.
  TFormMain(TOperatorPrompt& prompt, QStringList arguments, QWidget* parent = nullptr);
  ~TFormMain() override;

  // Shared state.
  // FBatchFolder: the stored folder as read until a folder is first opened
  // (its existence is tested then), afterwards the open batch folder.
  QString BatchFolder() const;
  TBatchFolder& Batch() { return FBatch; }
  int ThumbSize() const;
  int ThumbSpace() const;
  int ThumbColumns() const;
  TThumbnail* SelectedThumb() const;
  const QString& AppFolder() const { return FAppFolder; }
  const std::vector<std::string>& ActiveProfile() const;

  // Parts, for the commands of later work and for tests.
  QAction* Action(const QString& name) const;
  const TActionMap& Actions() const { return FActions; }
  TThumbnailStrip& Strip() const { return *FStrip; }
  TImageScrollBox& Viewer() const { return *FViewer; }
  QTabBar& Tabs() const { return *FTabs; }
  TMainStatusBar& Status() const { return *FStatusBar; }
  TLogForm& LogForm() const { return *FLogForm; }
  QComboBox& ProfileCombo() const { return *FProfileCombo; }
  QMenu& StripPopup() const { return *FStripPopup; }
  QSplitter& Splitter() const { return *FSplitter; }
  TPageView& PageView() const { return *FPageView; }
  TBatchCommands& BatchCommands() const { return *FBatchCommands; }
  TPageCommands& PageCommands() const { return *FPageCommands; }
  TProfileCommands& ProfileCommands() const { return *FProfileCommands; }
  TScanCommands& ScanCommands() const { return *FScanCommands; }
  TAddOnCommands& AddOnCommands() const { return *FAddOnCommands; }
  TPrintCommands& PrintCommands() const { return *FPrintCommands; }
  QTimer& StartTimer() const { return *FTimer; }

  // ActionManager1Update: brings every command's enabled state and the log
  // check mark up to date; run whenever the program becomes idle.
  void ActionManager1Update();
  // Runs a command as the operator would: the states are brought up to
  // date first and a disabled command does nothing. Returns whether it ran.
  bool ExecuteAction(const QString& name);

  // The selection: none or one thumbnail, the viewer following it. The save
  // prompt comes first; its Cancel (EAbort) keeps everything as it was.
  void SelectThumbnail(TThumbnail* thumbnail) override;
  // The first tick of Timer1: the timer stops for good, the window is
  // maximised and FBatchFolder opened.
  void Timer1Timer();
  // ComboBoxScannerSettingsClick: the active profile of the chosen entry.
  void ComboBoxScannerSettingsClick(int index);

protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void BuildWidgets();
  void WireCommands();
  // Connects an action to its work through the command rule: states first,
  // nothing when disabled, errors to the standard error box.
  void OnExecute(const QString& name, std::function<void()> work);
  // Runs work, showing an error it raises in the standard error box; a
  // silent abort shows nothing.
  void RunGuarded(const std::function<void()>& work);
  void ProcessCommandLine();

  void AskSaveChanges() override;
  bool PageModified() const override;
  void DiscardPageChanges() override;

  TOperatorPrompt& FPrompt;
  QStringList FArguments;
  TBatchFolder FBatch;
  QString FStoredFolder;
  QString FAppFolder;
  TActionMap FActions;
  TThumbnailStrip* FStrip = nullptr;
  TImageScrollBox* FViewer = nullptr;
  QTabBar* FTabs = nullptr;
  TMainStatusBar* FStatusBar = nullptr;
  QComboBox* FProfileCombo = nullptr;
  QMenu* FStripPopup = nullptr;
  QSplitter* FSplitter = nullptr;
  class QLabel* FPanelBatchFolder = nullptr;
  QTimer* FTimer = nullptr;
  TPageView* FPageView = nullptr;
  TBatchCommands* FBatchCommands = nullptr;
  TPageCommands* FPageCommands = nullptr;
  TScanCommands* FScanCommands = nullptr;
  TProfileCommands* FProfileCommands = nullptr;
  TAddOnCommands* FAddOnCommands = nullptr;
  TPrintCommands* FPrintCommands = nullptr;
  TLogForm* FLogForm = nullptr; // a tool window over this one, deleted with it
  bool FShown = false;
};

// The folder of the executable with a trailing "/", or TESSIVANE_APP_FOLDER
// when that is set.
QString ApplicationFolder();
