// The records of twain.h against the standard's own numbers: the offset of
// every field and the size of every record on x86-64 Linux, as listed in
// tests/data/twain/layout.tsv. Every line of the list must be matched by the
// header, and every record field checked here must be on the list.
#include "support/TestSupport.h"
#include "tessivane/twain.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

#define SIZE(record) std::pair<std::string, size_t>(#record "\t(size)", sizeof(record))
#define FIELD(record, field)                                                                       \
  std::pair<std::string, size_t>(#record "\t" #field, offsetof(record, field))

const std::map<std::string, size_t>& HeaderLayout() {
  static const std::map<std::string, size_t> layout = {
      SIZE(TW_FIX32),
      FIELD(TW_FIX32, Whole),
      FIELD(TW_FIX32, Frac),
      SIZE(TW_FRAME),
      FIELD(TW_FRAME, Left),
      FIELD(TW_FRAME, Top),
      FIELD(TW_FRAME, Right),
      FIELD(TW_FRAME, Bottom),
      SIZE(TW_DECODEFUNCTION),
      FIELD(TW_DECODEFUNCTION, StartIn),
      FIELD(TW_DECODEFUNCTION, BreakIn),
      FIELD(TW_DECODEFUNCTION, EndIn),
      FIELD(TW_DECODEFUNCTION, StartOut),
      FIELD(TW_DECODEFUNCTION, BreakOut),
      FIELD(TW_DECODEFUNCTION, EndOut),
      FIELD(TW_DECODEFUNCTION, Gamma),
      FIELD(TW_DECODEFUNCTION, SampleCount),
      SIZE(TW_TRANSFORMSTAGE),
      FIELD(TW_TRANSFORMSTAGE, Decode),
      FIELD(TW_TRANSFORMSTAGE, Mix),
      SIZE(TW_ARRAY),
      FIELD(TW_ARRAY, ItemType),
      FIELD(TW_ARRAY, NumItems),
      FIELD(TW_ARRAY, ItemList),
      SIZE(TW_AUDIOINFO),
      FIELD(TW_AUDIOINFO, Name),
      FIELD(TW_AUDIOINFO, Reserved),
      SIZE(TW_CALLBACK),
      FIELD(TW_CALLBACK, CallBackProc),
      FIELD(TW_CALLBACK, RefCon),
      FIELD(TW_CALLBACK, Message),
      SIZE(TW_CALLBACK2),
      FIELD(TW_CALLBACK2, CallBackProc),
      FIELD(TW_CALLBACK2, RefCon),
      FIELD(TW_CALLBACK2, Message),
      SIZE(TW_CAPABILITY),
      FIELD(TW_CAPABILITY, Cap),
      FIELD(TW_CAPABILITY, ConType),
      FIELD(TW_CAPABILITY, hContainer),
      SIZE(TW_CIEPOINT),
      FIELD(TW_CIEPOINT, X),
      FIELD(TW_CIEPOINT, Y),
      FIELD(TW_CIEPOINT, Z),
      SIZE(TW_CIECOLOR),
      FIELD(TW_CIECOLOR, ColorSpace),
      FIELD(TW_CIECOLOR, LowEndian),
      FIELD(TW_CIECOLOR, DeviceDependent),
      FIELD(TW_CIECOLOR, VersionNumber),
      FIELD(TW_CIECOLOR, StageABC),
      FIELD(TW_CIECOLOR, StageLMN),
      FIELD(TW_CIECOLOR, WhitePoint),
      FIELD(TW_CIECOLOR, BlackPoint),
      FIELD(TW_CIECOLOR, WhitePaper),
      FIELD(TW_CIECOLOR, BlackInk),
      FIELD(TW_CIECOLOR, Samples),
      SIZE(TW_CUSTOMDSDATA),
      FIELD(TW_CUSTOMDSDATA, InfoLength),
      FIELD(TW_CUSTOMDSDATA, hData),
      SIZE(TW_DEVICEEVENT),
      FIELD(TW_DEVICEEVENT, Event),
      FIELD(TW_DEVICEEVENT, DeviceName),
      FIELD(TW_DEVICEEVENT, BatteryMinutes),
      FIELD(TW_DEVICEEVENT, BatteryPercentage),
      FIELD(TW_DEVICEEVENT, PowerSupply),
      FIELD(TW_DEVICEEVENT, XResolution),
      FIELD(TW_DEVICEEVENT, YResolution),
      FIELD(TW_DEVICEEVENT, FlashUsed2),
      FIELD(TW_DEVICEEVENT, AutomaticCapture),
      FIELD(TW_DEVICEEVENT, TimeBeforeFirstCapture),
      FIELD(TW_DEVICEEVENT, TimeBetweenCaptures),
      SIZE(TW_ELEMENT8),
      FIELD(TW_ELEMENT8, Index),
      FIELD(TW_ELEMENT8, Channel1),
      FIELD(TW_ELEMENT8, Channel2),
      FIELD(TW_ELEMENT8, Channel3),
      SIZE(TW_ENUMERATION),
      FIELD(TW_ENUMERATION, ItemType),
      FIELD(TW_ENUMERATION, NumItems),
      FIELD(TW_ENUMERATION, CurrentIndex),
      FIELD(TW_ENUMERATION, DefaultIndex),
      FIELD(TW_ENUMERATION, ItemList),
      SIZE(TW_EVENT),
      FIELD(TW_EVENT, pEvent),
      FIELD(TW_EVENT, TWMessage),
      SIZE(TW_INFO),
      FIELD(TW_INFO, InfoID),
      FIELD(TW_INFO, ItemType),
      FIELD(TW_INFO, NumItems),
      FIELD(TW_INFO, ReturnCode),
      FIELD(TW_INFO, CondCode),
      FIELD(TW_INFO, Item),
      SIZE(TW_EXTIMAGEINFO),
      FIELD(TW_EXTIMAGEINFO, NumInfos),
      FIELD(TW_EXTIMAGEINFO, Info),
      SIZE(TW_FILESYSTEM),
      FIELD(TW_FILESYSTEM, InputName),
      FIELD(TW_FILESYSTEM, OutputName),
      FIELD(TW_FILESYSTEM, Context),
      FIELD(TW_FILESYSTEM, Recursive),
      FIELD(TW_FILESYSTEM, Subdirectories),
      FIELD(TW_FILESYSTEM, FileType),
      FIELD(TW_FILESYSTEM, FileSystemType),
      FIELD(TW_FILESYSTEM, Size),
      FIELD(TW_FILESYSTEM, CreateTimeDate),
      FIELD(TW_FILESYSTEM, ModifiedTimeDate),
      FIELD(TW_FILESYSTEM, FreeSpace),
      FIELD(TW_FILESYSTEM, NewImageSize),
      FIELD(TW_FILESYSTEM, NumberOfFiles),
      FIELD(TW_FILESYSTEM, NumberOfSnippets),
      FIELD(TW_FILESYSTEM, DeviceGroupMask),
      FIELD(TW_FILESYSTEM, Reserved),
      SIZE(TW_GRAYRESPONSE),
      FIELD(TW_GRAYRESPONSE, Response),
      SIZE(TW_VERSION),
      FIELD(TW_VERSION, MajorNum),
      FIELD(TW_VERSION, MinorNum),
      FIELD(TW_VERSION, Language),
      FIELD(TW_VERSION, Country),
      FIELD(TW_VERSION, Info),
      SIZE(TW_IDENTITY),
      FIELD(TW_IDENTITY, Id),
      FIELD(TW_IDENTITY, Version),
      FIELD(TW_IDENTITY, ProtocolMajor),
      FIELD(TW_IDENTITY, ProtocolMinor),
      FIELD(TW_IDENTITY, SupportedGroups),
      FIELD(TW_IDENTITY, Manufacturer),
      FIELD(TW_IDENTITY, ProductFamily),
      FIELD(TW_IDENTITY, ProductName),
      SIZE(TW_IMAGEINFO),
      FIELD(TW_IMAGEINFO, XResolution),
      FIELD(TW_IMAGEINFO, YResolution),
      FIELD(TW_IMAGEINFO, ImageWidth),
      FIELD(TW_IMAGEINFO, ImageLength),
      FIELD(TW_IMAGEINFO, SamplesPerPixel),
      FIELD(TW_IMAGEINFO, BitsPerSample),
      FIELD(TW_IMAGEINFO, BitsPerPixel),
      FIELD(TW_IMAGEINFO, Planar),
      FIELD(TW_IMAGEINFO, PixelType),
      FIELD(TW_IMAGEINFO, Compression),
      SIZE(TW_IMAGELAYOUT),
      FIELD(TW_IMAGELAYOUT, Frame),
      FIELD(TW_IMAGELAYOUT, DocumentNumber),
      FIELD(TW_IMAGELAYOUT, PageNumber),
      FIELD(TW_IMAGELAYOUT, FrameNumber),
      SIZE(TW_MEMORY),
      FIELD(TW_MEMORY, Flags),
      FIELD(TW_MEMORY, Length),
      FIELD(TW_MEMORY, TheMem),
      SIZE(TW_IMAGEMEMXFER),
      FIELD(TW_IMAGEMEMXFER, Compression),
      FIELD(TW_IMAGEMEMXFER, BytesPerRow),
      FIELD(TW_IMAGEMEMXFER, Columns),
      FIELD(TW_IMAGEMEMXFER, Rows),
      FIELD(TW_IMAGEMEMXFER, XOffset),
      FIELD(TW_IMAGEMEMXFER, YOffset),
      FIELD(TW_IMAGEMEMXFER, BytesWritten),
      FIELD(TW_IMAGEMEMXFER, Memory),
      SIZE(TW_JPEGCOMPRESSION),
      FIELD(TW_JPEGCOMPRESSION, ColorSpace),
      FIELD(TW_JPEGCOMPRESSION, SubSampling),
      FIELD(TW_JPEGCOMPRESSION, NumComponents),
      FIELD(TW_JPEGCOMPRESSION, RestartFrequency),
      FIELD(TW_JPEGCOMPRESSION, QuantMap),
      FIELD(TW_JPEGCOMPRESSION, QuantTable),
      FIELD(TW_JPEGCOMPRESSION, HuffmanMap),
      FIELD(TW_JPEGCOMPRESSION, HuffmanDC),
      FIELD(TW_JPEGCOMPRESSION, HuffmanAC),
      SIZE(TW_METRICS),
      FIELD(TW_METRICS, SizeOf),
      FIELD(TW_METRICS, ImageCount),
      FIELD(TW_METRICS, SheetCount),
      SIZE(TW_ONEVALUE),
      FIELD(TW_ONEVALUE, ItemType),
      FIELD(TW_ONEVALUE, Item),
      SIZE(TW_PALETTE8),
      FIELD(TW_PALETTE8, NumColors),
      FIELD(TW_PALETTE8, PaletteType),
      FIELD(TW_PALETTE8, Colors),
      SIZE(TW_PASSTHRU),
      FIELD(TW_PASSTHRU, pCommand),
      FIELD(TW_PASSTHRU, CommandBytes),
      FIELD(TW_PASSTHRU, Direction),
      FIELD(TW_PASSTHRU, pData),
      FIELD(TW_PASSTHRU, DataBytes),
      FIELD(TW_PASSTHRU, DataBytesXfered),
      SIZE(TW_PENDINGXFERS),
      FIELD(TW_PENDINGXFERS, Count),
      FIELD(TW_PENDINGXFERS, EOJ),
      SIZE(TW_RANGE),
      FIELD(TW_RANGE, ItemType),
      FIELD(TW_RANGE, MinValue),
      FIELD(TW_RANGE, MaxValue),
      FIELD(TW_RANGE, StepSize),
      FIELD(TW_RANGE, DefaultValue),
      FIELD(TW_RANGE, CurrentValue),
      SIZE(TW_RGBRESPONSE),
      FIELD(TW_RGBRESPONSE, Response),
      SIZE(TW_SETUPFILEXFER),
      FIELD(TW_SETUPFILEXFER, FileName),
      FIELD(TW_SETUPFILEXFER, Format),
      FIELD(TW_SETUPFILEXFER, VRefNum),
      SIZE(TW_SETUPMEMXFER),
      FIELD(TW_SETUPMEMXFER, MinBufSize),
      FIELD(TW_SETUPMEMXFER, MaxBufSize),
      FIELD(TW_SETUPMEMXFER, Preferred),
      SIZE(TW_STATUS),
      FIELD(TW_STATUS, ConditionCode),
      FIELD(TW_STATUS, Data),
      FIELD(TW_STATUS, Reserved),
      SIZE(TW_STATUSUTF8),
      FIELD(TW_STATUSUTF8, Status),
      FIELD(TW_STATUSUTF8, Size),
      FIELD(TW_STATUSUTF8, UTF8string),
      SIZE(TW_TWAINDIRECT),
      FIELD(TW_TWAINDIRECT, SizeOf),
      FIELD(TW_TWAINDIRECT, CommunicationManager),
      FIELD(TW_TWAINDIRECT, Send),
      FIELD(TW_TWAINDIRECT, SendSize),
      FIELD(TW_TWAINDIRECT, Receive),
      FIELD(TW_TWAINDIRECT, ReceiveSize),
      SIZE(TW_USERINTERFACE),
      FIELD(TW_USERINTERFACE, ShowUI),
      FIELD(TW_USERINTERFACE, ModalUI),
      FIELD(TW_USERINTERFACE, hParent),
      SIZE(TW_SETUPFILEXFER2),
      FIELD(TW_SETUPFILEXFER2, FileName),
      FIELD(TW_SETUPFILEXFER2, FileNameType),
      FIELD(TW_SETUPFILEXFER2, Format),
      FIELD(TW_SETUPFILEXFER2, VRefNum),
      FIELD(TW_SETUPFILEXFER2, parID),
      SIZE(TW_TWUNKIDENTITY),
      FIELD(TW_TWUNKIDENTITY, identity),
      FIELD(TW_TWUNKIDENTITY, dsPath),
      SIZE(TW_TWUNKDSENTRYPARAMS),
      FIELD(TW_TWUNKDSENTRYPARAMS, destFlag),
      FIELD(TW_TWUNKDSENTRYPARAMS, dest),
      FIELD(TW_TWUNKDSENTRYPARAMS, dataGroup),
      FIELD(TW_TWUNKDSENTRYPARAMS, dataArgType),
      FIELD(TW_TWUNKDSENTRYPARAMS, message),
      FIELD(TW_TWUNKDSENTRYPARAMS, pDataSize),
      SIZE(TW_TWUNKDSENTRYRETURN),
      FIELD(TW_TWUNKDSENTRYRETURN, returnCode),
      FIELD(TW_TWUNKDSENTRYRETURN, conditionCode),
      FIELD(TW_TWUNKDSENTRYRETURN, pDataSize),
      SIZE(TW_CAPEXT),
      FIELD(TW_CAPEXT, Cap),
      FIELD(TW_CAPEXT, Properties),
      SIZE(TW_SETUPAUDIOFILEXFER),
      FIELD(TW_SETUPAUDIOFILEXFER, FileName),
      FIELD(TW_SETUPAUDIOFILEXFER, Format),
      FIELD(TW_SETUPAUDIOFILEXFER, VRefNum),
      SIZE(TW_ENTRYPOINT),
      FIELD(TW_ENTRYPOINT, Size),
      FIELD(TW_ENTRYPOINT, DSM_Entry),
      FIELD(TW_ENTRYPOINT, DSM_MemAllocate),
      FIELD(TW_ENTRYPOINT, DSM_MemFree),
      FIELD(TW_ENTRYPOINT, DSM_MemLock),
      FIELD(TW_ENTRYPOINT, DSM_MemUnlock),
      SIZE(TW_FILTER_DESCRIPTOR),
      FIELD(TW_FILTER_DESCRIPTOR, Size),
      FIELD(TW_FILTER_DESCRIPTOR, HueStart),
      FIELD(TW_FILTER_DESCRIPTOR, HueEnd),
      FIELD(TW_FILTER_DESCRIPTOR, SaturationStart),
      FIELD(TW_FILTER_DESCRIPTOR, SaturationEnd),
      FIELD(TW_FILTER_DESCRIPTOR, ValueStart),
      FIELD(TW_FILTER_DESCRIPTOR, ValueEnd),
      FIELD(TW_FILTER_DESCRIPTOR, Replacement),
      SIZE(TW_FILTER),
      FIELD(TW_FILTER, Size),
      FIELD(TW_FILTER, DescriptorCount),
      FIELD(TW_FILTER, MaxDescriptorCount),
      FIELD(TW_FILTER, Condition),
      FIELD(TW_FILTER, hDescriptors),
  };
  return layout;
}

#undef SIZE
#undef FIELD

// record TAB field -> offset, from the standard's list.
std::map<std::string, size_t> StandardLayout() {
  std::ifstream in(test::SourcePath("tests/data/twain/layout.tsv"));
  std::map<std::string, size_t> layout;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string record, field, offset;
    if (!std::getline(fields, record, '\t') || !std::getline(fields, field, '\t') ||
        !std::getline(fields, offset) || offset.empty() ||
        offset.find_first_not_of("0123456789") != std::string::npos)
      continue; // the description and the column titles
    layout[record + "\t" + field] = std::stoul(offset);
  }
  return layout;
}

