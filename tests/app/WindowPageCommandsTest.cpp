// The page commands through the window's actions: the save prompt's answers,
// a write back on a full disk, the confirmed loop over every batch file, and
// Save Batch As with its dialog, progress bar and closing box.
#include "WindowFixture.h"

#include "app/AppTexts.h"
#include "app/LogForm.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"

#include <QApplication>
#include <QProgressBar>
#include <QTabBar>
#include <QTimer>

#include <csignal>
#include <fstream>
#include <sys/resource.h>

using namespace apptest;

namespace {

// Files may not grow past 4096 bytes while it lives, as on a nearly full
// disk: with SIGXFSZ ignored, a write past it fails with EFBIG.
class TFullDisk {
public:
  TFullDisk() {
    ::getrlimit(RLIMIT_FSIZE, &FSaved);
    const rlimit full{4096, FSaved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
  }
  ~TFullDisk() {
    ::setrlimit(RLIMIT_FSIZE, &FSaved);
    std::signal(SIGXFSZ, FSignal);
  }
  TFullDisk(const TFullDisk&) = delete;
  TFullDisk& operator=(const TFullDisk&) = delete;

private:
  void (*FSignal)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit FSaved{};
};

using WindowPageCommands = WindowTest;

} // namespace

TEST_F(WindowPageCommands, TheSavePromptStoresKeepsOrDropsTheChange) {
  const std::string a = FBatch.File("a.tif"), b = FBatch.File("b.tif");
  WritePage(a, 2480, 3508);
  WritePage(b, 400, 500);
  const std::vector<uint8_t> before = test::ReadFile(a);
  const QImage original = PageImage(a);
  TFormMain& form = StartOn(FBatch.Path());
  TThumbnail* first = ClickThumbnail(form, 0);
  const QImage oldPicture = first->Picture();
  // Two quarter turns, the second on the result of the first, in memory only.
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  // Yes on a full disk: the error box; the file, the change and the selection stay.
  {
    const TFullDisk full;
    FPrompt.Answer(TAnswer::Yes);
    FPrompt.Answer(TAnswer::Ok);
    ClickThumbnail(form, 1);
  }
  EXPECT_EQ(FPrompt.MessageTexts(),
            (std::vector<std::string>{AppTexts::kAskSaveChanges, "Stream write error"}));
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_EQ(test::ReadFile(a), before);
  EXPECT_EQ(form.SelectedThumb(), first);
  EXPECT_TRUE(form.PageView().Modified());
  // With room again, Yes stores the page turned twice and redraws its thumbnail.
  FPrompt.Answer(TAnswer::Yes);
  TThumbnail* second = ClickThumbnail(form, 1);
  EXPECT_EQ(form.SelectedThumb(), second);
  EXPECT_EQ(PageImage(a),
            original.transformed(QTransform().rotate(180)).convertToFormat(QImage::Format_RGB32));
  EXPECT_NE(first->Picture(), oldPicture);
  // Cancel keeps the selection and the change; No drops the change.
  const std::vector<uint8_t> kept = test::ReadFile(b);
  ASSERT_TRUE(form.ExecuteAction("ActionFlipHorizontal"));
  FPrompt.Answer(TAnswer::Cancel);
  ClickThumbnail(form, 0);
  EXPECT_EQ(form.SelectedThumb(), second);
  EXPECT_TRUE(form.PageView().Modified());
  FPrompt.Answer(TAnswer::No);
  form.Strip().BackgroundClicked();
  EXPECT_EQ(form.SelectedThumb(), nullptr);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(test::ReadFile(b), kept);
}

// Page 2 of a three-page TIFF turned, then tab 3 chosen and Yes: the turned
// page is stored as page 2, not as the page of the tab just chosen; the
// file stays sound and pages 1 and 3 as they were.
TEST_F(WindowPageCommands, AChangedTabIsStoredAsItsOwnPage) {
  const std::string file = FBatch.File("three.tif");
  WritePages(file, {300, 320, 340}, 400);
  const QImage first = PageImage(file, 1), third = PageImage(file, 3);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.Tabs().setCurrentIndex(1);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  FPrompt.Answer(TAnswer::Yes);
  form.Tabs().setCurrentIndex(2);
  EXPECT_EQ(test::Run({"tiffinfo", "-D", file}).status, 0);
  EXPECT_EQ(TGraphicDocument(file).PageCount(), 3);
  EXPECT_EQ(PageImage(file, 2).size(), QSize(400, 320));
  EXPECT_EQ(std::pair(PageImage(file, 1), PageImage(file, 3)), std::pair(first, third));
}

// Despeckle over a batch with a grey file leaves that file alone and logs
// nothing for it; a negative then rewrites every readable file.
TEST_F(WindowPageCommands, TheBatchLoopAsksThenRewritesEveryFileAndLogsAnUnreadableOne) {
  const std::string a = FBatch.File("a.tif"), b = FBatch.File("b.tif"), d = FBatch.File("d.tif");
  WritePage(a, 400, 500);
  std::ofstream(b) << "this is not a TIFF file";
  WritePage(FBatch.File("c.tif"), 400, 500, 300, 1, 3);
  WritePage(d, 400, 500, 300, 8, 4);
  const std::vector<uint8_t> grey = test::ReadFile(d);
  TFormMain& form = StartOn(FBatch.Path());
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionDespeckle"));
  EXPECT_EQ(test::ReadFile(d), grey);
  ASSERT_EQ(form.LogForm().Lines().size(), 1);
  EXPECT_TRUE(form.LogForm().Lines()[0].startsWith(QString("Error processing ") + b.c_str()));
  form.LogForm().Clear();
  const std::vector<uint8_t> before = test::ReadFile(a);
  std::vector<QImage> pictures;
  for (const TThumbnail* thumbnail : form.Strip().Thumbnails())
    pictures.push_back(thumbnail->Picture());
  FPrompt.Answer(TAnswer::No);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_EQ(test::ReadFile(a), before);
  // Yes: each file in turn, the window served between files with the bar and the hourglass.
  QProgressBar& bar = *form.Status().ProgressBar();
  const QObject watch; // ends the timer with the test
  bool served = false;
  QTimer::singleShot(0, &watch,
                     [&] { served = bar.isVisible() && QApplication::overrideCursor(); });
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_EQ(FPrompt.MessageTexts().back(), AppTexts::kAskProcessAllImages);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Confirmation);
  EXPECT_TRUE(served);
  EXPECT_TRUE(bar.isHidden() && bar.value() == 0 && !QApplication::overrideCursor());
  for (size_t t = 0; t < pictures.size(); ++t)
    EXPECT_NE(form.Strip().Thumbnails()[t]->Picture(), pictures[t]) << t;
  const QString error = QString("Error processing ") + b.c_str() + " - ";
  const QStringList log = form.LogForm().Lines();
  ASSERT_EQ(log.size(), 1);
  EXPECT_TRUE(log[0].startsWith(error) && log[0].size() > error.size()); // then the reason
}

