#include "app/FormMain.h"

#include "app/ActionTable.h"
#include "app/AddOnCommands.h"
#include "app/AppIcons.h"
#include "app/AppSettings.h"
#include "app/AppTexts.h"
#include "app/ClipboardCopy.h"
#include "app/CommandEnabling.h"
#include "app/DialogoInformazioni.h"
#include "app/HelpKey.h"
#include "app/LogForm.h"
#include "app/PrintCommands.h"
#include "app/ProfileCommands.h"
#include "app/ScanCommands.h"
#include "app/StartupArguments.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "core/Exception.h"
#include "profiles/FileAssociation.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/BatchTexts.h"
#include "workflow/OperatorPrompt.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The strip's caption: a one-line panel that reports clicks.
class TCaptionPanel : public QLabel {
public:
  explicit TCaptionPanel(QWidget* parent, std::function<void()> clicked)
      : QLabel(parent), FClicked(std::move(clicked)) {}

protected:
  void mousePressEvent(QMouseEvent*) override { FClicked(); }

private:
  std::function<void()> FClicked;
};

QStringList ToQt(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) list << QString::fromStdString(item);
  return list;
}

} // namespace

QString ApplicationFolder() {
  QString folder = qEnvironmentVariable("TESSIVANE_APP_FOLDER");
  if (folder.isEmpty()) folder = QCoreApplication::applicationDirPath();
  folder = QDir::cleanPath(QDir(folder).absolutePath());
  return folder.endsWith('/') ? folder : folder + '/';
}

TFormMain::TFormMain(TOperatorPrompt& prompt, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), FPrompt(prompt), FArguments(std::move(arguments)) {
  setObjectName("FormMain");
  setWindowTitle(AppTexts::kMainCaption);
  setWindowIcon(AppIcon("tessivane"));
  setProperty(kHelpContextProperty, 1000);
  resize(800, 600);

  const TAppSettings settings = ReadAppSettings();
  FStoredFolder = settings.BatchFolder;
  FAppFolder = ApplicationFolder();
  FStrip = new TThumbnailStrip(settings.ThumbSize, settings.ThumbSpace);
  BuildWidgets();
  FPageView = new TPageView(*FViewer, *FTabs, *FStatusBar, *FStrip, FPrompt, this);
  FBatchCommands = new TBatchCommands(FBatch, *FStrip, *FPanelBatchFolder,
                                      *FStatusBar->ProgressBar(), FPrompt, *this, this);
  FLogForm = new TLogForm(this);
  FProfileCommands = new TProfileCommands(
      TProfileFolders(FAppFolder.toStdString(), TProfileFolders::DefaultUserFolder()),
      *FProfileCombo, FPrompt, [this] { return FScanCommands->SourceList(); }, this);
  FScanCommands =
      new TScanCommands({FBatch, *FStrip, *FViewer, *FPageView, *FLogForm, *FProfileCommands,
                         FPrompt, [this] { SelectThumbnail(nullptr); }},
                        this);
  FAddOnCommands = new TAddOnCommands(*this, FPrompt, this);
  FPrintCommands = new TPrintCommands(*FPageView, *FStatusBar->ProgressBar(), *this, this);
  new THelpKey(FPrompt, this); // a child of the window: F1 works while the window lives
  WireCommands();
  FProfileCommands->RefreshProfileCombo();
  RegisterProfileFileType(QCoreApplication::applicationFilePath().toStdString());
  setAcceptDrops(true);
  FTimer = new QTimer(this);
  FTimer->setObjectName("Timer1");
  FTimer->setInterval(500);
  FTimer->setSingleShot(true);
  connect(FTimer, &QTimer::timeout, this, &TFormMain::Timer1Timer);
  FTimer->start();
  FPageCommands = new TPageCommands(FBatch, *FStrip, *FPageView, *FStatusBar->ProgressBar(),
                                    FPrompt, *FLogForm, this);
  connect(FLogForm, &TLogForm::VisibilityChanged, this, [this] { ActionManager1Update(); });
  // The program becomes idle each time its event loop is about to wait.
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          &TFormMain::ActionManager1Update);
  ActionManager1Update();
}

