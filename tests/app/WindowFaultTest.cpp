// Writing that fails under the window's commands: the operator is told, the
// batch files stay as they were, nothing is left behind, and the progress bar
// and cursor are restored.
#include "WindowFixture.h"

#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QProgressBar>
#include <QTest>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sys/resource.h>

using namespace apptest;

namespace {

// Files larger than limit bytes cannot be written for the scope of one block,
// as on a nearly full disk: a write past it fails with EFBIG.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t limit) {
    FSignal = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &FSaved);
    rlimit lowered = FSaved;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &FSaved);
    std::signal(SIGXFSZ, FSignal);
  }

private:
  rlimit FSaved{};
  void (*FSignal)(int) = nullptr;
};

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> Contents(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    files[entry.path().filename().string()] = test::ReadFile(entry.path().string());
  return files;
}

bool Reset(const QProgressBar& bar) {
  return bar.isHidden() && bar.minimum() == 0 && bar.maximum() == std::numeric_limits<int>::max() &&
         bar.value() == 0 && QApplication::overrideCursor() == nullptr;
}

} // namespace

class WindowFault : public WindowTest {};

TEST_F(WindowFault, FailedRewriteKeepsTheFileThePageAndTheSelection) {
  WritePage(FBatch.File("a.tif"), 2480, 3508);
  WritePage(FBatch.File("b.tif"), 400, 500);
  TFormMain& form = StartOn(FBatch.Path());
  TThumbnail* first = form.Strip().Thumbnails()[0];
  QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  const auto before = Contents(FBatch.Path());
  {
    // A disk that takes a few kilobytes only.
    TFileSizeLimit full(4096);
    FPrompt.Answer(TAnswer::Yes);
    FPrompt.Answer(TAnswer::Ok); // the error box
    QTest::mouseClick(form.Strip().Thumbnails()[1], Qt::LeftButton, {}, QPoint(5, 5));
  }
  ASSERT_EQ(FPrompt.Questions().size(), 2u);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_EQ(FPrompt.MessageTexts().back(), "Stream write error");
  EXPECT_EQ(Contents(FBatch.Path()), before);
  EXPECT_EQ(form.SelectedThumb(), first);
  EXPECT_TRUE(form.PageView().Modified());
  EXPECT_EQ(form.Viewer().Graphic().Width(), 3508);
  // With room again, Yes stores it.
  FPrompt.Answer(TAnswer::Yes);
  form.Strip().BackgroundClicked();
  EXPECT_EQ(PageSize(FBatch.File("a.tif")), QSize(3508, 2480));
  EXPECT_EQ(Contents(FBatch.Path()).size(), 2u);
}

TEST_F(WindowFault, SaveBatchAsOnAFullDisk) {
  WritePage(FBatch.File("a.tif"), 2480, 3508, 300, 1, 1);
  WritePage(FBatch.File("b.tif"), 2480, 3508, 300, 1, 2);
  TFormMain& form = StartOn(FBatch.Path());
  const auto before = Contents(FBatch.Path());
  test::TempDir out;
  for (const std::string name : {"batch.pdf", "batch.tif"}) {
    FPrompt.AnswerSave(out.File(name));
    FPrompt.Answer(TAnswer::Ok);
    {
      TFileSizeLimit full(4096);
      ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
    }
    EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error) << name;
    EXPECT_EQ(FPrompt.MessageTexts().back().find("Created file"), std::string::npos) << name;
    EXPECT_TRUE(Reset(*form.Status().ProgressBar())) << name;
  }
  EXPECT_EQ(Contents(FBatch.Path()), before);
  // A folder that does not exist cannot take the output either.
  FPrompt.AnswerSave(out.File("missing/batch.pdf"));
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_TRUE(Reset(*form.Status().ProgressBar()));
}
