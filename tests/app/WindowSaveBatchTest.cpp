// Save Batch As through the window's action: the save dialog, the strip's
// files into one TIFF or PDF file, the progress bar and the closing message.
#include "WindowFixture.h"

#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>

#include <filesystem>
#include <limits>

using namespace apptest;

namespace {

int PageCount(const std::string& path) {
  return TGraphicDocument(path).PageCount();
}

std::string Created(const std::string& path, int pages) {
  return "Created file " + path + " with " + std::to_string(pages) + " images.";
}

} // namespace

class WindowSaveBatch : public WindowTest {
protected:
  // A strip of a 3-page and a 1-page TIFF file.
  TFormMain& StartOnTwoFiles() {
    WritePages(FBatch.File("a.tif"), {300, 320, 340}, 400, 200);
    WritePage(FBatch.File("b.tif"), 1700, 2200, 200);
    return StartOn(FBatch.Path());
  }
  // Records the progress bar's positions and whether the hourglass showed.
  void WatchProgress(QProgressBar& bar) {
    QObject::connect(&bar, &QProgressBar::valueChanged, [this, &bar](int value) {
      FPositions.push_back(value);
      if (value == 0) return;
      FBusy = FBusy && QApplication::overrideCursor() != nullptr && bar.isVisible();
      FMaxima.push_back(bar.maximum());
    });
  }
  static bool Reset(const QProgressBar& bar) {
    return bar.isHidden() && bar.minimum() == 0 &&
           bar.maximum() == std::numeric_limits<int>::max() && bar.value() == 0 &&
           QApplication::overrideCursor() == nullptr;
  }

  std::vector<int> FPositions;
  std::vector<int> FMaxima;
  bool FBusy = true;
};

TEST_F(WindowSaveBatch, PdfInStripOrderWithTheMessage) {
  TFormMain& form = StartOnTwoFiles();
  QProgressBar& bar = *form.Status().ProgressBar();
  WatchProgress(bar);
  test::TempDir out;
  const std::string target = out.File("batch.pdf");
  FPrompt.AnswerSave(target);
  FPrompt.Answer(TAnswer::Ok);
  // Pending events are served once the dialog is gone, then not until the end.
  bool served = false, servedWhileSaving = false;
  QTimer::singleShot(0, &form, [&] {
    served = true;
    servedWhileSaving = bar.isVisible();
  });
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  EXPECT_TRUE(served);
  EXPECT_FALSE(servedWhileSaving);
  const TScriptedPrompt::TQuestion& dialog = FPrompt.Questions().front();
  EXPECT_EQ(dialog.Kind, TScriptedPrompt::TQuestionKind::SaveFile);
  EXPECT_EQ(dialog.File.Title, "Sava as TIF or PDF");
  EXPECT_EQ(dialog.File.Filter, "TIFF File|*.tif|PDF File|*.pdf");
  EXPECT_EQ(dialog.File.DefaultExt, ".tif");
  ASSERT_EQ(FPrompt.MessageTexts(), (std::vector<std::string>{Created(target, 4)}));
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Information);
  // The strip's children: the selection frame, then each thumbnail and its caption.
  EXPECT_EQ(FPositions, (std::vector<int>{1, 3, 0}));
  EXPECT_EQ(FMaxima, (std::vector<int>{4, 4}));
  EXPECT_TRUE(FBusy);
  EXPECT_TRUE(Reset(bar));
  EXPECT_EQ(test::Run({"qpdf", "--check", target}).status, 0);
  ASSERT_EQ(PageCount(target), 4);
  const test::RunResult boxes = test::Run({"pdfinfo", "-f", "1", "-l", "4", target});
  EXPECT_NE(boxes.out.find("Page    4 size:  612 x 792 pts"), std::string::npos) << boxes.out;
  EXPECT_NE(boxes.out.find("Page    1 size:  108 x 144 pts"), std::string::npos) << boxes.out;
}

TEST_F(WindowSaveBatch, UpperCaseTifAppendsToAnExistingTiff) {
  TFormMain& form = StartOnTwoFiles();
  test::TempDir out;
  const std::string target = out.File("BATCH.TIF");
  WritePages(target, {200, 210}, 300);
  FPrompt.AnswerSave(target);
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  EXPECT_EQ(FPrompt.MessageTexts(), (std::vector<std::string>{Created(target, 4)}));
  EXPECT_EQ(PageCount(target), 6);
  const test::RunResult info = test::Run({"tiffinfo", "-D", target});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_TRUE(Reset(*form.Status().ProgressBar()));
}

TEST_F(WindowSaveBatch, CancelAndARefusedNameWriteNothing) {
  TFormMain& form = StartOnTwoFiles();
  FPrompt.CancelDialog();
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  EXPECT_EQ(FPrompt.Questions().size(), 1u);
  test::TempDir out;
  const std::string target = out.File("batch.png");
  FPrompt.AnswerSave(target);
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  ASSERT_EQ(FPrompt.MessageTexts().size(), 1u);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_NE(FPrompt.MessageTexts()[0].find("batch.png"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_TRUE(Reset(*form.Status().ProgressBar()));
}

TEST_F(WindowSaveBatch, MixedFormatsAsPdfAndTiff) {
  WritePage(FBatch.File("a.tif"), 300, 400, 200);
  WritePage(FBatch.File("b.jpg"), 300, 400, 200, 24);
  WritePage(FBatch.File("c.bmp"), 300, 400, 200, 8);
  WritePages(FBatch.File("d.pdf"), {300, 320}, 400, 200);
  TFormMain& form = StartOn(FBatch.Path());
  ASSERT_EQ(form.Strip().Count(), 4);
  test::TempDir out;
  for (const std::string name : {"all.pdf", "all.tiff"}) {
    const std::string target = out.File(name);
    FPrompt.AnswerSave(target);
    FPrompt.Answer(TAnswer::Ok);
    ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
    EXPECT_EQ(FPrompt.MessageTexts().back(), Created(target, 5));
    EXPECT_EQ(PageCount(target), 5) << name;
    EXPECT_TRUE(Reset(*form.Status().ProgressBar()));
  }
  EXPECT_EQ(test::Run({"qpdf", "--check", out.File("all.pdf")}).status, 0);
  EXPECT_EQ(test::Run({"tiffinfo", "-D", out.File("all.tiff")}).status, 0);
}
