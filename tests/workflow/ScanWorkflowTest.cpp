#include "support/OpenSourceFixture.h"

#include "graphics/GraphicDocument.h"
#include "sources/virtual/VirtualPage.h"

#include "workflow/LogSink.h"
#include "workflow/PageSaver.h"
#include "workflow/PageTestSupport.h"
#include "workflow/ProfileNegotiation.h"
#include "workflow/ScriptedPrompt.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace test {
namespace {

using ::testing::AllOf, ::testing::Contains, ::testing::EndsWith, ::testing::StartsWith;

// Each profile line as the source receives it; "?" asks, and a cancelled
// question sends the source's current value.
TEST_F(OpenSourceTest, SettingLinesReachTheSourceOrTheLog) {
  const struct {
    std::vector<std::string> Lines;
    uint16_t Capability; // whose last set is checked
    std::string Sent;    // after "con=5 " (one value)
    std::string LogLine;
  } cases[] = {
      {{"", "1,I,-1"}, 1, "type=1 items=-1", ""},
      // The current pixel type (TWPT_RGB 2) goes back, not the line's 0.
      {{"", "257,I,2", "257,X,0"},
       257,
       "type=4 items=2",
       "Tipo di parametro non valido X per PixelType"},
      {{"", "abc,I,1", "1,I,2"}, 1, "type=1 items=2", "\"abc\" is not a valid integer"},
      {{"", "4376,F,?"}, 4376, "type=7 items=300:0", ""}, // cancelled
      {{"", "4376,F,?"}, 4376, "type=7 items=150:0", ""},
  };
  TScriptedPrompt prompt;
  prompt.CancelDialog();
  prompt.AnswerText("150");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Lines.back());
    // Every line naming the capability sets it once, a failing one too.
    const std::string number = std::to_string(c.Capability);
    const auto naming = std::count_if(c.Lines.begin(), c.Lines.end(), [&](const std::string& line) {
      return line.starts_with(number + ",");
    });
    const size_t before = CountTrace("1 1 6 cap=" + number);
    TLogLines log;
    ApplyProfileSettings(*Twain, c.Lines, log, prompt);
    EXPECT_EQ(log.Lines(), c.LogLine.empty() ? std::vector<std::string>{} : std::vector{c.LogLine});
    EXPECT_EQ(CountTrace("1 1 6 cap=" + number), before + static_cast<size_t>(naming));
    EXPECT_EQ(LastSet(c.Capability), "con=5 " + c.Sent);
  }
  ASSERT_EQ(prompt.Questions().size(), 2u);
  const auto& question = prompt.Questions()[1];
  EXPECT_EQ(question.Caption + "|" + question.Text + "|" + question.DefaultText,
            "Input parametro|4376|300");
}

// A page-size line on a source without ICAP_SUPPORTEDSIZES sends the frame
// of the paper its code names (TWSS_A4 1: 8.27 x 11.69 inches), or of the
// whole physical area (8.5 x 14 inches here) for a code without a paper
// (TWSS_ISOB3 12) or a value that is no number, logging nothing: DG_IMAGE 2,
// DAT_IMAGELAYOUT 258, MSG_SET 6, each edge as TW_FIX32 Whole:Frac, the
// fraction rounded from value x 65536.
TEST_F(TwainTest, PageSizeLinesOnASourceWithoutSupportedSizesSetTheFrame) {
  const std::pair<const char*, const char*> cases[] = {
      {"4386,I,1", "2 258 6 frame=0:0,0:0,8:17695,11:45220 numbers=0,0,0"},
      {"4386,I,12", "2 258 6 frame=0:0,0:0,8:32768,14:0 numbers=0,0,0"},
      {"4386,I,A4", "2 258 6 frame=0:0,0:0,8:32768,14:0 numbers=0,0,0"},
  };
  Configure("nosizes=1");
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr() && twain->OpenSource(""));
  EXPECT_FALSE(twain->IsCapSupported(4386));
  TScriptedPrompt prompt;
  for (const auto& [line, sent] : cases) {
    SCOPED_TRACE(line);
    TLogLines log;
    const size_t before = CountTrace("2 258 6");
    ApplyProfileSettings(*twain, {"", line}, log, prompt);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{});
    EXPECT_EQ(CountTrace("2 258 6"), before + 1);
    EXPECT_EQ(Trace().back(), sent);
  }
  EXPECT_TRUE(prompt.Questions().empty());
  EXPECT_TRUE(twain->CloseSource() && twain->CloseSourceMgr());
}