TEST(LayoutTest, EveryRecordIsLaidOutAsTheStandardsLinuxHeader) {
  const std::map<std::string, size_t> standard = StandardLayout();
  ASSERT_EQ(standard.size(), 273u);
  const std::map<std::string, size_t>& header = HeaderLayout();
  for (const auto& [name, offset] : standard) {
    auto found = header.find(name);
    ASSERT_NE(found, header.end()) << name << " is not checked";
    EXPECT_EQ(found->second, offset) << name;
  }
  for (const auto& [name, offset] : header)
    EXPECT_EQ(standard.count(name), 1u) << name << " is not in the standard's list";
}

TEST(LayoutTest, TheFieldsTheExchangesDependOnSitWhereTheStandardPutsThem) {
  // A few numbers written out, so that a damaged list cannot hide a fault.
  EXPECT_EQ(offsetof(TW_ONEVALUE, Item), 2u);
  EXPECT_EQ(offsetof(TW_CAPABILITY, hContainer), 4u);
  EXPECT_EQ(offsetof(TW_ENUMERATION, ItemList), 14u);
  EXPECT_EQ(offsetof(TW_IDENTITY, ProductName), 122u);
  EXPECT_EQ(sizeof(TW_IDENTITY), 156u);
  EXPECT_EQ(sizeof(TW_ENTRYPOINT), 44u);
  EXPECT_EQ(offsetof(TW_IMAGEMEMXFER, Memory), 26u);
}

} // namespace
