// Save Batch As through the window's action: the save dialog, the strip's
// files into one TIFF or PDF file, the progress bar and the closing message;
// a refused name, a missing folder or a full disk write nothing and say so.
#include "WindowFixture.h"

#include "app/StatusPanels.h"

#include <QProgressBar>

#include <optional>

using namespace apptest;

namespace {

enum class TOutcome { Pdf, Tiff, Refused, Cancelled };

struct TSaveCase {
  const char* Target;        // nullptr: the dialog is cancelled
  std::vector<int> Existing; // widths of the pages the target holds already
  bool FullDisk;
  TOutcome Outcome;
};

using WindowSaveBatch = WindowTest;

} // namespace

TEST_F(WindowSaveBatch, StripIntoOneFileOrNothingWritten) {
  // A 3-page and a 1-page file: the strip's order, 4 pages.
  WritePages(FBatch.File("a.tif"), {300, 320, 340}, 400, 200);
  WritePage(FBatch.File("b.tif"), 1700, 2200, 200);
  const auto batch = Contents(FBatch.Path());
  TFormMain& form = StartOn(FBatch.Path());
  QProgressBar& bar = *form.Status().ProgressBar();
  const TSaveCase cases[] = {
      {"batch.pdf", {}, false, TOutcome::Pdf},
      {"BATCH.TIF", {200, 210}, false, TOutcome::Tiff},
      {"batch.tiff", {}, false, TOutcome::Tiff},
      {"batch.png", {}, false, TOutcome::Refused},
      {"missing/batch.pdf", {}, false, TOutcome::Refused},
      {"full.pdf", {}, true, TOutcome::Refused},
      {"full.tif", {200, 210}, true, TOutcome::Refused},
      {nullptr, {}, false, TOutcome::Cancelled},
  };
  for (const TSaveCase& row : cases) {
    SCOPED_TRACE(row.Target ? row.Target : "cancelled");
    test::TempDir out;
    const std::string target = row.Target ? out.File(row.Target) : "";
    if (!row.Existing.empty()) WritePages(target, row.Existing, 300);
    const auto outBefore = Contents(out.Path());
    if (row.Target) {
      FPrompt.AnswerSave(target);
      FPrompt.Answer(TAnswer::Ok);
    } else {
      FPrompt.CancelDialog();
    }
    const size_t asked = FPrompt.Questions().size();
    const TProgressWatch watch(bar);
    {
      std::optional<TFileSizeLimit> full;
      if (row.FullDisk) full.emplace(4096);
      ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
    }
    const TScriptedPrompt::TQuestion& dialog = FPrompt.Questions().at(asked);
    EXPECT_EQ(dialog.Kind, TScriptedPrompt::TQuestionKind::SaveFile);
    EXPECT_EQ(dialog.File.Title, "Sava as TIF or PDF");
    EXPECT_EQ(dialog.File.Filter, "TIFF File|*.tif|PDF File|*.pdf");
    EXPECT_EQ(dialog.File.DefaultExt, ".tif");
    EXPECT_TRUE(ProgressReset(bar));
    EXPECT_EQ(Contents(FBatch.Path()), batch);
    switch (row.Outcome) {
    case TOutcome::Pdf:
    case TOutcome::Tiff: {
      ASSERT_EQ(FPrompt.Questions().size(), asked + 2);
      EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Information);
      EXPECT_EQ(FPrompt.MessageTexts().back(), "Created file " + target + " with 4 images.");
      // The strip's children: the selection frame, then each thumbnail and its caption.
      EXPECT_EQ(watch.Positions, (std::vector<int>{1, 3, 0}));
      EXPECT_EQ(watch.Maxima, (std::vector<int>{4, 4}));
      EXPECT_TRUE(watch.Busy);
      const int pages = static_cast<int>(row.Existing.size()) + 4;
      ASSERT_EQ(PageCount(target), pages);
      EXPECT_EQ(PageSize(target, pages - 3), QSize(300, 400));
      EXPECT_EQ(PageSize(target, pages), QSize(1700, 2200));
      const test::RunResult check = row.Outcome == TOutcome::Pdf
                                        ? test::Run({"qpdf", "--check", target})
                                        : test::Run({"tiffinfo", "-D", target});
      EXPECT_EQ(check.status, 0) << check.out << check.err;
      break;
    }
    case TOutcome::Refused:
      ASSERT_EQ(FPrompt.Questions().size(), asked + 2);
      EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
      EXPECT_EQ(FPrompt.MessageTexts().back().find("Created file"), std::string::npos);
      EXPECT_EQ(Contents(out.Path()), outBefore);
      break;
    case TOutcome::Cancelled:
      EXPECT_EQ(FPrompt.Questions().size(), asked + 1);
      break;
    }
  }
}
