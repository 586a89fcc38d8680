#include "ViewerTestSupport.h"

#include "graphics/GraphicTestSupport.h"
#include "graphics/TiffGraphic.h"

#include <QApplication>
#include <QTest>
#include <random>

namespace test {

std::unique_ptr<TImageScrollBox> ShownViewer(int width, int height) {
  EnsureApplication();
  auto viewer = std::make_unique<TImageScrollBox>();
  viewer->resize(width, height);
  viewer->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
  return viewer;
}

void FillPage(TDibGraphic& page, int width, int height, TImageFormat format, uint32_t seed) {
  if (format != ifBlackWhite) {
    RandomGraphic(page, width, height, format, seed);
    page.SetResolution(300, 300);
    return;
  }
  page.NewImage(width, height, 300, 300, nullptr, ifBlackWhite);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = page.ScanLine(y);
    // Bands of dense, medium and sparse ink.
    const unsigned density = (y / 5) % 3 == 0 ? 2 : (y / 5) % 3 == 1 ? 6 : 50;
    for (int x = 0; x < width; ++x)
      if (random() % density != 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
}

void WriteTiffPages(const std::string& path, int count, int width, int height,
                    TImageFormat format) {
  for (int i = 0; i < count; ++i) {
    TTiffGraphic page;
    FillPage(page, width + i, height + 2 * i, format, static_cast<uint32_t>(100 + i));
    if (i == 0)
      page.SaveToFile(path);
    else
      page.AppendToFile(path);
  }
}

} // namespace test
