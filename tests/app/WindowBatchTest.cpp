// The batch folder commands of the main window: membership, import, drop,
// delete, moving pages and the caption.
#include "WindowFixture.h"

#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "viewer/ImageScrollBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>

using namespace apptest;
namespace fs = std::filesystem;

namespace {

QStringList Paths(const TThumbnailStrip& strip) {
  QStringList paths;
  for (const TThumbnail* thumbnail : strip.Thumbnails()) paths << thumbnail->Path();
  return paths;
}

QStringList Captions(const TThumbnailStrip& strip) {
  QStringList captions;
  for (const TThumbnail* thumbnail : strip.Thumbnails())
    captions << thumbnail->CaptionLabel()->text();
  return captions;
}

void Press(TThumbnail* thumbnail) {
  QTest::mousePress(thumbnail, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseRelease(thumbnail, Qt::LeftButton, {}, QPoint(10, 10));
}

// Drops data on a widget the way a drag from elsewhere ends.
bool Drop(QWidget* target, QMimeData& data) {
  QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(5, 5), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

} // namespace

class WindowBatch : public WindowTest {
protected:
  QString Q(const std::string& name) const { return QString::fromStdString(FBatch.File(name)); }
};

TEST_F(WindowBatch, TheBatchIsTheReadableImagesOfTheFolderInNameOrder) {
  WritePage(FBatch.File("b.TIF"), 100, 140);
  WritePage(FBatch.File("a.jpg"), 100, 140, 300, 24);
  std::ofstream(FBatch.File("c.txt")) << "text";
  WritePage(FBatch.File("d.tiff"), 100, 140);
  WritePage(FBatch.File(".e.tif"), 100, 140);
  fs::create_directory(FBatch.File("f.tif"));
  TFormMain& form = StartOn(FBatch.Path());
  EXPECT_EQ(Paths(form.Strip()), (QStringList{Q("a.jpg"), Q("b.TIF"), Q("d.tiff")}));
  EXPECT_EQ(Captions(form.Strip()), (QStringList{"File 1", "File 2", "File 3"}));
  EXPECT_EQ(form.Status().PanelText(0), "3 images in the batch");
  EXPECT_EQ(form.Status().PanelText(1), "No Image Selected");
  EXPECT_FALSE(form.Status().ProgressBar()->isVisible());
  EXPECT_EQ(form.Status().ProgressBar()->maximum(), 2147483647);
  EXPECT_EQ(form.Strip().Thumbnails()[0]->toolTip(), Q("a.jpg"));
  // Every thumbnail holds its reduced page only, fitted to the cell.
  for (const TThumbnail* thumbnail : form.Strip().Thumbnails()) {
    EXPECT_EQ(thumbnail->size(), QSize(120, 120));
    EXPECT_EQ(thumbnail->Picture().height(), 120);
    EXPECT_LE(thumbnail->Picture().width(), 120);
  }
}

TEST_F(WindowBatch, AnUnreadableFileGetsNoThumbnailButUsesItsCellUntilTheNextLayout) {
  WritePage(FBatch.File("1.tif"), 100, 140);
  std::ofstream(FBatch.File("2.tif")) << "not a TIFF file";
  WritePage(FBatch.File("3.tif"), 100, 140);
  TFormMain& form = StartOn(FBatch.Path());
  ASSERT_EQ(form.Strip().Count(), 2);
  EXPECT_TRUE(FPrompt.Questions().empty());
  EXPECT_EQ(form.Status().PanelText(0), "3 images in the batch");
  const QPoint second = form.Strip().Thumbnails()[1]->pos();
  EXPECT_EQ(second, QPoint(6 + 2 * 126, 6));
  form.Strip().RelayoutThumbnails();
  EXPECT_EQ(form.Strip().Thumbnails()[1]->pos(), QPoint(132, 6));
  EXPECT_EQ(Captions(form.Strip()), (QStringList{"File 1", "File 2"}));
}

TEST_F(WindowBatch, ImportNumbersAroundExistingFiles) {
  WritePage(FBatch.File("00000000.tif"), 100, 140);
  WritePage(FBatch.File("00000002.tif"), 100, 140);
  test::TempDir sources;
  WritePage(sources.File("x.tif"), 90, 140);
  WritePage(sources.File("y.tif"), 80, 140);
  TFormMain& form = StartOn(FBatch.Path());
  FPrompt.AnswerFiles({sources.File("x.tif"), sources.File("y.tif")});
  EXPECT_TRUE(form.ExecuteAction("ActionImportImages"));
  ASSERT_EQ(FPrompt.Questions().size(), 1u);
  const auto& dialog = FPrompt.Questions()[0].File;
  EXPECT_EQ(dialog.Title, "Import Files");
  EXPECT_EQ(dialog.Filter, "TIFF Files|*.TIF");
  EXPECT_TRUE(dialog.MultiSelect);
  EXPECT_TRUE(dialog.MustExist);
  EXPECT_EQ(PageSize(FBatch.File("00000001.tif")).width(), 90);
  EXPECT_EQ(PageSize(FBatch.File("00000003.tif")).width(), 80);
  // New files join the end of the strip, whatever their place in the batch.
  EXPECT_EQ(Paths(form.Strip()), (QStringList{Q("00000000.tif"), Q("00000002.tif"),
                                              Q("00000001.tif"), Q("00000003.tif")}));
  EXPECT_EQ(Captions(form.Strip()), (QStringList{"File 1", "File 2", "File 3", "File 4"}));
  EXPECT_FALSE(form.Status().ProgressBar()->isVisible());
  // Cancel in the dialog ends the command.
  FPrompt.CancelDialog();
  form.ExecuteAction("ActionImportImages");
  EXPECT_EQ(form.Strip().Count(), 4);
}

TEST_F(WindowBatch, MovePriorAndNextExchangePagesAndTheSelectionFollows) {
  for (int i = 0; i < 3; ++i)
    WritePage(FBatch.File("0000000" + std::to_string(i) + ".tif"), 60 + 10 * i, 140);
  TFormMain& form = StartOn(FBatch.Path());
  ASSERT_EQ(form.Strip().Count(), 3);
  const std::vector<TThumbnail*> thumbs = form.Strip().Thumbnails();
  const QImage first = thumbs[0]->Picture(), second = thumbs[1]->Picture();
  ASSERT_NE(first, second);
  // At the ends nothing happens.
  Press(thumbs[0]);
  form.ExecuteAction("ActionMoveUp");
  Press(thumbs[2]);
  form.ExecuteAction("ActionMoveDown");
  EXPECT_EQ(PageSize(FBatch.File("00000000.tif")).width(), 60);
  EXPECT_EQ(PageSize(FBatch.File("00000002.tif")).width(), 80);
  // In the middle: Move Next on the first page.
  Press(thumbs[0]);
  EXPECT_EQ(form.SelectedThumb(), thumbs[0]);
  EXPECT_TRUE(form.ExecuteAction("ActionMoveDown"));
  EXPECT_EQ(PageSize(FBatch.File("00000000.tif")).width(), 70);
  EXPECT_EQ(PageSize(FBatch.File("00000001.tif")).width(), 60);
  EXPECT_EQ(thumbs[0]->Picture(), second);
  EXPECT_EQ(thumbs[1]->Picture(), first);
  EXPECT_EQ(form.SelectedThumb(), thumbs[1]);
  EXPECT_EQ(form.Viewer().Graphic().Width(), 60);
  // And back with Move Prior.
  EXPECT_TRUE(form.ExecuteAction("ActionMoveUp"));
  EXPECT_EQ(PageSize(FBatch.File("00000000.tif")).width(), 60);
  EXPECT_EQ(thumbs[0]->Picture(), first);
  EXPECT_EQ(form.SelectedThumb(), thumbs[0]);
  EXPECT_FALSE(fs::exists(FBatch.File("00000000.bak")));
}

TEST_F(WindowBatch, DraggingOneThumbnailOntoAnother) {
  WritePage(FBatch.File("a.tif"), 60, 140);
  WritePage(FBatch.File("b.jpg"), 70, 140, 300, 24);
  WritePage(FBatch.File("c.tif"), 80, 140);
  TFormMain& form = StartOn(FBatch.Path());
  const std::vector<TThumbnail*> thumbs = form.Strip().Thumbnails();
  ASSERT_EQ(thumbs.size(), 3u);
  const QImage a = thumbs[0]->Picture(), b = thumbs[1]->Picture();
  // Anything but a thumbnail of this strip is refused.
  QMimeData other;
  other.setText("a.tif");
  EXPECT_FALSE(Drop(thumbs[1], other));
  QMimeData self;
  self.setData(TThumbnail::kMimeType, Q("b.jpg").toUtf8());
  EXPECT_FALSE(Drop(thumbs[1], self));
  // a.tif dragged onto b.jpg: a.jpg holds b's page, b.tif a's page.
  QMimeData dragged;
  dragged.setData(TThumbnail::kMimeType, Q("a.tif").toUtf8());
  EXPECT_TRUE(Drop(thumbs[1], dragged));
  EXPECT_FALSE(fs::exists(FBatch.File("a.tif")));
  EXPECT_FALSE(fs::exists(FBatch.File("b.jpg")));
  EXPECT_EQ(PageSize(FBatch.File("a.jpg")).width(), 70);
  EXPECT_EQ(PageSize(FBatch.File("b.tif")).width(), 60);
  // Both thumbnails name files that exist and show their pages.
  EXPECT_EQ(Paths(form.Strip()), (QStringList{Q("a.jpg"), Q("b.tif"), Q("c.tif")}));
  EXPECT_EQ(thumbs[0]->Picture(), b);
  EXPECT_EQ(thumbs[1]->Picture(), a);
  EXPECT_EQ(form.SelectedThumb(), thumbs[1]);
  EXPECT_EQ(form.Status().PanelText(0), Q("b.tif"));
}

TEST_F(WindowBatch, AFailedSwapLosesNoPageAndTheStripStaysTrue) {
  WritePage(FBatch.File("a.tif"), 60, 140);
  WritePage(FBatch.File("b.tif"), 70, 140);
  WritePage(FBatch.File("c.jpg"), 80, 140, 300, 24);
  std::ofstream(FBatch.File("a.bak")) << "keep me";
  TFormMain& form = StartOn(FBatch.Path());
  const std::vector<TThumbnail*> thumbs = form.Strip().Thumbnails();
  ASSERT_EQ(thumbs.size(), 3u);
  Press(thumbs[0]);
  form.ExecuteAction("ActionMoveDown");
  // A ".bak" already there is not overwritten; the pages change places.
  EXPECT_EQ(PageSize(FBatch.File("a.tif")).width(), 70);
  EXPECT_EQ(PageSize(FBatch.File("b.tif")).width(), 60);
  EXPECT_EQ(test::ReadFile(FBatch.File("a.bak")).size(), 7u);
  // b.tif cannot take c.jpg's page: a folder holds the name it would get.
  fs::create_directory(FBatch.File("b.jpg"));
  EXPECT_EQ(form.SelectedThumb(), thumbs[1]);
  FPrompt.Answer(TAnswer::Ok);
  form.ExecuteAction("ActionMoveDown");
  ASSERT_EQ(FPrompt.MessageTexts().size(), 1u);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_EQ(PageSize(FBatch.File("b.tif")).width(), 60);
  EXPECT_EQ(PageSize(FBatch.File("c.jpg")).width(), 80);
  EXPECT_EQ(Paths(form.Strip()), (QStringList{Q("a.tif"), Q("b.tif"), Q("c.jpg")}));
  EXPECT_EQ(form.SelectedThumb(), thumbs[1]);
}

TEST_F(WindowBatch, DroppingFilesWithAndWithoutABatchFolder) {
  test::TempDir sources;
  WritePage(sources.File("page.tif"), 90, 140);
  WritePage(sources.File("photo.jpg"), 80, 140, 300, 24);
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(sources.File("page.tif"))),
                 QUrl::fromLocalFile(QString::fromStdString(sources.File("photo.jpg")))});
  TFormMain& none = Start();
  Tick();
  FPrompt.Answer(TAnswer::Ok);
  EXPECT_TRUE(Drop(&none, files));
  EXPECT_EQ(FPrompt.MessageTexts(),
            std::vector<std::string>{"Please select a batch folder before to drop files !"});
  EXPECT_EQ(FPrompt.Questions()[0].Icon, TMessageKind::Error);
  FForm.reset();

  WritePage(FBatch.File("00000000.tif"), 100, 140);
  TFormMain& form = StartOn(FBatch.Path());
  EXPECT_TRUE(Drop(&form, files));
  EXPECT_EQ(PageSize(FBatch.File("00000001.tif")).width(), 90);
  // A JPEG page keeps an extension it can be read by.
  EXPECT_EQ(PageSize(FBatch.File("00000002.jpg")).width(), 80);
  EXPECT_EQ(Paths(form.Strip()),
            (QStringList{Q("00000000.tif"), Q("00000001.tif"), Q("00000002.jpg")}));
  EXPECT_TRUE(fs::exists(sources.File("page.tif"))); // copied, not moved
}

