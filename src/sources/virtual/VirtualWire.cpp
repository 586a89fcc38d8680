#include "VirtualWire.h"

#include "tessivane/pagemem.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

size_t ItemSize(uint16_t itemType) {
  return TSV_TwainItemSize(itemType);
}

std::string Fix32Text(TW_FIX32 fix) {
  return std::to_string(fix.Whole) + ":" + std::to_string(fix.Frac);
}

// One item: its value (numbers), frame, and text for the trace.
void ReadItem(uint16_t itemType, const uint8_t* p, TReceived& received, std::string& text) {
  switch (itemType) {
  case TWTY_INT8: {
    int8_t v;
    std::memcpy(&v, p, 1);
    received.Values.push_back(v);
    text += std::to_string(v);
    break;
  }
  case TWTY_UINT8:
    received.Values.push_back(*p);
    text += std::to_string(*p);
    break;
  case TWTY_INT16: {
    int16_t v;
    std::memcpy(&v, p, 2);
    received.Values.push_back(v);
    text += std::to_string(v);
    break;
  }
  case TWTY_UINT16:
  case TWTY_BOOL: {
    uint16_t v;
    std::memcpy(&v, p, 2);
    received.Values.push_back(v);
    text += std::to_string(v);
    break;
  }
  case TWTY_INT32: {
    int32_t v;
    std::memcpy(&v, p, 4);
    received.Values.push_back(v);
    text += std::to_string(v);
    break;
  }
  case TWTY_UINT32: {
    uint32_t v;
    std::memcpy(&v, p, 4);
    received.Values.push_back(v);
    text += std::to_string(v);
    break;
  }
  case TWTY_FIX32: {
    TW_FIX32 v;
    std::memcpy(&v, p, 4);
    received.Values.push_back(FromFix32(v));
    text += Fix32Text(v);
    break;
  }
  case TWTY_FRAME: {
    TW_FRAME frame;
    std::memcpy(&frame, p, sizeof frame);
    received.Frames.push_back(frame);
    received.Values.push_back(0);
    text += Fix32Text(frame.Left) + "/" + Fix32Text(frame.Top) + "/" + Fix32Text(frame.Right) +
            "/" + Fix32Text(frame.Bottom);
    break;
  }
  default: {
    const size_t size = ItemSize(itemType);
    const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, size));
    const std::string value(reinterpret_cast<const char*>(p),
                            end ? static_cast<size_t>(end - p) : size);
    received.Values.push_back(0);
    text += "\"" + value + "\"(" + std::to_string(value.size()) + ")";
    break;
  }
  }
}

void WriteItem(uint16_t itemType, double value, uint8_t* p) {
  switch (ItemSize(itemType)) {
  case 1: {
    const auto v = static_cast<uint8_t>(static_cast<int32_t>(std::lround(value)));
    std::memcpy(p, &v, 1);
    break;
  }
  case 2: {
    const auto v = static_cast<uint16_t>(static_cast<int32_t>(std::lround(value)));
    std::memcpy(p, &v, 2);
    break;
  }
  case 4: {
    if (itemType == TWTY_FIX32) {
      const TW_FIX32 v = ToFix32(value);
      std::memcpy(p, &v, 4);
    } else {
      const auto v = static_cast<uint32_t>(static_cast<int64_t>(std::llround(value)));
      std::memcpy(p, &v, 4);
    }
    break;
  }
  default:
    break;
  }
}

uint32_t RangeField(uint16_t itemType, double value) {
  uint8_t bytes[4] = {};
  WriteItem(itemType, value, bytes);
  uint32_t field;
  std::memcpy(&field, bytes, 4);
  // The small types go sign- or zero-extended into the 32-bit fields.
  if (itemType == TWTY_INT16 || itemType == TWTY_BOOL)
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(field)));
  if (itemType == TWTY_INT8)
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(field)));
  return field;
}

} // namespace

