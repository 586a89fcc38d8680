#include "ViewerTestSupport.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/TiffGraphic.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(ViewerFiles, PagesOfAMultiPageTiffAndTheirCount) {
  test::TempDir dir;
  const std::string path = dir.File("three.tif");
  test::WriteTiffPages(path, 3, 120, 80, ifBlackWhite);
  auto viewer = test::ShownViewer(300, 300);
  int newGraphics = 0, redraws = 0;
  viewer->OnNewGraphic = [&](TDibGraphic&) { ++newGraphics; };
  viewer->OnRedraw = [&](TDibGraphic& graphic) {
    EXPECT_EQ(&graphic, &viewer->Graphic());
    ++redraws;
  };
  viewer->SetFileName(path);
  EXPECT_EQ(viewer->FileName(), path);
  EXPECT_EQ(viewer->Graphic().Width(), 120);
  EXPECT_EQ(viewer->PageCount(path), 3);
  viewer->LoadPage(path, 3);
  EXPECT_EQ(viewer->Graphic().Width(), 122);
  EXPECT_EQ(viewer->Graphic().Height(), 84);
  EXPECT_EQ(newGraphics, 2);
  EXPECT_EQ(redraws, 2);
  TTiffGraphic plain;
  plain.SetImageToLoad(3);
  plain.LoadFromFile(path);
  EXPECT_TRUE(test::SameGraphic(viewer->Graphic(), plain));

  // A page command rewrites the file: the next page comes from the new file.
  test::WriteTiffPages(path, 2, 50, 40, ifGray256);
  EXPECT_EQ(viewer->PageCount(path), 2);
  viewer->LoadPage(path, 2);
  EXPECT_EQ(viewer->Graphic().Width(), 51);

  viewer->SetFileName("");
  EXPECT_TRUE(viewer->Empty());
  EXPECT_EQ(viewer->FileName(), "");
  EXPECT_FALSE(viewer->ImageVisible());
}

TEST(ViewerFiles, UnregisteredFormatsGoThroughTheToolkitsReader) {
  test::TempDir dir;
  const std::string path = dir.File("picture.png");
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(qRgb(200, 10, 20));
  ASSERT_TRUE(image.save(QString::fromStdString(path)));
  auto viewer = test::ShownViewer(200, 200);
  std::vector<int> progress;
  viewer->OnReadWriteProgress = [&](TImageScrollBox*, int percent) { progress.push_back(percent); };
  EXPECT_EQ(viewer->PageCount(path), 1);
  viewer->SetFileName(path);
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 90, 100}));
  EXPECT_EQ(viewer->Graphic().ImageFormat(), ifTrueColor);
  EXPECT_EQ(viewer->Graphic().Pixel(5, 5), ColourOf(200, 10, 20));
}

TEST(ViewerFiles, AFailedReadLeavesAnEmptyPageAndRaises) {
  test::TempDir dir;
  const std::string good = dir.File("good.tif");
  test::WriteTiffPages(good, 1, 30, 30, ifBlackWhite);
  test::WriteFile(dir.File("bad.tif"), {'I', 'I', '*', 0, 9, 9, 9});
  auto viewer = test::ShownViewer(200, 200);
  viewer->SetFileName(good);
  EXPECT_EQ(test::ErrorOf([&] { viewer->SetFileName(dir.File("bad.tif")); }),
            "ETiffError TIFFOpen");
  EXPECT_TRUE(viewer->Empty());
  EXPECT_FALSE(viewer->ImageVisible());
  // The name is the one asked for, not the page shown before.
  EXPECT_EQ(viewer->FileName(), dir.File("bad.tif"));
  EXPECT_NE(test::ErrorOf([&] { viewer->SetFileName(dir.File("missing.jpg")); }), "(no error)");
  EXPECT_TRUE(viewer->Empty());
}