TEST_F(WindowBatch, DeleteAsksAndPutsTheFileInTheTrash) {
  WritePage(FBatch.File("00000000.tif"), 100, 140);
  WritePage(FBatch.File("00000001.tif"), 90, 140);
  TFormMain& form = StartOn(FBatch.Path());
  Press(form.Strip().Thumbnails()[0]);
  FPrompt.Answer(TAnswer::No);
  form.ExecuteAction("ActionDelete");
  EXPECT_TRUE(fs::exists(FBatch.File("00000000.tif")));
  EXPECT_EQ(form.Strip().Count(), 2);
  FPrompt.Answer(TAnswer::Yes);
  form.ExecuteAction("ActionDelete");
  EXPECT_EQ(FPrompt.MessageTexts(),
            (std::vector<std::string>{"Delete selected file ?", "Delete selected file ?"}));
  EXPECT_EQ(FPrompt.Questions()[0].Icon, TMessageKind::Confirmation);
  EXPECT_FALSE(fs::exists(FBatch.File("00000000.tif")));
  EXPECT_TRUE(fs::exists(DataHome() + "/Trash/files/00000000.tif"));
  ASSERT_EQ(form.Strip().Count(), 1);
  EXPECT_EQ(form.SelectedThumb(), nullptr);
  EXPECT_TRUE(form.Viewer().Empty());
  // The remaining thumbnail moves into the first cell as File 1.
  EXPECT_EQ(form.Strip().Thumbnails()[0]->pos(), QPoint(6, 6));
  EXPECT_EQ(Captions(form.Strip()), QStringList{"File 1"});
  EXPECT_EQ(form.Status().PanelText(0), "1 images in the batch");
}

