// The component's properties and identity, without scanning.
#include "TwainFixture.h"

#include "twain/FileNames.h"
#include "twain/Locale.h"

#include <filesystem>

namespace test {
namespace {

using ComponentTest = TwainTest;

TEST_F(ComponentTest, ApplicationIdentityAsAnnounced) {
  auto twain = MakeTwain();
  TW_IDENTITY identity = twain->AppIdentity();
  EXPECT_EQ(identity.Id, 0u);
  EXPECT_EQ(identity.Version.MajorNum, 3);
  EXPECT_EQ(identity.Version.MinorNum, 0);
  EXPECT_EQ(identity.Version.Language, 2);
  EXPECT_EQ(identity.Version.Country, 44);
  EXPECT_STREQ(identity.Version.Info, "TWAIN Toolkit v 3.0");
  EXPECT_EQ(identity.ProtocolMajor, 2);
  EXPECT_EQ(identity.ProtocolMinor, 4);
  EXPECT_EQ(TW_UINT32{identity.SupportedGroups},
            static_cast<TW_UINT32>(DG_CONTROL | DG_IMAGE | DF_APP2));
  EXPECT_EQ(twain->ProductFamily(), "Image Acquisition");
  EXPECT_EQ(twain->ProductName(), "TWAIN Application");
  EXPECT_EQ(twain->Country(), TAcqCountry::UNITEDKINGDOM);
  EXPECT_EQ(twain->Language(), TAcqLanguage::ENGLISH_INTL);

  twain->SetManufacturer("Vellumtrace Technologies");
  twain->SetProductFamily("Image Capture");
  twain->SetProductName("A product name of more than thirty-two characters");
  EXPECT_EQ(twain->ProductName(), "A product name of more than thir");
  twain->SetCountry(TAcqCountry::CANADA);
  EXPECT_EQ(twain->AppIdentity().Version.Country, 2);
  twain->SetLanguage(TAcqLanguage::USERLOCALE);
  EXPECT_EQ(static_cast<TW_INT16>(twain->AppIdentity().Version.Language), -1);

  // The manager gives the application its Id.
  ASSERT_TRUE(twain->OpenSourceMgr());
  EXPECT_NE(twain->AppIdentity().Id, 0u);
  EXPECT_TRUE(WaitFor([&] { return twain->State() == 3; })); // reported through the event thread
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(ComponentTest, CountriesAndLanguagesOfTheStandard) {
  EXPECT_EQ(kAcqCountryCount, 239);
  EXPECT_EQ(kAcqLanguageCount, 115);
  EXPECT_EQ(CountryCode(TAcqCountry::AFGHANISTAN), 1001);
  EXPECT_EQ(CountryCode(TAcqCountry::CANADA), 2);
  EXPECT_EQ(CountryCode(TAcqCountry::USA), 1);
  EXPECT_EQ(CountryCode(TAcqCountry::UNITEDKINGDOM), 44);
  EXPECT_EQ(CountryCode(TAcqCountry::VIETNAM), 84);
  EXPECT_EQ(static_cast<int>(TAcqCountry::VIETNAM), 238);
  // Codes shared by several countries read back as the first of them.
  EXPECT_EQ(CountryFromCode(33), TAcqCountry::ANDORRA);
  EXPECT_EQ(CountryFromCode(9999), TAcqCountry::UNITEDKINGDOM);
  EXPECT_EQ(LanguageCode(TAcqLanguage::USERLOCALE), -1);
  EXPECT_EQ(LanguageCode(TAcqLanguage::ENGLISH_INTL), 2);
  EXPECT_EQ(LanguageCode(TAcqLanguage::VIETNAMESE), 113);
  EXPECT_EQ(LanguageFromCode(13), TAcqLanguage::USA);
}

TEST_F(ComponentTest, FileNameAndFormatRules) {
  auto twain = MakeTwain();
  EXPECT_EQ(twain->FileFormat(), TWFF_BMP);
  EXPECT_TRUE(twain->ReturnHandle());
  const std::string folder = Dir.File("Scans");
  std::filesystem::create_directory(folder);

  twain->SetFilename(folder + "/Page.TIF");
  EXPECT_EQ(twain->Filename(), folder + "/page.tif"); // the folder keeps its case
  EXPECT_EQ(twain->FileFormat(), TWFF_TIFF);
  EXPECT_FALSE(twain->ReturnHandle());
  twain->SetReturnHandle(true);
  EXPECT_FALSE(twain->ReturnHandle()); // only with BMP

  twain->SetFileFormat(TWFF_PICT);
  EXPECT_EQ(twain->FileFormat(), TWFF_TIFF);
  twain->SetFileFormat(TWFF_PNG);
  EXPECT_EQ(twain->Filename(), folder + "/page.png");
  // A TIFF-like format is kept whatever the extension says.
  twain->SetFileFormat(TWFF_JFIF);
  twain->SetFilename(folder + "/other.bmp");
  EXPECT_EQ(twain->FileFormat(), TWFF_JFIF);
  EXPECT_EQ(twain->Filename(), folder + "/other.jpg");

  twain->SetFilename(Dir.File("missing-folder/page.bmp"));
  const std::string fallback = twain->Filename();
  const std::filesystem::path privateFolder = std::filesystem::path(fallback).parent_path();
  EXPECT_EQ(privateFolder.parent_path(), std::filesystem::temp_directory_path());
  EXPECT_EQ(std::filesystem::status(privateFolder).permissions(),
            std::filesystem::perms::owner_all);
  EXPECT_FALSE(std::filesystem::exists(fallback));
  EXPECT_EQ(std::filesystem::path(fallback).filename().string().substr(0, 3), "TWN");
  EXPECT_EQ(ExtensionOf(fallback), "jpg");

  twain->SetFilename("");
  EXPECT_EQ(twain->FileFormat(), TWFF_BMP);
  EXPECT_TRUE(twain->ReturnHandle());

  twain->SetFileFormats(FileFmtBit(TWFF_PICT) | FileFmtBit(TWFF_XBM) | FileFmtBit(TWFF_PNG));
  EXPECT_EQ(twain->FileFormats(), FileFmtBit(TWFF_PNG));
}

TEST_F(ComponentTest, ExtensionsAndFormats) {
  EXPECT_EQ(FormatExtension(TWFF_TIFFMULTI), "tif");
  EXPECT_EQ(FormatExtension(TWFF_EXIF), "jpg");
  EXPECT_EQ(FormatExtension(TWFF_FPX), "fpx");
  EXPECT_EQ(FormatExtension(TWFF_PDF), "");
  EXPECT_EQ(FormatOfExtension(".JPG"), TWFF_JFIF);
  EXPECT_EQ(FormatOfExtension("pct"), TWFF_PICT);
  EXPECT_EQ(FormatOfExtension(".jpeg"), kInvalidFileFormat);
  EXPECT_EQ(ReplaceExtension("/a.b/c", "tif"), "/a.b/c.tif");
  EXPECT_EQ(LowerCaseFileName("/Data/Scans/PAGE.Bmp"), "/Data/Scans/page.bmp");
}

TEST_F(ComponentTest, HandleTypeAndMechanismGoTogether) {
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_MEMPTR);
  EXPECT_EQ(twain->XferMech(), TWFX_MEMORY);
  twain->SetXferMech(TWFX_NATIVE);
  EXPECT_EQ(twain->DIBHandleType(), THDT_DIBHANDLE);
  twain->SetDIBHandleType(THDT_MEMPTR);
  twain->SetXferMech(TWFX_MEMORY);
  EXPECT_EQ(twain->DIBHandleType(), THDT_MEMPTR);
}

TEST_F(ComponentTest, LogSettingsAndTheOldLogFile) {
  const std::string log = Dir.File("APPTWN.LOG");
  WriteFile(log, {'x'});
  auto twain = MakeTwain();
  EXPECT_FALSE(FileExists(log)); // a new session starts without the old log
  EXPECT_EQ(twain->LogFilename(), log);
  EXPECT_EQ(twain->Log().INIFile(), Dir.File("AcqTWAIN.INI"));
  const std::string other = Dir.File("other.log");
  WriteFile(other, {'y'});
  twain->SetLogFilename(other);
  EXPECT_FALSE(FileExists(other));
  twain->SetLogToFile(true);
  twain->SetMessageLevel(ML_FULL);
  EXPECT_TRUE(twain->LogToFile());
  EXPECT_EQ(twain->MessageLevel(), ML_FULL);
}

TEST_F(ComponentTest, TimeOutIsSixtySecondsUnlessChanged) {
  TAcqTWAIN twain(Dispatcher);
  EXPECT_EQ(twain.Timeout(), 60000u);
  twain.SetTimeout(250);
  EXPECT_EQ(twain.Timeout(), 250u);
}

TEST_F(ComponentTest, CommandLineListsTheSources) {
  const RunResult result = test::Run({BinPath("tessivane-cli"), "sources"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Virtual Scanner\n");
  setenv("TESSIVANE_TWAIN_DSM", Dir.File("none.so").c_str(), 1);
  const RunResult missing = test::Run({BinPath("tessivane-cli"), "sources"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "The TWAIN Data Source Manager cannot be opened\n");
}

} // namespace
} // namespace test
