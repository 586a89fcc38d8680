#include "pdf/JpegCodec.h"

#include "core/MemoryStream.h"

#include <array>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <jpeglib.h>
#include <jerror.h>

namespace {

// libjpeg reports errors by calling error_exit, which must not return; it
// jumps back into the small guarded calls below, whose frames hold no objects
// with destructors. The message is kept for the exception raised afterwards.
struct TErrorManager {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<TErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

void OnEmitMessage(j_common_ptr, int) {}

constexpr size_t kOutputSize = 64 * 1024;

// Hands every full buffer of coded data to the stream. A failed write ends
// the coding through the error manager.
struct TDestination {
  jpeg_destination_mgr manager;
  TStream* stream;
  bool writeFailed;
  JOCTET buffer[kOutputSize];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<TDestination*>(cinfo->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<TDestination*>(cinfo->dest);
  if (destination->stream->Write(destination->buffer, kOutputSize) != kOutputSize) {
    destination->writeFailed = true;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<TDestination*>(cinfo->dest);
  const size_t count = kOutputSize - destination->manager.free_in_buffer;
  if (destination->stream->Write(destination->buffer, count) != count) {
    destination->writeFailed = true;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

bool GuardedCreate(jpeg_compress_struct* cinfo, TErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_compress(cinfo);
  return true;
}

bool GuardedStart(jpeg_compress_struct* cinfo, TErrorManager* errors, int quality) {
  if (setjmp(errors->jump)) return false;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  return true;
}

bool GuardedWrite(jpeg_compress_struct* cinfo, TErrorManager* errors, JSAMPROW row) {
  if (setjmp(errors->jump)) return false;
  jpeg_write_scanlines(cinfo, &row, 1);
  return true;
}

bool GuardedFinish(jpeg_compress_struct* cinfo, TErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_finish_compress(cinfo);
  return true;
}

class TJpegEncoder {
public:
  explicit TJpegEncoder(TStream& stream) : FDestination(std::make_unique<TDestination>()) {
    FInfo.err = jpeg_std_error(&FErrors.manager);
    FErrors.manager.error_exit = OnErrorExit;
    FErrors.manager.emit_message = OnEmitMessage;
    Check(GuardedCreate(&FInfo, &FErrors));
    FCreated = true;
    FDestination->stream = &stream;
    FDestination->writeFailed = false;
    FDestination->manager.init_destination = InitDestination;
    FDestination->manager.empty_output_buffer = EmptyOutputBuffer;
    FDestination->manager.term_destination = TermDestination;
    FInfo.dest = &FDestination->manager;
  }
  TJpegEncoder(const TJpegEncoder&) = delete;
  TJpegEncoder& operator=(const TJpegEncoder&) = delete;
  ~TJpegEncoder() {
    if (FCreated) jpeg_destroy_compress(&FInfo);
  }

  jpeg_compress_struct& Info() { return FInfo; }
  TErrorManager* Errors() { return &FErrors; }
  void Check(bool ok) {
    if (ok) return;
    if (FDestination && FDestination->writeFailed) throw EWriteError();
    throw EJPEGError(FErrors.message);
  }

private:
  jpeg_compress_struct FInfo{};
  TErrorManager FErrors{};
  std::unique_ptr<TDestination> FDestination;
  bool FCreated = false;
};

bool GuardedReadHeader(jpeg_decompress_struct* cinfo, TErrorManager* errors,
                       const std::vector<uint8_t>& data) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(cinfo, TRUE);
  return true;
}

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

} // namespace

void EncodeJpeg(const TDIB& page, int quality, TStream& output) {
  TJpegEncoder encoder(output);
  jpeg_compress_struct& info = encoder.Info();
  info.image_width = static_cast<JDIMENSION>(page.Width());
  info.image_height = static_cast<JDIMENSION>(page.Height());
  info.input_components = 3;
  const bool direct = page.BitCount() == 24;
  info.in_color_space = JCS_EXT_BGR;
  encoder.Check(GuardedStart(&info, encoder.Errors(), quality));
  std::unique_ptr<TRowExpander> expander;
  if (!direct) expander = std::make_unique<TRowExpander>(page);
  for (int y = 0; y < page.Height(); ++y) {
    uint8_t* row = direct ? const_cast<uint8_t*>(page.ScanLine(y)) : expander->Row(y);
    encoder.Check(GuardedWrite(&info, encoder.Errors(), row));
  }
  encoder.Check(GuardedFinish(&info, encoder.Errors()));
}

TJPEGImage::TJPEGImage(std::vector<uint8_t> data) : FData(std::move(data)) {
  jpeg_decompress_struct info{};
  TErrorManager errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnErrorExit;
  errors.manager.emit_message = OnEmitMessage;
  const bool ok = GuardedReadHeader(&info, &errors, FData);
  FWidth = static_cast<int>(info.image_width);
  FHeight = static_cast<int>(info.image_height);
  FComponents = info.num_components;
  jpeg_destroy_decompress(&info);
  if (!ok) throw EJPEGError(errors.message);
}

TJPEGImage TJPEGImage::LoadFromFile(const std::string& fileName) {
  TMemoryStream file;
  file.LoadFromFile(fileName);
  return TJPEGImage(file.Bytes());
}

void TJPEGImage::Decode(TDIB& page) const {
  TMemoryStream stream(FData.data(), FData.size());
  page.LoadJpegFromStream(stream);
}
