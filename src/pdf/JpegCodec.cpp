#include "pdf/JpegCodec.h"

#include "core/MemoryStream.h"
#include "raster/JpegCoding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

// Turns the rows of a page with a palette into blue, green, red samples
// through a table of the three bytes of every pixel value (kept in four, so
// that each pixel is one store; the fourth byte is overwritten by the next
// pixel or lands in the row's spare byte).
class TRowExpander {
public:
  explicit TRowExpander(const TDIB& page)
      : FPage(page), FRow(static_cast<size_t>(page.Width()) * 3 + 1) {
    for (int i = 0; i < page.ColorCount(); ++i) {
      const uint32_t entry = page.PaletteEntry(i);
      FTable[static_cast<size_t>(i)] = static_cast<uint32_t>(PaletteBlue(entry)) |
                                       static_cast<uint32_t>(PaletteGreen(entry)) << 8 |
                                       static_cast<uint32_t>(PaletteRed(entry)) << 16;
    }
  }

  uint8_t* Row(int y) {
    const uint8_t* in = FPage.ScanLine(y);
    uint8_t* out = FRow.data();
    const int width = FPage.Width();
    const int bits = FPage.BitCount();
    if (bits == 8) {
      for (int x = 0; x < width; ++x, out += 3) std::memcpy(out, &FTable[in[x]], 4);
    } else {
      const int perByte = 8 / bits;
      const int mask = (1 << bits) - 1;
      for (int x = 0; x < width; ++x, out += 3) {
        const int shift = 8 - bits * (x % perByte + 1);
        std::memcpy(out, &FTable[static_cast<size_t>((in[x / perByte] >> shift) & mask)], 4);
      }
    }
    return FRow.data();
  }

private:
  const TDIB& FPage;
  std::vector<uint8_t> FRow;
  std::array<uint32_t, 256> FTable{};
};

// The library's defaults at the quality asked for, with raw data: the caller
// hands over the planes of the coder's own colour space.
void Start(TJpegEncoder& encoder, int quality) {
  jpeg_compress_struct& info = encoder.Info();
  encoder.Call<EJPEGError>([&] {
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.raw_data_in = TRUE;
    jpeg_start_compress(&info, TRUE);
  });
}

bool HasGreyPalette(const TDIB& page) {
  if (page.BitCount() == 24) return false;
  for (int i = 0; i < page.ColorCount(); ++i) {
    const uint32_t entry = page.PaletteEntry(i);
    if (PaletteRed(entry) != PaletteGreen(entry) || PaletteGreen(entry) != PaletteBlue(entry))
      return false;
  }
  return true;
}

// A page whose palette holds only greys is handed to the coder as planes that
// are already in its own colour space: the grey as luminance and neutral
// chroma (128). Its colour conversion would turn every grey (v, v, v) into
// exactly (v, 128, 128), and its downsampling and edge padding the chroma
// into 128 again, so the coded data are the same bytes; only the work of
// getting there is saved.
void EncodeGreyJpeg(const TDIB& page, TStream& output, int quality) {
  TJpegEncoder encoder(output);
  jpeg_compress_struct& info = encoder.Info();
  info.image_width = static_cast<JDIMENSION>(page.Width());
  info.image_height = static_cast<JDIMENSION>(page.Height());
  info.input_components = 3;
  info.in_color_space = JCS_YCbCr;
  Start(encoder, quality);
  const jpeg_component_info& luma = info.comp_info[0];
  const size_t lumaWidth = luma.width_in_blocks * DCTSIZE;
  const int groupRows = info.max_v_samp_factor * DCTSIZE;
  std::array<uint8_t, 256> level{};
  for (int i = 0; i < page.ColorCount(); ++i)
    level[static_cast<size_t>(i)] = PaletteBlue(page.PaletteEntry(i));
  std::vector<uint8_t> lumaRows(lumaWidth * static_cast<size_t>(groupRows));
  std::vector<JSAMPROW> lumaPointers(static_cast<size_t>(groupRows));
  for (int r = 0; r < groupRows; ++r)
    lumaPointers[static_cast<size_t>(r)] = &lumaRows[lumaWidth * static_cast<size_t>(r)];
  // The chroma planes never change: neutral rows, wide enough for every component.
  size_t chromaWidth = 0;
  for (int c = 1; c < info.num_components; ++c)
    chromaWidth = std::max<size_t>(chromaWidth, info.comp_info[c].width_in_blocks * DCTSIZE);
  std::vector<uint8_t> neutral(chromaWidth, 128);
  std::vector<JSAMPROW> chromaPointers(static_cast<size_t>(groupRows), neutral.data());
  JSAMPARRAY planes[MAX_COMPONENTS] = {lumaPointers.data(), chromaPointers.data(),
                                       chromaPointers.data()};
  const int width = page.Width(), height = page.Height(), bits = page.BitCount();
  const int perByte = 8 / bits, mask = (1 << bits) - 1;
  for (int top = 0; top < height; top += groupRows) {
    for (int r = 0; r < groupRows; ++r) {
      // Rows below the page repeat its last row, as the coder's own padding does.
      const uint8_t* in = page.ScanLine(std::min(top + r, height - 1));
      uint8_t* out = lumaPointers[static_cast<size_t>(r)];
      if (bits == 8) {
        for (int x = 0; x < width; ++x) out[x] = level[in[x]];
      } else {
        for (int x = 0; x < width; ++x)
          out[x] = level[static_cast<size_t>((in[x / perByte] >> (8 - bits * (x % perByte + 1))) &
                                             mask)];
      }
      std::memset(out + width, out[width - 1], lumaWidth - static_cast<size_t>(width));
    }
    encoder.Call<EJPEGError>(
        [&] { jpeg_write_raw_data(&info, planes, static_cast<JDIMENSION>(groupRows)); });
  }
  encoder.Call<EJPEGError>([&] { jpeg_finish_compress(&info); });
}

} // namespace

void EncodeJpeg(const TDIB& page, int quality, TStream& output) {
  if (page.Width() > 0 && page.Height() > 0 && HasGreyPalette(page))
    return EncodeGreyJpeg(page, output, quality);
  const bool direct = page.BitCount() == 24;
  TJpegRows image;
  image.width = page.Width();
  image.height = page.Height();
  image.space = JCS_EXT_BGR;
  image.quality = quality;
  std::unique_ptr<TRowExpander> expander;
  if (!direct) expander = std::make_unique<TRowExpander>(page);
  image.row = [&](int y, uint8_t*) -> const uint8_t* {
    return direct ? page.ScanLine(y) : expander->Row(y);
  };
  EncodeJpegRows<EJPEGError>(output, image);
}

TJPEGImage::TJPEGImage(std::vector<uint8_t> data) : FData(std::move(data)) {
  TMemoryStream stream(FData.data(), FData.size());
  TJpegDecoder decoder(stream);
  jpeg_decompress_struct& info = decoder.Info();
  decoder.Call<EJPEGError>([&] { jpeg_read_header(&info, TRUE); });
  FWidth = static_cast<int>(info.image_width);
  FHeight = static_cast<int>(info.image_height);
  FComponents = info.num_components;
}

TJPEGImage TJPEGImage::LoadFromFile(const std::string& fileName) {
  TMemoryStream file;
  file.LoadFromFile(fileName);
  return TJPEGImage(file.Bytes());
}

void TJPEGImage::Decode(TDIB& page, bool cmykInverted) const {
  TMemoryStream stream(FData.data(), FData.size());
  if (FComponents == 4)
    page.LoadJpegFromStream(stream, cmykInverted);
  else
    page.LoadJpegFromStream(stream);
}