TFormMain::~TFormMain() {
  FScanCommands->Shutdown();
  WriteBatchFolderSetting(BatchFolder());
}

const std::vector<std::string>& TFormMain::ActiveProfile() const {
  return FProfileCommands->ActiveProfile();
}

QString TFormMain::BatchFolder() const {
  return FBatchCommands->FolderOpenedOnce() ? QString::fromStdString(FBatch.Folder())
                                            : FStoredFolder;
}

int TFormMain::ThumbSize() const {
  return FStrip->ThumbSize();
}
int TFormMain::ThumbSpace() const {
  return FStrip->ThumbSpace();
}
int TFormMain::ThumbColumns() const {
  return FStrip->ThumbColumns();
}
TThumbnail* TFormMain::SelectedThumb() const {
  return FStrip->Selected();
}

QAction* TFormMain::Action(const QString& name) const {
  const auto found = FActions.find(name);
  return found == FActions.end() ? nullptr : found->second;
}

void TFormMain::BuildWidgets() {
  FActions = CreateActions(this);
  for (const auto& entry : FActions) addAction(entry.second);
  BuildMenuBar(*this, FActions);
  FProfileCombo = new QComboBox(this);
  FProfileCombo->setObjectName("ComboBoxScannerSettings");
  FProfileCombo->setEditable(false);
  FProfileCombo->setFixedWidth(170);
  BuildToolBar(*this, FActions, FProfileCombo);
  FStripPopup = BuildStripPopup(*this, FActions);

  FSplitter = new QSplitter(Qt::Horizontal, this);
  FSplitter->setObjectName("Splitter1");
  FSplitter->setChildrenCollapsible(false);
  auto* left = new QWidget(FSplitter);
  left->setObjectName("PanelLeft");
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(0);
  FPanelBatchFolder =
      new TCaptionPanel(left, [this] { RunGuarded([this] { FBatchCommands->CaptionClicked(); }); });
  FPanelBatchFolder->setObjectName("PanelBatchFolder");
  FPanelBatchFolder->setFixedHeight(17);
  FPanelBatchFolder->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FPanelBatchFolder->setCursor(Qt::PointingHandCursor);
  leftLayout->addWidget(FPanelBatchFolder);
  FStrip->setParent(left);
  leftLayout->addWidget(FStrip, 1);
  FStrip->Content()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FStrip->Content(), &QWidget::customContextMenuRequested, this,
          [this](QPoint at) { FStripPopup->popup(FStrip->Content()->mapToGlobal(at)); });

  auto* right = new QWidget(FSplitter);
  right->setObjectName("PanelRight");
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(0);
  FViewer = new TImageScrollBox(right);
  FViewer->setObjectName("ImageScrollBox");
  rightLayout->addWidget(FViewer, 1);
  FTabs = new QTabBar(right);
  FTabs->setObjectName("TabControlPages");
  FTabs->setShape(QTabBar::RoundedSouth);
  FTabs->setFixedHeight(21);
  FTabs->setExpanding(false);
  rightLayout->addWidget(FTabs);
  FSplitter->addWidget(left);
  FSplitter->addWidget(right);
  FSplitter->setStretchFactor(0, 1);
  FSplitter->setStretchFactor(1, 0);
  setCentralWidget(FSplitter);

  FStatusBar = new TMainStatusBar(this);
  setStatusBar(FStatusBar);
}

void TFormMain::RunGuarded(const std::function<void()>& work) {
  RunShowingErrors(FPrompt, work);
}

void TFormMain::OnExecute(const QString& name, std::function<void()> work) {
  QAction* action = FActions.at(name);
  connect(action, &QAction::triggered, this, [this, action, work = std::move(work)] {
    ActionManager1Update();
    if (!action->isEnabled()) return;
    RunGuarded(work);
  });
}

