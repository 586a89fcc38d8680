#include "pdf/PDFJpxDecode.h"

#include "pdf/PDFException.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <openjpeg.h>
#include <string>

namespace {

struct TSource {
  std::span<const uint8_t> data;
  size_t at = 0;
};

OPJ_SIZE_T ReadSource(void* buffer, OPJ_SIZE_T count, void* user) {
  auto& source = *static_cast<TSource*>(user);
  const size_t left = source.data.size() - source.at;
  if (left == 0) return static_cast<OPJ_SIZE_T>(-1);
  const size_t taken = std::min<size_t>(left, count);
  std::memcpy(buffer, source.data.data() + source.at, taken);
  source.at += taken;
  return taken;
}

OPJ_OFF_T SkipSource(OPJ_OFF_T count, void* user) {
  auto& source = *static_cast<TSource*>(user);
  const auto target = std::clamp<int64_t>(static_cast<int64_t>(source.at) + count, 0,
                                          static_cast<int64_t>(source.data.size()));
  const auto moved = target - static_cast<int64_t>(source.at);
  source.at = static_cast<size_t>(target);
  return moved;
}

OPJ_BOOL SeekSource(OPJ_OFF_T offset, void* user) {
  auto& source = *static_cast<TSource*>(user);
  if (offset < 0 || static_cast<uint64_t>(offset) > source.data.size()) return OPJ_FALSE;
  source.at = static_cast<size_t>(offset);
  return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

void Remember(const char* message, void* user) {
  auto& text = *static_cast<std::string*>(user);
  if (text.empty()) text = message;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
}

struct TCodecCloser {
  void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct TStreamCloser {
  void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct TImageCloser {
  void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

[[noreturn]] void JpxFailed(const std::string& what) {
  throw EPDFReadError("PDF image: JPEG 2000 data cannot be decoded: " + what);
}

// A sample scaled to 0..255 from its precision and sign.
uint8_t Scaled(int32_t value, const opj_image_comp_t& component) {
  const int precision = static_cast<int>(component.prec);
  int64_t v = value;
  if (component.sgnd) v += int64_t{1} << (precision - 1);
  v = std::clamp<int64_t>(v, 0, (int64_t{1} << precision) - 1);
  return static_cast<uint8_t>(precision >= 8 ? v >> (precision - 8)
                                             : v * 255 / ((1 << precision) - 1));
}

uint8_t Clamped(double value) {
  return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
}

} // namespace

void DecodeJpxData(std::span<const uint8_t> data, TDIB& page) {
  static const uint8_t kJp2[] = {0, 0, 0, 12, 'j', 'P', ' ', ' '};
  const bool jp2 = data.size() >= sizeof kJp2 && std::memcmp(data.data(), kJp2, sizeof kJp2) == 0;
  std::unique_ptr<opj_codec_t, TCodecCloser> codec(
      opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!codec) JpxFailed("no decoder");
  std::string error;
  opj_set_info_handler(codec.get(), Quiet, nullptr);
  opj_set_warning_handler(codec.get(), Quiet, nullptr);
  opj_set_error_handler(codec.get(), Remember, &error);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) JpxFailed("no decoder");

  TSource source{data, 0};
  std::unique_ptr<opj_stream_t, TStreamCloser> stream(opj_stream_create(1 << 16, OPJ_TRUE));
  if (!stream) JpxFailed("no stream");
  opj_stream_set_user_data(stream.get(), &source, nullptr);
  opj_stream_set_user_data_length(stream.get(), data.size());
  opj_stream_set_read_function(stream.get(), ReadSource);
  opj_stream_set_skip_function(stream.get(), SkipSource);
  opj_stream_set_seek_function(stream.get(), SeekSource);

  opj_image_t* header = nullptr;
  const bool read = opj_read_header(stream.get(), codec.get(), &header) != 0;
  std::unique_ptr<opj_image_t, TImageCloser> image(header);
  if (!read || !image) JpxFailed(error);
  if (image->numcomps == 0 || image->x1 <= image->x0 || image->y1 <= image->y0)
    JpxFailed("no picture");
  const int64_t width = int64_t{image->x1} - image->x0, height = int64_t{image->y1} - image->y0;
  const bool colour = image->numcomps >= 3;
  CheckImageSize(width, height, 32 * std::min<int>(static_cast<int>(image->numcomps), 4));
  if (!opj_decode(codec.get(), stream.get(), image.get()) ||
      !opj_end_decompress(codec.get(), stream.get()))
    JpxFailed(error);

  const int used = colour ? 3 : 1;
  for (int c = 0; c < used; ++c) {
    const opj_image_comp_t& component = image->comps[c];
    if (component.data == nullptr || component.w != static_cast<OPJ_UINT32>(width) ||
        component.h != static_cast<OPJ_UINT32>(height) || component.prec < 1 || component.prec > 31)
      throw EPDFReadError("PDF image: subsampled JPEG 2000 data not supported");
  }
  page.NewImage(static_cast<int>(width), static_cast<int>(height), colour ? pf24bit : pf8bit, 0, 0);
  for (int i = 0; !colour && i < 256; ++i)
    page.SetPaletteEntry(
        i, PaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
  const bool ycc = image->color_space == OPJ_CLRSPC_SYCC;
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* row = page.ScanLine(static_cast<int>(y));
    for (int64_t x = 0; x < width; ++x) {
      const size_t at = static_cast<size_t>(y * width + x);
      if (!colour) {
        row[x] = Scaled(image->comps[0].data[at], image->comps[0]);
        continue;
      }
      uint8_t r = Scaled(image->comps[0].data[at], image->comps[0]);
      uint8_t g = Scaled(image->comps[1].data[at], image->comps[1]);
      uint8_t b = Scaled(image->comps[2].data[at], image->comps[2]);
      if (ycc) {
        const double luma = r, cb = g - 128.0, cr = b - 128.0;
        r = Clamped(luma + 1.402 * cr);
        g = Clamped(luma - 0.344136 * cb - 0.714136 * cr);
        b = Clamped(luma + 1.772 * cb);
      }
      // Rows keep blue, green, red.
      row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
    }
  }
}