// The generator's page of that number as the virtual scanner renders it for
// the small pages of SmallPages: A6 (4.1339 x 5.8268 inches) at 100 dpi.
std::unique_ptr<TDibGraphic> GeneratedPage(int number) {
  const TPageLayout layout{413, 583, 100, 100, TWPT_BW, 1};
  const std::unique_ptr<TDIB> dib = RenderPage(layout, number);
  auto page = std::make_unique<TTiffGraphic>();
  page->ImportDib(*dib, ifBlackWhite, 100, 100);
  return page;
}

// The scanner draws each page's number, so a page out of order differs from
// the generator's page of its number. A page that cannot be written gets a
// log line naming the page, the target, the writer's message and the
// recovery file, which holds the page.
TEST_F(TwainTest, PagesKeepTheirArrivalOrderOrAreLoggedAndRecovered) {
  const std::pair<const char*, int> cases[] = {
      {"all.tif", 20}, {"all.pdf", 20}, {"missing folder/out.tif", 2}};
  for (const auto& [name, sheets] : cases) {
    SCOPED_TRACE(name);
    const std::string target = Dir.File(name);
    const bool writable = sheets == 20;
    TLogLines log;
    std::vector<TSavedPage> shown;
    Configure("sheets=" + std::to_string(sheets));
    auto twain = MakeTwain();
    twain->ShowUI = false;
    SmallPages(*twain, TWPT_BW, 1);
    TPageSaver saver(Dispatcher, log, [&](const TSavedPage& page) { shown.push_back(page); });
    twain->OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                              const std::string&) {
      saver.Submit(static_cast<TSV_HANDLE>(image), target, false);
    };
    ASSERT_TRUE(twain->Acquire("") && WaitClosed(*twain) && saver.WaitIdle(60000));
    ASSERT_EQ(shown.size(), static_cast<size_t>(sheets));
    EXPECT_EQ(saver.Failures(), writable ? 0 : sheets);
    EXPECT_EQ(log.Lines().size(), writable ? 0u : 2u);
    if (writable) {
      EXPECT_EQ(TGraphicDocument(target).PageCount(), sheets);
      for (int number = 1; number <= sheets; ++number)
        EXPECT_TRUE(SamePixels(*LoadPage(target, number), *GeneratedPage(number))) << number;
    }
    for (const TSavedPage& page : shown) {
      EXPECT_EQ(page.Written, writable);
      if (writable) continue;
      EXPECT_TRUE(SamePixels(*LoadPage(page.RecoveryFile), *GeneratedPage(page.Number)));
      EXPECT_TRUE(page.RecoveryFile.starts_with(Dir.File("tessivane/recovered/")));
      const std::string start =
          "Unable to save page " + std::to_string(page.Number) + " to " + target;
      EXPECT_THAT(log.Lines(), Contains(AllOf(StartsWith(start + " - "),
                                              EndsWith(" - kept in " + page.RecoveryFile))));
    }
  }
}

// Failures counts the current scan's pages only: the one worker waits on
// the show callback of the first page until the saver is waited on, so the
// second page of the earlier scan fails after the next scan began.
TEST_F(TwainTest, FailuresCountThePagesOfTheCurrentScanOnly) {
  TLogLines log;
  TPageSaverOptions options;
  options.Workers = 1;
  TPageSaver saver(
      Dispatcher, log, [](const TSavedPage&) {}, options);
  const auto submit = [&] {
    saver.Submit(PatternPage(ifBlackWhite, 16, 8)->ExportPageHandle().Release(),
                 Dir.File("missing folder/out.tif"), false);
  };
  saver.BeginScan();
  submit();
  submit();
  saver.BeginScan();
  submit();
  ASSERT_TRUE(saver.WaitIdle(60000));
  EXPECT_EQ(saver.Failures(), 1);
  EXPECT_EQ(log.Lines().size(), 3u);
}

// Pages are shown only while the user-interface thread serves the
// dispatcher, which Submit does only while it waits for room: without the
// bound every page would stay in flight until WaitIdle.
TEST_F(TwainTest, SubmitWaitsForRoomWhileMaxInFlightPagesAreNotShown) {
  TLogLines log;
  TPageSaverOptions options;
  options.MaxInFlight = 2;
  std::vector<int> shown;
  TPageSaver saver(
      Dispatcher, log, [&](const TSavedPage& page) { shown.push_back(page.Number); }, options);
  const std::string target = Dir.File("bounded.tif");
  for (int number = 1; number <= 6; ++number) {
    saver.Submit(PatternPage(ifBlackWhite, 16, 8)->ExportPageHandle().Release(), target, false);
    EXPECT_LE(saver.InFlight(), 2u) << number;
    EXPECT_GE(shown.size(), static_cast<size_t>(std::max(0, number - 2))) << number;
  }
  ASSERT_TRUE(saver.WaitIdle(60000));
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(TGraphicDocument(target).PageCount(), 6);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{});
}

} // namespace
} // namespace test