void TFormMain::WireCommands() {
  TBatchCommands& batch = *FBatchCommands;
  TPageView& page = *FPageView;
  OnExecute("ActionOpenBatchFolder", [&batch] { batch.OpenBatchFolderCommand(); });
  OnExecute("ActionImportImages", [&batch] { batch.ImportImages(); });
  OnExecute("ActionDelete", [&batch] { batch.DeleteSelected(); });
  OnExecute("ActionMoveUp", [&batch] { batch.MoveSelectedPrior(); });
  OnExecute("ActionMoveDown", [&batch] { batch.MoveSelectedNext(); });
  OnExecute("ActionView", [&batch] { batch.ViewSelected(); });
  OnExecute("ActionExit", [this] { close(); });
  TProfileCommands& profiles = *FProfileCommands;
  TScanCommands& scan = *FScanCommands;
  OnExecute("ActionScannerSettings", [&profiles] { profiles.ActionScannerSettingsExecute(); });
  OnExecute("ActionSelectScanner", [&scan] { scan.ActionSelectScannerExecute(); });
  OnExecute("ActionScanToBatch", [&scan] { scan.ActionScanToBatchExecute(); });
  OnExecute("ActionScanToFile", [&scan] { scan.ActionScanToFileExecute(); });
  OnExecute("ActionScanToScreen", [&scan] { scan.ActionScanToScreenExecute(); });
  OnExecute("ActionCustomProcessing", [this] { FAddOnCommands->CustomProcessing(); });
  OnExecute("ActionImageProcessing", [this] { FAddOnCommands->ImageProcessing(); });
  OnExecute("ActionPrinterSettings", [this] { FPrintCommands->PrinterSettings(); });
  OnExecute("ActionPrint", [this] { FPrintCommands->Print(); });
  OnExecute("ActionFitToWidth", [&page] { page.FitToWidth(); });
  OnExecute("ActionFitToHeight", [&page] { page.FitToHeight(); });
  OnExecute("ActionFitToPage", [&page] { page.FitToPage(); });
  OnExecute("ActionOriginalSize", [&page] { page.OriginalSize(); });
  OnExecute("ActionNoScale", [&page] { page.NoScale(); });
  OnExecute("ActionZoomIn", [&page] { page.ZoomIn(); });
  OnExecute("ActionZoomOut", [&page] { page.ZoomOut(); });
  // The page commands and Save Batch As; their collaborator is made after
  // the log window it writes to, before any command can run.
  for (const TPageCommandInfo& info : ::PageCommands())
    OnExecute(info.ActionName,
              [this, command = info.Command] { FPageCommands->RunPageCommand(command); });
  OnExecute("ActionSaveBatchAs", [this] { FPageCommands->SaveBatchAs(); });
  OnExecute("ActionGuida", [] { THelpKey::ShowContents(); });
  QAction* log = FActions.at("ActionLog");
  connect(log, &QAction::triggered, this, [this](bool checked) {
    RunGuarded([this, checked] { FLogForm->setVisible(checked); });
    ActionManager1Update();
  });
  OnExecute("ActionCopy",
            [this] { CopyPageToClipboard(FViewer->Graphic(), *QApplication::clipboard()); });
  OnExecute("ActionAbout", [this] {
    TDialogoInformazioni box(this);
    box.exec();
  });

  connect(FStrip, &TThumbnailStrip::ThumbnailPressed, this,
          [this](TThumbnail* thumbnail, Qt::MouseButton) {
            RunGuarded([this, thumbnail] { SelectThumbnail(thumbnail); });
          });
  connect(FStrip, &TThumbnailStrip::BackgroundClicked, this,
          [this] { RunGuarded([this] { SelectThumbnail(nullptr); }); });
  connect(FStrip, &TThumbnailStrip::ThumbnailDropped, this,
          [this](TThumbnail* dragged, TThumbnail* target) {
            RunGuarded(
                [this, dragged, target] { FBatchCommands->SwapThumbnails(dragged, target); });
          });
  connect(FTabs, &QTabBar::currentChanged, this,
          [this](int index) { RunGuarded([this, index] { FPageView->TabChanged(index); }); });
  connect(FProfileCombo, &QComboBox::activated, this, &TFormMain::ComboBoxScannerSettingsClick);
}

