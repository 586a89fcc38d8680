// The page commands through the window's actions: a change to the page shown
// kept in memory until the save prompt's Yes, the target and page it is
// written to, and the batch loop when no page is shown.
#include "WindowFixture.h"

#include "app/AppTexts.h"
#include "app/LogForm.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"
#include "graphics/TiffGraphic.h"
#include "raster/PageGenerator.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <limits>

using namespace apptest;

namespace {

QImage PageImage(const std::string& path, int page = 1) {
  TGraphicDocument document(path);
  return document.LoadPage(page)->ToQImage().convertToFormat(QImage::Format_RGB32);
}

QImage Rotated(const QImage& image, int degrees) {
  return image.transformed(QTransform().rotate(degrees)).convertToFormat(QImage::Format_RGB32);
}

QImage Inverted(QImage image) {
  image.invertPixels();
  return image;
}

void WriteGarbage(const std::string& path) {
  std::ofstream(path) << "this is not a TIFF file";
}

// The compression tiffinfo reports for each page of a file.
std::vector<std::string> TiffCompressions(const std::string& path) {
  const test::RunResult info = test::Run({"tiffinfo", path});
  std::vector<std::string> schemes;
  size_t at = 0;
  while ((at = info.out.find("Compression Scheme: ", at)) != std::string::npos) {
    at += 20;
    schemes.push_back(info.out.substr(at, info.out.find('\n', at) - at));
  }
  return schemes;
}

bool ProgressReset(const QProgressBar& bar) {
  return bar.isHidden() && bar.minimum() == 0 && bar.maximum() == std::numeric_limits<int>::max() &&
         bar.value() == 0;
}

} // namespace

class WindowPageCommands : public WindowTest {
protected:
  TThumbnail* Select(int index) {
    TThumbnail* thumbnail = FForm->Strip().Thumbnails().at(static_cast<size_t>(index));
    QTest::mouseClick(thumbnail, Qt::LeftButton, {}, QPoint(5, 5));
    return thumbnail;
  }
  void ClickBackground() { FForm->Strip().BackgroundClicked(); }
};

TEST_F(WindowPageCommands, Rotate90IsKeptInMemoryUntilYes) {
  const std::string file = FBatch.File("00000000.tif");
  WritePage(file, 2480, 3508);
  WritePage(FBatch.File("00000001.tif"), 1000, 1400);
  const std::vector<uint8_t> before = test::ReadFile(file);
  const QImage original = PageImage(file);
  TFormMain& form = StartOn(FBatch.Path());
  Select(0);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  EXPECT_EQ(form.Viewer().Graphic().Width(), 3508);
  EXPECT_EQ(form.Viewer().Graphic().Height(), 2480);
  EXPECT_TRUE(form.PageView().Modified());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(form.Status().PanelText(1).contains("Size: 3508x2480"));
  EXPECT_EQ(test::ReadFile(file), before);
  FPrompt.Answer(TAnswer::Yes);
  ClickBackground();
  EXPECT_EQ(FPrompt.MessageTexts().back(), AppTexts::kAskSaveChanges);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(PageSize(file), QSize(3508, 2480));
  EXPECT_EQ(PageImage(file), Rotated(original, 90));
}

TEST_F(WindowPageCommands, TwoQuarterTurnsStoredOnSelectingAnotherThumbnail) {
  const std::string file = FBatch.File("00000000.tif");
  WritePage(file, 600, 900);
  WritePage(FBatch.File("00000001.tif"), 600, 900, 300, 1, 2);
  const QImage original = PageImage(file);
  TFormMain& form = StartOn(FBatch.Path());
  TThumbnail* first = Select(0);
  const QImage oldPicture = first->Picture();
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  FPrompt.Answer(TAnswer::Yes);
  TThumbnail* second = Select(1);
  EXPECT_EQ(form.SelectedThumb(), second);
  EXPECT_EQ(PageImage(file), Rotated(original, 180));
  TGraphicDocument stored(file);
  EXPECT_EQ(first->Picture(),
            TThumbnailStrip::ThumbnailPictureOf(*stored.LoadPage(1), form.ThumbSize()));
  EXPECT_NE(first->Picture(), oldPicture);
}

