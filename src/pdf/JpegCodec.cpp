#include "pdf/JpegCodec.h"

#include "core/MemoryStream.h"

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

// A page row as blue, green, red bytes: 24-bit rows are that already, the
// others go through their palette.
void ExpandRow(const TDIB& page, int y, uint8_t* out) {
  const uint8_t* row = page.ScanLine(y);
  const int width = page.Width();
  if (page.BitCount() == 24) {
    std::memcpy(out, row, static_cast<size_t>(width) * 3);
    return;
  }
  for (int x = 0; x < width; ++x, out += 3) {
    const uint32_t entry = page.PaletteEntry(page.GetPixel(x, y));
    out[0] = PaletteBlue(entry);
    out[1] = PaletteGreen(entry);
    out[2] = PaletteRed(entry);
  }
}

} // namespace

void EncodeJpeg(const TDIB& page, int quality, TStream& output) {
  TJpegEncoder encoder(output);
  jpeg_compress_struct& info = encoder.Info();
  info.image_width = static_cast<JDIMENSION>(page.Width());
  info.image_height = static_cast<JDIMENSION>(page.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  encoder.Check(GuardedStart(&info, encoder.Errors(), quality));
  std::vector<uint8_t> expanded(page.BitCount() == 24 ? 0 : static_cast<size_t>(page.Width()) * 3);
  for (int y = 0; y < page.Height(); ++y) {
    uint8_t* row = const_cast<uint8_t*>(page.ScanLine(y));
    if (!expanded.empty()) {
      ExpandRow(page, y, expanded.data());
      row = expanded.data();
    }
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