TW_HANDLE TSourceMemory::Copy(const void* bytes, size_t size) const {
  TW_HANDLE handle = Alloc(size);
  if (handle == nullptr) return nullptr;
  void* target = LockHandle(handle);
  if (target == nullptr) {
    FreeHandle(handle);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  UnlockHandle(handle);
  return handle;
}

bool Contains(const std::vector<double>& values, double value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

uint32_t IndexOf(const std::vector<double>& values, double value) {
  const auto found = std::find(values.begin(), values.end(), value);
  return found == values.end() ? 0 : static_cast<uint32_t>(found - values.begin());
}

const std::vector<TPaperInches>& PaperSizes() {
  static const std::vector<TPaperInches> sizes = {
      {TWSS_A4, 8.2677, 11.6929},   {TWSS_USLETTER, 8.5, 11.0},     {TWSS_USLEGAL, 8.5, 14.0},
      {TWSS_A5, 5.8268, 8.2677},    {TWSS_A6, 4.1339, 5.8268},      {TWSS_A3, 11.6929, 16.5354},
      {TWSS_ISOB5, 6.9291, 9.8425}, {TWSS_USEXECUTIVE, 7.25, 10.5}, {TWSS_BUSINESSCARD, 3.5, 2.0},
  };
  return sizes;
}

TW_IMAGEINFO UncompressedImageInfo(int width, int height, int pixelType, int bitsPerPixel,
                                   double xDpi, double yDpi, double unitsPerInch) {
  TW_IMAGEINFO info{};
  info.XResolution = ToFix32(xDpi / unitsPerInch);
  info.YResolution = ToFix32(yDpi / unitsPerInch);
  info.ImageWidth = width;
  info.ImageLength = height;
  if (pixelType == TWPT_RGB) {
    info.SamplesPerPixel = 3;
    info.BitsPerSample[0] = info.BitsPerSample[1] = info.BitsPerSample[2] = 8;
  } else {
    info.SamplesPerPixel = 1;
    info.BitsPerSample[0] = static_cast<TW_INT16>(bitsPerPixel);
  }
  info.BitsPerPixel = static_cast<TW_INT16>(bitsPerPixel);
  info.Planar = 0;
  info.PixelType = static_cast<TW_INT16>(pixelType);
  info.Compression = TWCP_NONE;
  return info;
}

TW_FRAME FrameInUnits(const TW_FRAME& inches, double unitsPerInch) {
  return {ToFix32(FromFix32(inches.Left) * unitsPerInch),
          ToFix32(FromFix32(inches.Top) * unitsPerInch),
          ToFix32(FromFix32(inches.Right) * unitsPerInch),
          ToFix32(FromFix32(inches.Bottom) * unitsPerInch)};
}

TW_SETUPMEMXFER StripSizes(size_t rowBytes) {
  constexpr uint32_t kPreferredStrip = 65536;
  const auto row = static_cast<uint32_t>(std::max<size_t>(1, rowBytes));
  TW_SETUPMEMXFER setup{};
  setup.MinBufSize = row;
  setup.MaxBufSize = TWON_DONTCARE32;
  setup.Preferred = row * std::max<uint32_t>(1, kPreferredStrip / row);
  return setup;
}

TW_HANDLE TSourceMemory::Alloc(size_t size) const {
  return Allocate != nullptr ? Allocate(static_cast<TW_UINT32>(size)) : tsv_mem_alloc(size);
}
void* TSourceMemory::LockHandle(TW_HANDLE handle) const {
  return Lock != nullptr ? Lock(handle) : tsv_mem_lock(static_cast<TSV_HANDLE>(handle));
}
void TSourceMemory::UnlockHandle(TW_HANDLE handle) const {
  if (Unlock != nullptr)
    Unlock(handle);
  else
    tsv_mem_unlock(static_cast<TSV_HANDLE>(handle));
}

void TSourceMemory::FreeHandle(TW_HANDLE handle) const {
  if (Free != nullptr)
    Free(handle);
  else
    tsv_mem_free(static_cast<TSV_HANDLE>(handle));
}

TW_FIX32 ToFix32(double value) {
  const auto scaled = static_cast<int32_t>(std::lround(value * 65536.0));
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(scaled >> 16);
  fix.Frac = static_cast<TW_UINT16>(scaled & 0xFFFF);
  return fix;
}

double FromFix32(TW_FIX32 value) {
  return value.Whole + value.Frac / 65536.0;
}

bool TReceived::Current(double& value) const {
  switch (ConType) {
  case TWON_ONEVALUE:
    if (Values.empty()) return false;
    value = Values[0];
    return true;
  case TWON_ENUMERATION:
    if (CurrentIndex >= Values.size()) return false;
    value = Values[CurrentIndex];
    return true;
  case TWON_RANGE:
    if (Values.size() != 5) return false;
    value = Values[4];
    return true;
  default:
    return false;
  }
}

bool ReadContainer(const TSourceMemory& memory, const TW_CAPABILITY& cap, TReceived& received) {
  received = TReceived{};
  received.ConType = cap.ConType;
  if (cap.hContainer == nullptr) return false;
  const size_t known = tsv_mem_size(static_cast<TSV_HANDLE>(cap.hContainer));
  const auto* base = static_cast<const uint8_t*>(memory.LockHandle(cap.hContainer));
  if (base == nullptr) return false;
  uint16_t itemType;
  std::memcpy(&itemType, base, 2);
  received.ItemType = itemType;
  const size_t size = ItemSize(itemType);
  std::string text =
      "con=" + std::to_string(cap.ConType) + " type=" + std::to_string(itemType) + " items=";
  bool sound = size != 0;
  auto fits = [&](size_t end) { return known == 0 || end <= known; };
  if (sound) {
    switch (cap.ConType) {
    case TWON_ONEVALUE:
      sound = fits(offsetof(TW_ONEVALUE, Item) + size);
      if (sound) ReadItem(itemType, base + offsetof(TW_ONEVALUE, Item), received, text);
      break;
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
      const bool isArray = cap.ConType == TWON_ARRAY;
      const size_t first =
          isArray ? offsetof(TW_ARRAY, ItemList) : offsetof(TW_ENUMERATION, ItemList);
      uint32_t count;
      std::memcpy(
          &count,
          base + (isArray ? offsetof(TW_ARRAY, NumItems) : offsetof(TW_ENUMERATION, NumItems)), 4);
      sound = count <= 100000 && fits(first + count * size);
      for (uint32_t i = 0; sound && i < count; ++i) {
        if (i > 0) text += ",";
        ReadItem(itemType, base + first + i * size, received, text);
      }
      if (sound && !isArray) {
        std::memcpy(&received.CurrentIndex, base + offsetof(TW_ENUMERATION, CurrentIndex), 4);
        std::memcpy(&received.DefaultIndex, base + offsetof(TW_ENUMERATION, DefaultIndex), 4);
        text += " cur=" + std::to_string(received.CurrentIndex) +
                " def=" + std::to_string(received.DefaultIndex);
      }
      break;
    }
    case TWON_RANGE: {
      sound = fits(sizeof(TW_RANGE)) && size <= 4;
      if (!sound) break;
      TW_RANGE range;
      std::memcpy(&range, base, sizeof range);
      const TW_UINT32 fields[] = {range.MinValue, range.MaxValue, range.StepSize,
                                  range.DefaultValue, range.CurrentValue};
      for (size_t i = 0; i < 5; ++i) {
        if (i > 0) text += ",";
        uint8_t bytes[4];
        std::memcpy(bytes, &fields[i], 4);
        ReadItem(itemType, bytes, received, text);
      }
      break;
    }
    default:
      sound = false;
      break;
    }
  }
  memory.UnlockHandle(cap.hContainer);
  received.Trace = text;
  return sound;
}

TW_HANDLE OneValue(const TSourceMemory& memory, uint16_t itemType, double value) {
  std::vector<uint8_t> bytes(sizeof(TW_ONEVALUE), 0);
  std::memcpy(bytes.data(), &itemType, 2);
  WriteItem(itemType, value, bytes.data() + offsetof(TW_ONEVALUE, Item));
  return memory.Copy(bytes.data(), bytes.size());
}

TW_HANDLE Enumeration(const TSourceMemory& memory, uint16_t itemType,
                      const std::vector<double>& values, uint32_t current, uint32_t defaultIndex) {
  const size_t size = ItemSize(itemType);
  std::vector<uint8_t> bytes(offsetof(TW_ENUMERATION, ItemList) + values.size() * size + 4, 0);
  const auto count = static_cast<uint32_t>(values.size());
  std::memcpy(bytes.data(), &itemType, 2);
  std::memcpy(bytes.data() + offsetof(TW_ENUMERATION, NumItems), &count, 4);
  std::memcpy(bytes.data() + offsetof(TW_ENUMERATION, CurrentIndex), &current, 4);
  std::memcpy(bytes.data() + offsetof(TW_ENUMERATION, DefaultIndex), &defaultIndex, 4);
  for (size_t i = 0; i < values.size(); ++i)
    WriteItem(itemType, values[i], bytes.data() + offsetof(TW_ENUMERATION, ItemList) + i * size);
  return memory.Copy(bytes.data(), bytes.size());
}

TW_HANDLE Range(const TSourceMemory& memory, uint16_t itemType, double minimum, double maximum,
                double step, double defaultValue, double current) {
  TW_RANGE range{};
  range.ItemType = itemType;
  range.MinValue = RangeField(itemType, minimum);
  range.MaxValue = RangeField(itemType, maximum);
  range.StepSize = RangeField(itemType, step);
  range.DefaultValue = RangeField(itemType, defaultValue);
  range.CurrentValue = RangeField(itemType, current);
  return memory.Copy(&range, sizeof range);
}

TW_HANDLE Array(const TSourceMemory& memory, uint16_t itemType, const std::vector<double>& values) {
  const size_t size = ItemSize(itemType);
  std::vector<uint8_t> bytes(offsetof(TW_ARRAY, ItemList) + values.size() * size + 4, 0);
  const auto count = static_cast<uint32_t>(values.size());
  std::memcpy(bytes.data(), &itemType, 2);
  std::memcpy(bytes.data() + offsetof(TW_ARRAY, NumItems), &count, 4);
  for (size_t i = 0; i < values.size(); ++i)
    WriteItem(itemType, values[i], bytes.data() + offsetof(TW_ARRAY, ItemList) + i * size);
  return memory.Copy(bytes.data(), bytes.size());
}

TW_HANDLE FrameEnumeration(const TSourceMemory& memory, const TW_FRAME& frame) {
  std::vector<uint8_t> bytes(offsetof(TW_ENUMERATION, ItemList) + sizeof frame + 4, 0);
  const uint16_t itemType = TWTY_FRAME;
  const uint32_t count = 1;
  std::memcpy(bytes.data(), &itemType, 2);
  std::memcpy(bytes.data() + offsetof(TW_ENUMERATION, NumItems), &count, 4);
  std::memcpy(bytes.data() + offsetof(TW_ENUMERATION, ItemList), &frame, sizeof frame);
  return memory.Copy(bytes.data(), bytes.size());
}

TW_HANDLE FrameOneValue(const TSourceMemory& memory, const TW_FRAME& frame) {
  std::vector<uint8_t> bytes(offsetof(TW_ONEVALUE, Item) + sizeof frame + 4, 0);
  const uint16_t itemType = TWTY_FRAME;
  std::memcpy(bytes.data(), &itemType, 2);
  std::memcpy(bytes.data() + offsetof(TW_ONEVALUE, Item), &frame, sizeof frame);
  return memory.Copy(bytes.data(), bytes.size());
}

double UnitsInAnInch(uint16_t units) {
  switch (units) {
  case TWUN_CENTIMETERS:
    return 2.54;
  case TWUN_PICAS:
    return 6;
  case TWUN_POINTS:
    return 72;
  case TWUN_TWIPS:
    return 1440;
  case TWUN_MILLIMETERS:
    return 25.4;
  default:
    return 1;
  }
}

namespace {

std::string DefaultFileName() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  return ((error ? std::filesystem::path("/tmp") : folder) / "TWAIN.TMP").string();
}

} // namespace

std::string TFileXferTarget::Name() const {
  return FileName.empty() ? DefaultFileName() : FileName;
}

TW_UINT16 TFileXferTarget::Setup(TW_UINT16 msg, pTW_SETUPFILEXFER setup, int state) {
  switch (msg) {
  case MSG_GET:
  case MSG_GETDEFAULT: {
    const bool current = msg == MSG_GET;
    *setup = TW_SETUPFILEXFER{};
    std::snprintf(setup->FileName, sizeof setup->FileName, "%s",
                  (current ? Name() : DefaultFileName()).c_str());
    setup->Format = current ? Format : TW_UINT16{TWFF_BMP};
    setup->VRefNum = -1;
    return TWCC_SUCCESS;
  }
  case MSG_SET:
    if (state < 4 || state > 6) return TWCC_SEQERROR;
    if (setup->Format != TWFF_BMP && setup->Format != TWFF_TIFF) return TWCC_BADVALUE;
    FileName.assign(setup->FileName, strnlen(setup->FileName, sizeof setup->FileName));
    Format = setup->Format;
    return TWCC_SUCCESS;
  default:
    return TWCC_BADPROTOCOL;
  }
}