TEST(ViewerFiles, SavingGoesThroughTheClassOfTheTargetWithTheAnnotation) {
  test::TempDir dir;
  const std::string path = dir.File("noted.tif");
  {
    TTiffGraphic page;
    test::FillPage(page, 64, 32, ifBlackWhite, 3);
    page.SetTag(TTiffGraphic::kFirstApplicationTag, "first note");
    page.SaveToFile(path);
  }
  auto viewer = test::ShownViewer(200, 200);
  viewer->SetFileName(path);
  EXPECT_EQ(viewer->AnnotationText(), "first note");
  viewer->SetAnnotationText("second note");
  std::string savedClass;
  viewer->OnBeforeSave = [&](TImageScrollBox*, TDibGraphic& graphic) {
    savedClass = graphic.ClassName();
  };
  const std::string copy = dir.File("copy.tiff");
  viewer->SaveToFile(copy);
  EXPECT_EQ(savedClass, "TTiffGraphic");
  TTiffGraphic saved;
  saved.LoadFromFile(copy);
  EXPECT_EQ(saved.Annotation(), "second note");
  EXPECT_TRUE(test::SameLook(saved, viewer->Graphic()));
  viewer->SaveToFile(dir.File("copy.bmp"));
  EXPECT_EQ(savedClass, "TBitmapGraphic");
  EXPECT_EQ(test::ErrorOf([&] { viewer->SaveToFile(dir.File("copy.png")); }),
            "Graphic files of .png format are not supported or not registered");
  EXPECT_FALSE(test::FileExists(dir.File("copy.png")));
}

// Polls with a generous bound.
template <typename Condition> bool WaitFor(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(ViewerReadAhead, ThePageReadAheadIsShownWithoutReadingTheFileAgain) {
  test::TempDir dir;
  const std::string path = dir.File("next.tif");
  test::WriteTiffPages(path, 1, 90, 70, ifGray256);
  TTiffGraphic expected;
  expected.LoadFromFile(path);
  auto viewer = test::ShownViewer(200, 200);
  viewer->SetReadAheadFileName(path);
  ASSERT_TRUE(WaitFor([&] { return viewer->ReadAheadReady(); }));
  // Gone from the disk: only the page read ahead can show it now.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  viewer->SetFileName(dir.File("NEXT.TIF"));
  EXPECT_TRUE(test::SameGraphic(viewer->Graphic(), expected));
  EXPECT_EQ(viewer->ReadAheadFileName(), "");
  EXPECT_FALSE(viewer->ReadAheadReady());
}

TEST(ViewerReadAhead, ALaterRequestSupersedesAnEarlierOne) {
  test::TempDir dir;
  test::WriteTiffPages(dir.File("a.tif"), 1, 40, 40, ifBlackWhite);
  test::WriteTiffPages(dir.File("b.tif"), 1, 60, 40, ifBlackWhite);
  auto viewer = test::ShownViewer(200, 200);
  viewer->SetReadAheadFileName(dir.File("a.tif"));
  viewer->SetReadAheadFileName(dir.File("b.tif"));
  ASSERT_TRUE(WaitFor([&] { return viewer->ReadAheadReady(); }));
  ASSERT_EQ(std::remove(dir.File("a.tif").c_str()), 0);
  // Nothing of a.tif was kept: showing it reads the file, which is gone.
  EXPECT_NE(test::ErrorOf([&] { viewer->SetFileName(dir.File("a.tif")); }), "(no error)");
  ASSERT_EQ(std::remove(dir.File("b.tif").c_str()), 0);
  viewer->SetFileName(dir.File("b.tif"));
  EXPECT_EQ(viewer->Graphic().Width(), 60);
  // A file that cannot be read ahead gives nothing and raises nothing.
  viewer->SetReadAheadFileName(dir.File("missing.tif"));
  viewer.reset();
}

} // namespace

namespace {

TEST(ViewerFiles, PageZeroShowsEveryPageAsAFrameInTurn) {
  test::TempDir dir;
  const std::string path = dir.File("frames.tif");
  test::WriteTiffPages(path, 3, 30, 20, ifBlackWhite);
  auto viewer = test::ShownViewer(200, 200);
  viewer->LoadPage(path, 0);
  ASSERT_EQ(viewer->Graphic().FrameCount(), 3);
  EXPECT_EQ(viewer->Graphic().CurrentFrame(), 1);
  // The page keeps the room of its largest frame.
  EXPECT_EQ(viewer->DisplaySize(), QSize(30, 20));
  EXPECT_EQ(viewer->ImageRect(), QRect(0, 0, 32, 24));
  // The frames follow each other and wrap from the last to the first.
  for (int frame : {2, 3, 1})
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer->Graphic().CurrentFrame() == frame; }, 10000))
        << frame;
  EXPECT_EQ(viewer->Graphic().Width(), 30);
  // Loading another page stops the animation.
  viewer->LoadPage(path, 2);
  EXPECT_EQ(viewer->Graphic().FrameCount(), 0);
  EXPECT_EQ(viewer->Graphic().Width(), 31);
  EXPECT_EQ(viewer->ImageRect(), QRect(0, 0, 31, 22));
}

} // namespace