TEST_F(WindowPageCommands, CancelKeepsTheSelectionAndTheChange) {
  const std::string file = FBatch.File("00000000.tif");
  WritePage(file, 600, 900);
  WritePage(FBatch.File("00000001.tif"), 600, 900);
  const std::vector<uint8_t> before = test::ReadFile(file);
  TFormMain& form = StartOn(FBatch.Path());
  TThumbnail* first = Select(0);
  ASSERT_TRUE(form.ExecuteAction("ActionFlipHorizontal"));
  FPrompt.Answer(TAnswer::Cancel);
  Select(1);
  EXPECT_EQ(form.SelectedThumb(), first);
  EXPECT_TRUE(form.PageView().Modified());
  EXPECT_EQ(test::ReadFile(file), before);
  // No drops the change and writes nothing.
  FPrompt.Answer(TAnswer::No);
  ClickBackground();
  EXPECT_EQ(form.SelectedThumb(), nullptr);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(test::ReadFile(file), before);
}

TEST_F(WindowPageCommands, NegativeOverTheBatchRewritesEveryFile) {
  std::vector<std::string> files;
  std::vector<QImage> originals;
  for (int i = 0; i < 3; ++i) {
    files.push_back(FBatch.File("0000000" + std::to_string(i) + ".tif"));
    WritePage(files.back(), 400, 500, 300, 1, static_cast<uint64_t>(i + 1));
    originals.push_back(PageImage(files.back()));
  }
  TFormMain& form = StartOn(FBatch.Path());
  std::vector<QImage> pictures;
  for (const TThumbnail* thumbnail : form.Strip().Thumbnails())
    pictures.push_back(thumbnail->Picture());
  // No: nothing happens.
  FPrompt.Answer(TAnswer::No);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_EQ(PageImage(files[0]), originals[0]);
  // Yes: each file in turn, with the hourglass and the bar showing the file's index.
  std::vector<int> positions;
  bool busy = true;
  QProgressBar& bar = *form.Status().ProgressBar();
  QObject::connect(&bar, &QProgressBar::valueChanged, [&](int value) {
    positions.push_back(value);
    if (value > 0) busy = busy && QApplication::overrideCursor() != nullptr && bar.isVisible();
  });
  // The window is served between files.
  bool servedDuringLoop = false;
  QTimer::singleShot(0, &form, [&] { servedDuringLoop = bar.isVisible(); });
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_TRUE(servedDuringLoop);
  EXPECT_EQ(FPrompt.MessageTexts().back(), AppTexts::kAskProcessAllImages);
  EXPECT_EQ(FPrompt.Questions().back().Buttons, TButtons::YesNo);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Confirmation);
  EXPECT_EQ(positions, (std::vector<int>{1, 2, 0}));
  EXPECT_TRUE(busy);
  EXPECT_TRUE(ProgressReset(bar));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(PageImage(files[i]), Inverted(originals[i])) << files[i];
    EXPECT_NE(form.Strip().Thumbnails()[i]->Picture(), pictures[i]) << files[i];
  }
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_TRUE(form.Viewer().Empty());
  EXPECT_TRUE(form.LogForm().Lines().isEmpty());
}

TEST_F(WindowPageCommands, BatchLoopSkipsAGreyPageAndLogsAnUnreadableFile) {
  const std::string bilevel = FBatch.File("a.tif");
  const std::string grey = FBatch.File("b.tif");
  const std::string broken = FBatch.File("c.tif");
  const std::string last = FBatch.File("d.tif");
  WritePage(bilevel, 400, 500);
  WritePage(grey, 400, 500, 300, 8);
  WriteGarbage(broken);
  WritePage(last, 400, 500, 300, 1, 3);
  const std::vector<uint8_t> greyBefore = test::ReadFile(grey);
  TFormMain& form = StartOn(FBatch.Path());
  ASSERT_EQ(form.Strip().Count(), 3);
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionDespeckle"));
  EXPECT_EQ(test::ReadFile(grey), greyBefore);
  const QStringList lines = form.LogForm().Lines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith(QString("Error processing ") + broken.c_str() + " - "))
      << lines[0].toStdString();
  EXPECT_GT(lines[0].size(), QString("Error processing  - ").size() + int(broken.size()));
  // The loop goes on past the broken file: a negative changes the last one.
  const QImage lastBefore = PageImage(last);
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_EQ(PageImage(last), Inverted(lastBefore));
  EXPECT_EQ(form.LogForm().Lines().size(), 2);
  EXPECT_TRUE(ProgressReset(*form.Status().ProgressBar()));
}

TEST_F(WindowPageCommands, DespeckleOfAGreyPageShownIsNoChange) {
  WritePage(FBatch.File("a.tif"), 400, 500, 300, 8);
  WritePage(FBatch.File("b.tif"), 400, 500);
  TFormMain& form = StartOn(FBatch.Path());
  Select(0);
  ASSERT_TRUE(form.ExecuteAction("ActionDespeckle"));
  EXPECT_FALSE(form.PageView().Modified());
  Select(1); // no save prompt: the script has no answer and none is asked
  EXPECT_TRUE(FPrompt.MessageTexts().empty());
  ASSERT_TRUE(form.ExecuteAction("ActionDespeckle"));
  EXPECT_TRUE(form.PageView().Modified());
  FPrompt.Answer(TAnswer::No);
  ClickBackground();
}