void TFormMain::SelectThumbnail(TThumbnail* thumbnail) {
  FPageView->AskSaveChanges();
  FPageView->SetModified(false);
  FStrip->SetSelected(thumbnail);
  if (thumbnail) {
    FPageView->ShowFile(thumbnail->Path());
    return;
  }
  FPageView->ShowNothing();
  FStatusBar->SetPanelText(
      0, QString(kImagesInBatchFormat).replace("%d", QString::number(FBatch.CountBatchFiles())));
}

void TFormMain::ActionManager1Update() {
  TEnablingState state;
  state.BatchFolderExists = FBatch.Exists();
  state.ThumbnailSelected = FStrip->Selected() != nullptr;
  state.ThumbnailCount = FStrip->Count();
  state.ImageShown = !FViewer->Empty();
  for (const auto& [name, action] : FActions) action->setEnabled(CommandEnabled(name, state));
  FActions.at("ActionLog")->setChecked(FLogForm && FLogForm->isVisible());
}

bool TFormMain::ExecuteAction(const QString& name) {
  QAction* action = Action(name);
  if (!action) return false;
  ActionManager1Update();
  if (!action->isEnabled()) return false;
  action->trigger();
  return true;
}

void TFormMain::ComboBoxScannerSettingsClick(int index) {
  RunGuarded([this, index] { FProfileCommands->ComboBoxScannerSettingsClick(index); });
  FStrip->setFocus();
}

void TFormMain::ProcessCommandLine() {
  for (const QString& argument : FArguments) {
    const TArgument taken = ClassifyArgument(argument, ToQt(FProfileCommands->Items()));
    switch (taken.Kind) {
    case TArgumentKind::BatchFolder:
      RunGuarded([this, &taken] { FBatchCommands->OpenBatchFolder(taken.Text); });
      break;
    case TArgumentKind::Profile:
      FProfileCombo->setCurrentIndex(taken.ProfileIndex);
      ComboBoxScannerSettingsClick(taken.ProfileIndex);
      break;
    case TArgumentKind::AutoScan:
      QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kAutoScanMessage)));
      break;
    case TArgumentKind::Ignored:
      break;
    }
  }
}

void TFormMain::Timer1Timer() {
  FTimer->stop();
  showMaximized();
  RunGuarded([this] { FBatchCommands->OpenBatchFolder(BatchFolder()); });
}

bool TFormMain::event(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kAutoScanMessage)) {
    ExecuteAction("ActionScanToBatch");
    return true;
  }
  return QMainWindow::event(event);
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  ProcessCommandLine();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  try {
    FPageView->AskSaveChanges();
  } catch (const EAbort&) {
    event->ignore();
    return;
  } catch (const Exception& error) {
    // The page could not be written: the window stays, and the change too.
    FPrompt.ShowError(error.Message());
    event->ignore();
    return;
  }
  FLogForm->hide();
  event->accept();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const int right = width() / 2;
  FSplitter->setSizes({FSplitter->width() - right - FSplitter->handleWidth(), right});
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  event->acceptProposedAction();
  RunGuarded([this, &paths] { FBatchCommands->DropFiles(paths); });
}

void TFormMain::AskSaveChanges() {
  FPageView->AskSaveChanges();
}
bool TFormMain::PageModified() const {
  return FPageView->Modified();
}
void TFormMain::DiscardPageChanges() {
  FPageView->SetModified(false);
}