TEST_F(WindowBatch, ViewTheCaptionAndOpeningAFolder) {
  WritePage(FBatch.File("00000000.tif"), 100, 140);
  TFormMain& form = StartOn(FBatch.Path());
  Press(form.Strip().Thumbnails()[0]);
  form.ExecuteAction("ActionView");
  QLabel* caption = form.findChild<QLabel*>("PanelBatchFolder");
  QTest::mouseClick(caption, Qt::LeftButton);
  EXPECT_EQ(Opened(),
            (QStringList{Q("00000000.tif"), QString::fromStdString(FBatch.Path()) + "/"}));
  // Another folder from the folder dialog, which starts at the batch folder.
  test::TempDir other;
  WritePage(other.File("x.tif"), 100, 140);
  FPrompt.AnswerFolder(other.Path());
  form.ExecuteAction("ActionOpenBatchFolder");
  EXPECT_EQ(FPrompt.Questions().back().Folder.InitialDir, FBatch.Path() + "/");
  EXPECT_TRUE(FPrompt.Questions().back().Folder.AllowCreate);
  EXPECT_EQ(form.BatchFolder(), QString::fromStdString(other.Path()) + "/");
  EXPECT_EQ(form.Strip().Count(), 1);
  EXPECT_EQ(form.SelectedThumb(), nullptr);
  // Once the folder is gone, a click on the caption asks for another.
  fs::remove_all(other.Path());
  FPrompt.CancelDialog();
  QTest::mouseClick(caption, Qt::LeftButton);
  EXPECT_EQ(FPrompt.Questions().back().Kind, TScriptedPrompt::TQuestionKind::SelectFolder);
  EXPECT_EQ(Opened().size(), 2);
}

TEST_F(WindowBatch, CancelInTheSavePromptKeepsTheSelectionAndTheFolder) {
  WritePage(FBatch.File("00000000.tif"), 100, 140);
  WritePage(FBatch.File("00000001.tif"), 90, 140);
  TFormMain& form = StartOn(FBatch.Path());
  Press(form.Strip().Thumbnails()[0]);
  form.PageView().SetModified(true);
  FPrompt.Answer(TAnswer::Cancel);
  Press(form.Strip().Thumbnails()[1]);
  EXPECT_EQ(form.SelectedThumb(), form.Strip().Thumbnails()[0]);
  EXPECT_TRUE(form.PageView().Modified());
  FPrompt.Answer(TAnswer::Cancel);
  EXPECT_THROW(form.BatchCommands().OpenBatchFolder(QString::fromStdString(FBatch.Path())), EAbort);
  EXPECT_EQ(form.SelectedThumb(), form.Strip().Thumbnails()[0]);
  // No discards the change and the selection moves on.
  FPrompt.Answer(TAnswer::No);
  Press(form.Strip().Thumbnails()[1]);
  EXPECT_EQ(form.SelectedThumb(), form.Strip().Thumbnails()[1]);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(FPrompt.MessageTexts().size(), 3u);
}