TEST_F(WindowPageCommands, MiddlePageOfAThreePageTiffKeepsTheOthersCompression) {
  const std::string file = FBatch.File("a.tif");
  const TTiffCompression kinds[] = {tcLZW, tcGroup4, tcPackbits};
  for (int i = 0; i < 3; ++i) {
    TPageSpec layout;
    layout.Width = 500 + 100 * i;
    layout.Height = 700;
    layout.Seed = static_cast<uint64_t>(i + 1);
    TDIB dib;
    GeneratePage(dib, layout);
    TTiffGraphic page;
    page.ImportPageHandle(dib.Handle());
    page.SetCompression(kinds[i]);
    if (i == 0)
      page.SaveToFile(file);
    else
      page.AppendToFile(file);
  }
  WritePage(FBatch.File("b.tif"), 400, 500);
  const QImage first = PageImage(file, 1), middle = PageImage(file, 2), third = PageImage(file, 3);
  ASSERT_EQ(TiffCompressions(file), (std::vector<std::string>{"LZW", "CCITT Group 4", "PackBits"}));
  TFormMain& form = StartOn(FBatch.Path());
  Select(0);
  form.Tabs().setCurrentIndex(1);
  ASSERT_EQ(form.Viewer().Graphic().Width(), 600);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate270"));
  // Choosing tab 3 offers to save page 2 first.
  FPrompt.Answer(TAnswer::Yes);
  form.Tabs().setCurrentIndex(2);
  EXPECT_EQ(form.Viewer().Graphic().Width(), 700);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(TiffCompressions(file), (std::vector<std::string>{"LZW", "CCITT Group 4", "PackBits"}));
  EXPECT_EQ(PageImage(file, 1), first);
  EXPECT_EQ(PageImage(file, 2), Rotated(middle, 270));
  EXPECT_EQ(PageImage(file, 3), third);
}

TEST_F(WindowPageCommands, ScannedPageIsStoredAsTheLastPageOfTheScanFile) {
  const std::string file = FBatch.File("scan.tif");
  WritePages(file, {500, 600}, 700);
  const QImage first = PageImage(file, 1), second = PageImage(file, 2);
  TFormMain& form = Start();
  // A page just scanned: shown without a file name and without tabs.
  TGraphicDocument document(file);
  const std::unique_ptr<TDibGraphic> shown = document.LoadPage(2);
  form.Viewer().Graphic().Assign(*shown);
  form.Viewer().Redraw();
  form.PageView().SetScanFileName(QString::fromStdString(file));
  ASSERT_EQ(form.Tabs().count(), 0);
  ASSERT_TRUE(form.ExecuteAction("ActionFlipVertical"));
  FPrompt.Answer(TAnswer::Yes);
  form.PageView().AskSaveChanges();
  EXPECT_EQ(PageImage(file, 1), first);
  EXPECT_EQ(PageImage(file, 2), second.mirrored(false, true));
}

TEST_F(WindowPageCommands, PageWithoutAFileGoesWhereTheSaveDialogSays) {
  TFormMain& form = Start();
  TDIB dib;
  TPageSpec layout;
  layout.Width = 300;
  layout.Height = 400;
  GeneratePage(dib, layout);
  form.Viewer().Graphic().ImportPageHandle(dib.Handle());
  form.Viewer().Redraw();
  ASSERT_TRUE(form.ExecuteAction("ActionRotate180"));
  // Cancel in the dialog is a silent abort: the page stays changed.
  FPrompt.Answer(TAnswer::Yes);
  FPrompt.CancelDialog();
  EXPECT_THROW(form.PageView().AskSaveChanges(), EAbort);
  EXPECT_TRUE(form.PageView().Modified());
  const std::string target = FBatch.File("new.tif");
  FPrompt.Answer(TAnswer::Yes);
  FPrompt.AnswerSave(target);
  form.PageView().AskSaveChanges();
  const TScriptedPrompt::TQuestion& dialog = FPrompt.Questions().back();
  EXPECT_EQ(dialog.File.Title, "Sava as TIF or PDF");
  EXPECT_EQ(dialog.File.Filter, "TIFF File|*.tif|PDF File|*.pdf");
  EXPECT_EQ(dialog.File.DefaultExt, ".tif");
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(PageSize(target), QSize(300, 400));
  EXPECT_EQ(form.Viewer().FileName(), target);
}
