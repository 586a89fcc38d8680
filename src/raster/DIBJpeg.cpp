#include "raster/DIB.h"

#include "core/Rounding.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// libjpeg reports errors by calling error_exit, which must not return; it
// jumps back into the small guarded calls below, whose frames hold no objects
// with destructors. The message is kept for the exception raised afterwards.
struct TJpegErrorManager {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings are silent, except those that mean picture data was lost: a page
// decoded from damaged data must not pass for a good one.
void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level != -1) return;
  switch (cinfo->err->msg_code) {
  case JWRN_HIT_MARKER:
  case JWRN_MUST_RESYNC:
  case JWRN_JPEG_EOF:
  case JWRN_HUFF_BAD_CODE:
    OnErrorExit(cinfo);
  default:
    break;
  }
}

// Progressive files can announce any number of scans; a page needs few.
constexpr int kMaxScans = 500;

void OnProgress(j_common_ptr cinfo) {
  auto* decompressor = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decompressor->is_decompressor && decompressor->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_NOTIMPL;
    std::snprintf(reinterpret_cast<TJpegErrorManager*>(cinfo->err)->message, JMSG_LENGTH_MAX,
                  "Too many scans in JPEG file");
    std::longjmp(reinterpret_cast<TJpegErrorManager*>(cinfo->err)->jump, 1);
  }
}

constexpr size_t kSourceBufferSize = 64 * 1024;

struct TJpegSource {
  jpeg_source_mgr manager;
  TStream* stream;
  JOCTET buffer[kSourceBufferSize];
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<TJpegSource*>(cinfo->src);
  size_t n = source->stream->Read(source->buffer, kSourceBufferSize);
  if (n == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* source = reinterpret_cast<TJpegSource*>(cinfo->src);
  while (count > static_cast<long>(source->manager.bytes_in_buffer)) {
    count -= static_cast<long>(source->manager.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  if (count > 0) {
    source->manager.next_input_byte += count;
    source->manager.bytes_in_buffer -= static_cast<size_t>(count);
  }
}

void TermSource(j_decompress_ptr) {}

bool GuardedCreate(jpeg_decompress_struct* cinfo, TJpegErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_decompress(cinfo);
  return true;
}

bool GuardedReadHeader(jpeg_decompress_struct* cinfo, TJpegErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_read_header(cinfo, TRUE);
  return true;
}

bool GuardedStart(jpeg_decompress_struct* cinfo, TJpegErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_start_decompress(cinfo);
  return true;
}

bool GuardedReadScanlines(jpeg_decompress_struct* cinfo, TJpegErrorManager* errors, JSAMPARRAY rows,
                          JDIMENSION count, JDIMENSION* read) {
  if (setjmp(errors->jump)) return false;
  *read = jpeg_read_scanlines(cinfo, rows, count);
  return true;
}

bool GuardedFinish(jpeg_decompress_struct* cinfo, TJpegErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_finish_decompress(cinfo);
  return true;
}

class TJpegDecoder {
public:
  explicit TJpegDecoder(TStream& stream) {
    FInfo.err = jpeg_std_error(&FErrors.manager);
    FErrors.manager.error_exit = OnErrorExit;
    FErrors.manager.emit_message = OnEmitMessage;
    if (!GuardedCreate(&FInfo, &FErrors)) throw EDIBError(FErrors.message);
    FCreated = true;
    FSource.stream = &stream;
    FSource.manager.init_source = InitSource;
    FSource.manager.fill_input_buffer = FillInputBuffer;
    FSource.manager.skip_input_data = SkipInputData;
    FSource.manager.resync_to_restart = jpeg_resync_to_restart;
    FSource.manager.term_source = TermSource;
    FSource.manager.bytes_in_buffer = 0;
    FSource.manager.next_input_byte = nullptr;
    FInfo.src = &FSource.manager;
    FProgress.progress_monitor = OnProgress;
    FInfo.progress = &FProgress;
    FInfo.mem->max_memory_to_use = kMaxImageBytes;
  }
  TJpegDecoder(const TJpegDecoder&) = delete;
  TJpegDecoder& operator=(const TJpegDecoder&) = delete;
  ~TJpegDecoder() {
    if (FCreated) jpeg_destroy_decompress(&FInfo);
  }

  jpeg_decompress_struct& Info() { return FInfo; }
  void Check(bool ok) {
    if (!ok) throw EDIBError(FErrors.message);
  }
  TJpegErrorManager* Errors() { return &FErrors; }

private:
  jpeg_decompress_struct FInfo{};
  TJpegErrorManager FErrors{};
  TJpegSource FSource{};
  jpeg_progress_mgr FProgress{};
  bool FCreated = false;
};

} // namespace

void TDIB::LoadJpegFromStream(TStream& stream) {
  Clear();
  try {
    auto decoder = std::make_unique<TJpegDecoder>(stream);
    jpeg_decompress_struct& info = decoder->Info();
    TJpegErrorManager* errors = decoder->Errors();
    decoder->Check(GuardedReadHeader(&info, errors));
#ifdef JCS_EXTENSIONS
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    const bool swapRedBlue = false;
#else
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    const bool swapRedBlue = true;
#endif
    CheckImageSize(info.image_width, info.image_height, info.num_components == 1 ? 8 : 24);
    decoder->Check(GuardedStart(&info, errors));
    TPixelFormat format;
    switch (info.output_components) {
    case 1:
      format = pf8bit;
      break;
    case 3:
      format = pf24bit;
      break;
    default:
      throw EDIBError("Invalid samples count: " + std::to_string(info.output_components));
    }
    int xDpi = 0, yDpi = 0;
    if (info.density_unit == 1) {
      xDpi = info.X_density;
      yDpi = info.Y_density;
    } else if (info.density_unit == 2) {
      xDpi = static_cast<int>(Round(info.X_density * 2.54));
      yDpi = static_cast<int>(Round(info.Y_density * 2.54));
    }
    NewImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), format,
             xDpi, yDpi);
    const int height = Height();
    std::vector<JSAMPROW> rows(8);
    while (static_cast<int>(info.output_scanline) < height) {
      const int first = static_cast<int>(info.output_scanline);
      const int count = std::min(8, height - first);
      for (int i = 0; i < count; ++i) rows[static_cast<size_t>(i)] = ScanLine(first + i);
      JDIMENSION read = 0;
      decoder->Check(
          GuardedReadScanlines(&info, errors, rows.data(), static_cast<JDIMENSION>(count), &read));
      if (read == 0) throw EDIBError("JPEG decoding stopped early");
      if (swapRedBlue) {
        for (JDIMENSION i = 0; i < read; ++i) {
          uint8_t* p = rows[i];
          for (int x = 0; x < Width(); ++x, p += 3) std::swap(p[0], p[2]);
        }
      }
    }
    decoder->Check(GuardedFinish(&info, errors));
  } catch (...) {
    Clear();
    throw;
  }
}
