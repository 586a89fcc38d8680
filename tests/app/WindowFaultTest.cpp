// A page written back onto a nearly full disk: the operator is told, the
// batch files stay as they were, nothing is left behind, and the page, its
// change and the selection are kept for another try.
#include "WindowFixture.h"

#include "app/ThumbnailStrip.h"
#include "viewer/ImageScrollBox.h"

using namespace apptest;

namespace {

using WindowFault = WindowTest;

} // namespace

TEST_F(WindowFault, FailedRewriteKeepsTheFileThePageAndTheSelection) {
  WritePage(FBatch.File("a.tif"), 2480, 3508);
  WritePage(FBatch.File("b.tif"), 400, 500);
  TFormMain& form = StartOn(FBatch.Path());
  TThumbnail* first = ClickThumbnail(form, 0);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  const auto before = Contents(FBatch.Path());
  {
    const TFileSizeLimit full(4096);
    FPrompt.Answer(TAnswer::Yes);
    FPrompt.Answer(TAnswer::Ok); // the error box
    ClickThumbnail(form, 1);
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
  EXPECT_EQ(FolderFiles(FBatch.Path()), (std::vector<std::string>{"a.tif", "b.tif"}));
}
