// Profiles applied to the virtual scanner and scanned pages saved, through
// the real engine, manager and scanner; the operator's answers are scripted.
#include "support/OpenSourceFixture.h"

#include "workflow/LogSink.h"
#include "workflow/PageSaver.h"
#include "workflow/PageTestSupport.h"
#include "workflow/ProfileNegotiation.h"
#include "workflow/ScriptedPrompt.h"

#include <algorithm>
#include <filesystem>

namespace test {
namespace {

using NegotiationTest = OpenSourceTest;

// Each profile line as the source receives it; "?" asks, and a cancelled
// question sends the source's current value.
TEST_F(NegotiationTest, SettingLinesReachTheSourceOrTheLog) {
  const struct {
    std::vector<std::string> Lines;
    uint16_t Capability; // whose last set is checked; 0: no set at all
    std::string Sent;
    std::string LogLine;
  } cases[] = {
      {{"Virtual Scanner"}, 0, "", ""},
      {{"", "1,I,-1"}, 1, "con=5 type=1 items=-1", ""},
      {{"", "257,X,0"},
       257,
       "con=5 type=4 items=0",
       "Tipo di parametro non valido X per PixelType"},
      {{"", "abc,I,1", "1,I,2"}, 1, "con=5 type=1 items=2", "\"abc\" is not a valid integer"},
      {{"", "4376,F,?"}, 4376, "con=5 type=7 items=300:0", ""}, // cancelled
      {{"", "4376,F,?"}, 4376, "con=5 type=7 items=150:0", ""},
  };
  TScriptedPrompt prompt;
  prompt.CancelDialog();
  prompt.AnswerText("150");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Lines.back());
    TLogLines log;
    const size_t sets = CountTrace("1 1 6");
    ApplyProfileSettings(*Twain, c.Lines, log, prompt);
    EXPECT_EQ(log.Lines(), c.LogLine.empty() ? std::vector<std::string>{} : std::vector{c.LogLine});
    EXPECT_EQ(c.Capability ? LastSet(c.Capability) : std::to_string(CountTrace("1 1 6") - sets),
              c.Capability ? c.Sent : "0");
  }
  ASSERT_EQ(prompt.Questions().size(), 2u);
  const auto& question = prompt.Questions()[1];
  EXPECT_EQ(question.Caption + "|" + question.Text + "|" + question.DefaultText,
            "Input parametro|4376|300");
}

// Scans sheets pages, each kept as delivered and submitted to target (a
// batch file per page when target is empty).
class PageSaverTest : public TwainTest {
protected:
  void ScanInto(int sheets, const std::string& target) {
    Configure("sheets=" + std::to_string(sheets));
    auto twain = MakeTwain();
    twain->ShowUI = false;
    SmallPages(*twain, TWPT_BW, 1);
    TPageSaver saver(Dispatcher, Log, [this](const TSavedPage& page) { Shown.push_back(page); });
    twain->OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                              const std::string&) {
      Delivered.push_back(std::make_unique<TTiffGraphic>());
      Delivered.back()->ImportPageHandle(static_cast<TSV_HANDLE>(image));
      const std::string file =
          target.empty() ? Dir.File(std::to_string(Delivered.size()) + ".tif") : target;
      saver.Submit(static_cast<TSV_HANDLE>(image), file, target.empty());
    };
    ASSERT_TRUE(twain->Acquire(""));
    ASSERT_TRUE(WaitClosed(*twain));
    ASSERT_TRUE(saver.WaitIdle(60000));
    Failures = saver.Failures();
  }
  TLogLines Log;
  std::vector<TSavedPage> Shown;
  std::vector<std::unique_ptr<TTiffGraphic>> Delivered;
  int Failures = 0;
};

TEST_F(PageSaverTest, TwentyPagesKeepTheirArrivalOrderInOneFile) {
  for (const char* name : {"all.tif", "all.pdf"}) {
    SCOPED_TRACE(name);
    Delivered.clear();
    ScanInto(20, Dir.File(name));
    ASSERT_EQ(Delivered.size(), 20u);
    EXPECT_EQ(Failures, 0);
    EXPECT_TRUE(Log.Lines().empty());
    // The scanner draws each page's number, so a page out of order differs.
    for (int page = 1; page <= 20; ++page)
      EXPECT_TRUE(SamePixels(*LoadPage(Dir.File(name), page), *Delivered.at(page - 1))) << page;
  }
}

// Each page's log line names the page, the target, the writer's message and
// the recovery file, which holds the page.
TEST_F(PageSaverTest, UnwritablePagesAreLoggedAndRecovered) {
  const std::string target = Dir.File("missing folder/out.tif");
  ScanInto(2, target);
  EXPECT_EQ(Failures, 2);
  EXPECT_EQ(Log.Lines().size(), 2u);
  ASSERT_EQ(Shown.size(), 2u);
  for (const TSavedPage& page : Shown) {
    EXPECT_FALSE(page.Written);
    EXPECT_TRUE(page.RecoveryFile.starts_with(Dir.File("tessivane/recovered/")));
    EXPECT_TRUE(SamePixels(*LoadPage(page.RecoveryFile), *Delivered.at(page.Number - 1)));
    const std::string start =
        "Unable to save page " + std::to_string(page.Number) + " to " + target;
    EXPECT_EQ(std::ranges::count_if(Log.Lines(),
                                    [&](const std::string& line) {
                                      return line.starts_with(start + " - ") &&
                                             line.ends_with(" - kept in " + page.RecoveryFile);
                                    }),
              1)
        << start;
  }
  EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace
} // namespace test
