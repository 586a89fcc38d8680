// The page commands through the window's actions: a change to the page shown
// kept in memory until the save prompt's Yes and written back as the page it
// was shown as, and the batch loop over every file when no page is shown.
#include "ProfileTestSupport.h"

#include "app/AppTexts.h"
#include "app/LogForm.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"
#include "graphics/TiffGraphic.h"
#include "raster/PageGenerator.h"
#include "support/WritePointFaults.h"
#include "viewer/ImageScrollBox.h"

#include <QProgressBar>
#include <QTabBar>
#include <QTimer>

#include <cerrno>
#include <fstream>

using namespace apptest;

namespace {

QImage Rotated(const QImage& image, int degrees) {
  return image.transformed(QTransform().rotate(degrees)).convertToFormat(QImage::Format_RGB32);
}

QImage Inverted(QImage image) {
  image.invertPixels();
  return image;
}

// The compression tiffinfo reports for each page of a file.
std::vector<std::string> TiffCompressions(const std::string& path) {
  const std::string info = test::Run({"tiffinfo", path}).out;
  std::vector<std::string> schemes;
  for (size_t at = 0; (at = info.find("Compression Scheme: ", at)) != std::string::npos;) {
    at += 20;
    schemes.push_back(info.substr(at, info.find('\n', at) - at));
  }
  return schemes;
}

using WindowPageCommands = WindowTest;

} // namespace

TEST_F(WindowPageCommands, AChangedPageIsKeptUntilYesAndCancelKeepsTheSelection) {
  const std::string a = FBatch.File("a.tif"), b = FBatch.File("b.tif");
  WritePage(a, 2480, 3508);
  WritePage(b, 600, 900, 300, 8);
  const std::vector<uint8_t> before = test::ReadFile(a);
  const QImage original = PageImage(a);
  TFormMain& form = StartOn(FBatch.Path());
  TThumbnail* first = ClickThumbnail(form, 0);
  const QImage oldPicture = first->Picture();
  // Two quarter turns, the second on the result of the first, in memory only.
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  EXPECT_TRUE(form.Status().PanelText(1).contains("Size: 3508x2480"));
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  EXPECT_TRUE(form.PageView().Modified());
  EXPECT_EQ(test::ReadFile(a), before);
  // Yes on a full disk: the error box; the file, the change and the selection stay.
  {
    const test::TWritePointFault full(1, ENOSPC);
    FPrompt.Answer(TAnswer::Yes);
    FPrompt.Answer(TAnswer::Ok);
    ClickThumbnail(form, 1);
  }
  EXPECT_EQ(FPrompt.MessageTexts(), (std::vector<std::string>{AppTexts::kAskSaveChanges,
                                                              "Cannot create file \"" + a +
                                                                  "\". No space left on device"}));
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Error);
  EXPECT_EQ(test::ReadFile(a), before);
  EXPECT_EQ(form.SelectedThumb(), first);
  EXPECT_TRUE(form.PageView().Modified());
  // Selecting another thumbnail asks; Yes stores the page and redraws its thumbnail.
  FPrompt.Answer(TAnswer::Yes);
  TThumbnail* grey = ClickThumbnail(form, 1);
  EXPECT_EQ(FPrompt.MessageTexts().back(), AppTexts::kAskSaveChanges);
  EXPECT_EQ(form.SelectedThumb(), grey);
  EXPECT_EQ(PageImage(a), Rotated(original, 180));
  EXPECT_EQ(first->Picture(), TThumbnailStrip::ThumbnailPictureOf(*TGraphicDocument(a).LoadPage(1),
                                                                  form.ThumbSize()));
  EXPECT_NE(first->Picture(), oldPicture);
  // A despeckle of a grey page changes nothing, so the next selection asks nothing.
  ASSERT_TRUE(form.ExecuteAction("ActionDespeckle"));
  EXPECT_FALSE(form.PageView().Modified());
  ClickThumbnail(form, 0);
  // Cancel keeps the selection and the change; No drops the change.
  const std::vector<uint8_t> stored = test::ReadFile(a);
  ASSERT_TRUE(form.ExecuteAction("ActionFlipHorizontal"));
  FPrompt.Answer(TAnswer::Cancel);
  ClickThumbnail(form, 1);
  EXPECT_EQ(form.SelectedThumb(), first);
  EXPECT_TRUE(form.PageView().Modified());
  FPrompt.Answer(TAnswer::No);
  form.Strip().BackgroundClicked();
  EXPECT_EQ(form.SelectedThumb(), nullptr);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(test::ReadFile(a), stored);
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
    i == 0 ? page.SaveToFile(file) : page.AppendToFile(file);
  }
  WritePage(FBatch.File("b.tif"), 400, 500);
  const std::vector<std::string> schemes = {"LZW", "CCITT Group 4", "PackBits"};
  ASSERT_EQ(TiffCompressions(file), schemes);
  const QImage first = PageImage(file, 1), middle = PageImage(file, 2), third = PageImage(file, 3);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.Tabs().setCurrentIndex(1);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate270"));
  // Choosing tab 3 offers to save page 2 first.
  FPrompt.Answer(TAnswer::Yes);
  form.Tabs().setCurrentIndex(2);
  EXPECT_EQ(form.Viewer().Graphic().Width(), 700);
  EXPECT_EQ(TiffCompressions(file), schemes);
  EXPECT_EQ(PageImage(file, 1), first);
  EXPECT_EQ(PageImage(file, 2), Rotated(middle, 270));
  EXPECT_EQ(PageImage(file, 3), third);
}

