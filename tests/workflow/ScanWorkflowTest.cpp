// Profiles applied to the virtual scanner and scanned pages saved, through
// the real engine, manager and scanner; the operator's answers are scripted.
#include "support/OpenSourceFixture.h"

#include "graphics/TiffGraphic.h"
#include "workflow/LogSink.h"
#include "workflow/PageSaver.h"
#include "workflow/PageTestSupport.h"
#include "workflow/ProfileNegotiation.h"
#include "workflow/ScanTarget.h"
#include "workflow/ScriptedPrompt.h"

#include <filesystem>

namespace test {
namespace {

class NegotiationTest : public OpenSourceTest {
protected:
  TLogLines Log;
  TScriptedPrompt Prompt;
};

TEST_F(NegotiationTest, SettingLinesReachTheSourceOrTheLog) {
  const struct {
    std::vector<std::string> Lines;
    uint16_t Capability; // whose last set is checked; 0: no set at all
    std::string Sent;    // that set's container in the trace
    std::vector<std::string> LogLines;
  } cases[] = {
      {{"Virtual Scanner"}, 0, "", {}},
      {{"", "1,I,-1"}, CAP_XFERCOUNT, "con=5 type=1 items=-1", {}},
      {{"", "257,X,0"},
       ICAP_PIXELTYPE,
       "con=5 type=4 items=0",
       {"Tipo di parametro non valido X per PixelType"}},
      {{"", "abc,I,1", "1,I,2"},
       CAP_XFERCOUNT,
       "con=5 type=1 items=2",
       {"\"abc\" is not a valid integer"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Lines.back());
    Log.Clear();
    const size_t sets = CountTrace("1 1 6");
    ApplyProfileSettings(*Twain, c.Lines, Log, Prompt);
    EXPECT_EQ(Log.Lines(), c.LogLines);
    if (c.Capability == 0)
      EXPECT_EQ(CountTrace("1 1 6"), sets);
    else
      EXPECT_EQ(LastSet(c.Capability), c.Sent);
  }
  EXPECT_TRUE(Prompt.Questions().empty());
}

TEST_F(NegotiationTest, QuestionMarkAsksAndCancelResendsTheCurrentValue) {
  TTwnContainer* resolution = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_XRESOLUTION, MSG_GET, resolution), TWRC_SUCCESS);
  const std::string current = resolution->CurrentValue().AsString();
  Prompt.CancelDialog();
  Prompt.AnswerText("150");
  ApplyProfileSettings(*Twain, {"", "4376,F,?"}, Log, Prompt);
  EXPECT_NE(LastSet(ICAP_XRESOLUTION).find(current), std::string::npos);
  ApplyProfileSettings(*Twain, {"", "4376,F,?"}, Log, Prompt);
  ASSERT_EQ(Prompt.Questions().size(), 2u);
  EXPECT_EQ(Prompt.Questions()[0].Caption, "Input parametro");
  EXPECT_EQ(Prompt.Questions()[0].Text, "4376");
  EXPECT_EQ(Prompt.Questions()[0].DefaultText, current);
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_XRESOLUTION, MSG_GETCURRENT, resolution), TWRC_SUCCESS);
  EXPECT_DOUBLE_EQ(resolution->CurrentValue().AsFloat(), 150);
  EXPECT_TRUE(Log.Lines().empty());
}

TEST(ScanTargetTest, ExtensionChoosesTheFormatOrRefuses) {
  EXPECT_EQ(ScanFileFormat("/a/x.tif"), TScanFileFormat::Tiff);
  EXPECT_EQ(ScanFileFormat("/a/x.TIFF"), TScanFileFormat::Tiff);
  EXPECT_EQ(ScanFileFormat("/a/x.Pdf"), TScanFileFormat::Pdf);
  for (const char* name : {"/a/x.png", "/a/x", "/a/x.tif.bak"})
    EXPECT_THROW(ScanFileFormat(name), EScanTargetError) << name;
}

class PageSaverTest : public TwainTest {
protected:
  // Scans sheets pages, each kept as delivered in Delivered and submitted
  // to target (a batch file per page when target is empty).
  void ScanInto(int sheets, const std::string& target) {
    Configure("sheets=" + std::to_string(sheets));
    auto twain = MakeTwain();
    twain->ShowUI = false;
    SmallPages(*twain, TWPT_BW, 1);
    TPageSaver saver(Dispatcher, Log, [this](const TSavedPage& page) { Shown.push_back(page); });
    twain->OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                              const std::string&) {
      auto copy = std::make_unique<TTiffGraphic>();
      copy->ImportPageHandle(static_cast<TSV_HANDLE>(image));
      Delivered.push_back(std::move(copy));
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
  std::vector<std::unique_ptr<TDibGraphic>> Delivered;
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

TEST_F(PageSaverTest, UnwritablePagesAreLoggedAndRecovered) {
  const std::string target = Dir.File("missing folder/out.tif");
  ScanInto(2, target);
  ASSERT_EQ(Delivered.size(), 2u);
  EXPECT_EQ(Failures, 2);
  ASSERT_EQ(Shown.size(), 2u);
  EXPECT_EQ(Log.Lines().size(), 2u);
  for (const TSavedPage& page : Shown) {
    EXPECT_FALSE(page.Written);
    EXPECT_TRUE(page.RecoveryFile.starts_with(Dir.File("tessivane/recovered/")));
    EXPECT_TRUE(SamePixels(*LoadPage(page.RecoveryFile), *Delivered.at(page.Number - 1)));
    // The page, the target, the writer's message and where the page is kept.
    const std::string start =
        "Unable to save page " + std::to_string(page.Number) + " to " + target + " - ";
    int matching = 0;
    for (const std::string& line : Log.Lines())
      matching += line.starts_with(start) && line.ends_with(" - kept in " + page.RecoveryFile);
    EXPECT_EQ(matching, 1) << start;
  }
  EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace
} // namespace test