TEST_F(WindowPageCommands, SaveBatchAsShowsTheDialogThenTheInformationOrTheErrorBox) {
  WritePages(FBatch.File("a.tif"), {300, 320, 340}, 400, 200);
  WritePage(FBatch.File("b.tif"), 400, 500, 200);
  TFormMain& form = StartOn(FBatch.Path());
  QProgressBar& bar = *form.Status().ProgressBar();
  const struct {
    const char* Target;
    const char* Message; // %T: the target
  } cases[] = {
      {"batch.pdf", "Created file %T with 4 images."},
      {"batch.png", "Cannot save the batch as %T: the name must end in .tif, .tiff or .pdf"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.Target);
    test::TempDir out;
    const std::string target = out.File(row.Target);
    FPrompt.AnswerSave(target);
    FPrompt.Answer(TAnswer::Ok);
    const size_t asked = FPrompt.Questions().size();
    ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
    ASSERT_EQ(FPrompt.Questions().size(), asked + 2);
    std::string message = row.Message;
    EXPECT_EQ(FPrompt.MessageTexts().back(), message.replace(message.find("%T"), 2, target));
    const bool made = message.starts_with("Created");
    EXPECT_EQ(FPrompt.Questions().back().Icon,
              made ? TMessageKind::Information : TMessageKind::Error);
    EXPECT_TRUE(bar.isHidden() && bar.value() == 0 && !QApplication::overrideCursor());
    EXPECT_EQ(Contents(out.Path()).size(), made ? 1u : 0u);
  }
  // The dialog; cancelled, nothing more is asked.
  FPrompt.CancelDialog();
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  ASSERT_EQ(FPrompt.Questions().size(), 5u);
  const TFileDialogOptions& dialog = FPrompt.Questions().back().File;
  EXPECT_EQ(dialog.Title, "Sava as TIF or PDF");
  EXPECT_EQ(dialog.Filter, "TIFF File|*.tif|PDF File|*.pdf");
  EXPECT_EQ(dialog.DefaultExt, ".tif");
}