TEST_F(WindowPageCommands, BatchLoopOverEveryFileLogsAnUnreadableOneAndGoesOn) {
  const std::vector<std::string> files = {FBatch.File("a.tif"), FBatch.File("b.tif"),
                                          FBatch.File("c.tif"), FBatch.File("d.tif"),
                                          FBatch.File("e.tif")};
  WritePage(files[0], 400, 500);
  WritePage(files[1], 400, 500, 300, 8);
  std::ofstream(files[2]) << "this is not a TIFF file";
  WritePage(files[3], 400, 500, 300, 1, 3);
  WritePage(files[4], 400, 500, 300, 1, 4);
  const std::vector<uint8_t> grey = test::ReadFile(files[1]);
  TFormMain& form = StartOn(FBatch.Path());
  const TReadOnlyFolder program(FAppFolder.Path()); // nothing may be written there on the way
  ASSERT_TRUE(program.Made());
  // Despeckle leaves the grey page alone; the unreadable file is logged.
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionDespeckle"));
  EXPECT_EQ(test::ReadFile(files[1]), grey);
  const QString error = QString("Error processing ") + files[2].c_str() + " - ";
  ASSERT_EQ(form.LogForm().Lines().size(), 1);
  EXPECT_TRUE(form.LogForm().Lines()[0].startsWith(error));
  EXPECT_GT(form.LogForm().Lines()[0].size(), error.size()); // the reader's message
  const std::vector<size_t> bilevel = {0, 3, 4};
  std::vector<QImage> before, pictures;
  for (size_t i : bilevel) before.push_back(PageImage(files[i]));
  for (const TThumbnail* thumbnail : form.Strip().Thumbnails())
    pictures.push_back(thumbnail->Picture());
  // Negative: No does nothing; Yes rewrites each file in turn, serving the window between files.
  FPrompt.Answer(TAnswer::No);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_EQ(PageImage(files[0]), before[0]);
  QProgressBar& bar = *form.Status().ProgressBar();
  const TProgressWatch watch(bar);
  bool served = false;
  QTimer::singleShot(0, &form, [&] { served = bar.isVisible(); });
  FPrompt.Answer(TAnswer::Yes);
  ASSERT_TRUE(form.ExecuteAction("ActionInvert"));
  EXPECT_EQ(FPrompt.MessageTexts().back(), AppTexts::kAskProcessAllImages);
  EXPECT_EQ(FPrompt.Questions().back().Buttons, TButtons::YesNo);
  EXPECT_EQ(FPrompt.Questions().back().Icon, TMessageKind::Confirmation);
  EXPECT_TRUE(served);
  EXPECT_EQ(watch.Positions, (std::vector<int>{1, 2, 3, 4, 0}));
  EXPECT_TRUE(watch.Busy);
  EXPECT_TRUE(ProgressReset(bar));
  for (size_t k = 0; k < bilevel.size(); ++k)
    EXPECT_EQ(PageImage(files[bilevel[k]]), Inverted(before[k])) << files[bilevel[k]];
  for (size_t t = 0; t < pictures.size(); ++t)
    EXPECT_NE(form.Strip().Thumbnails()[t]->Picture(), pictures[t]) << t;
  EXPECT_EQ(form.LogForm().Lines().size(), 2);
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_TRUE(form.Viewer().Empty());
}

TEST_F(WindowPageCommands, SaveBatchAsShowsTheDialogThenTheInformationOrTheErrorBox) {
  WritePages(FBatch.File("a.tif"), {300, 320, 340}, 400, 200);
  WritePage(FBatch.File("b.tif"), 400, 500, 200);
  TFormMain& form = StartOn(FBatch.Path());
  const TReadOnlyFolder program(FAppFolder.Path()); // nothing may be written there on the way
  ASSERT_TRUE(program.Made());
  const TProgressWatch watch(*form.Status().ProgressBar());
  test::TempDir out;
  for (const auto& [name, message, icon] :
       {std::tuple{"batch.pdf", "Created file %1 with 4 images.", TMessageKind::Information},
        std::tuple{"batch.png",
                   "Cannot save the batch as %1: the name must end in .tif, .tiff or .pdf",
                   TMessageKind::Error}}) {
    FPrompt.AnswerSave(out.File(name));
    FPrompt.Answer(TAnswer::Ok);
    ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
    EXPECT_EQ(FPrompt.MessageTexts().back(),
              QString(message).arg(out.File(name).c_str()).toStdString());
    EXPECT_EQ(FPrompt.Questions().back().Icon, icon);
    EXPECT_TRUE(ProgressReset(*form.Status().ProgressBar()));
  }
  // PDF only: each file's place among the strip's children, of their count less one, then 0.
  EXPECT_EQ(watch.Positions, (std::vector<int>{1, 3, 0}));
  EXPECT_EQ(watch.Maxima, (std::vector<int>{4, 4}));
  EXPECT_TRUE(watch.Busy);
  EXPECT_EQ(test::FolderEntries(out.Path()), std::set<std::string>{"batch.pdf"});
  // Cancelled, the dialog asks nothing more.
  FPrompt.CancelDialog();
  ASSERT_TRUE(form.ExecuteAction("ActionSaveBatchAs"));
  EXPECT_EQ(FPrompt.Questions().size(), 5u);
}
