#include "raster/JpegCoding.h"

#include "raster/DIBTypes.h"

#include <jerror.h>
#include <type_traits>

namespace {

constexpr size_t kBufferSize = 64 * 1024;
// Progressive files can announce any number of scans; a page needs few.
constexpr int kMaxScans = 500;

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<TJpegErrorState*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level != -1 || !cinfo->is_decompressor) return;
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

void OnProgress(j_common_ptr cinfo) {
  auto* decompressor = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (cinfo->is_decompressor && decompressor->input_scan_number > kMaxScans) {
    auto* errors = reinterpret_cast<TJpegErrorState*>(cinfo->err);
    std::snprintf(errors->message, JMSG_LENGTH_MAX, "Too many scans in JPEG file");
    std::longjmp(errors->jump, 1);
  }
}

void InitErrors(TJpegErrorState& errors) {
  jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnErrorExit;
  errors.manager.emit_message = OnEmitMessage;
  errors.message[0] = '\0';
  errors.writeFailed = false;
}

} // namespace

struct TJpegDecoder::TState {
  jpeg_decompress_struct info{};
  TJpegErrorState errors{};
  jpeg_source_mgr source{};
  jpeg_progress_mgr progress{};
  TStream* stream = nullptr;
  bool created = false;
  JOCTET buffer[kBufferSize];

  // The decompressor is the state's first member, so its address is the state's.
  static TState& Of(j_decompress_ptr cinfo) { return *reinterpret_cast<TState*>(cinfo); }
  // The end of the data where more is needed ends the decoding.
  static boolean Fill(j_decompress_ptr cinfo) {
    TState& state = Of(cinfo);
    const size_t n = state.stream->Read(state.buffer, kBufferSize);
    if (n == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
    state.source.next_input_byte = state.buffer;
    state.source.bytes_in_buffer = n;
    return TRUE;
  }
  static void Skip(j_decompress_ptr cinfo, long count) {
    TState& state = Of(cinfo);
    while (count > static_cast<long>(state.source.bytes_in_buffer)) {
      count -= static_cast<long>(state.source.bytes_in_buffer);
      Fill(cinfo);
    }
    if (count > 0) {
      state.source.next_input_byte += count;
      state.source.bytes_in_buffer -= static_cast<size_t>(count);
    }
  }
  static void Nothing(j_decompress_ptr) {}
};

TJpegDecoder::TJpegDecoder(TStream& stream) : FState(std::make_unique<TState>()) {
  static_assert(std::is_standard_layout_v<TState>);
  TState& state = *FState;
  InitErrors(state.errors);
  FErrors = &state.errors;
  state.info.err = &state.errors.manager;
  Call<Exception>([&] { jpeg_create_decompress(&state.info); });
  state.created = true;
  state.stream = &stream;
  state.source.init_source = TState::Nothing;
  state.source.fill_input_buffer = TState::Fill;
  state.source.skip_input_data = TState::Skip;
  state.source.resync_to_restart = jpeg_resync_to_restart;
  state.source.term_source = TState::Nothing;
  state.info.src = &state.source;
  state.progress.progress_monitor = OnProgress;
  state.info.progress = &state.progress;
  state.info.mem->max_memory_to_use = kMaxImageBytes;
}

TJpegDecoder::~TJpegDecoder() {
  if (FState->created) jpeg_destroy_decompress(&FState->info);
}

jpeg_decompress_struct& TJpegDecoder::Info() {
  return FState->info;
}

struct TJpegEncoder::TState {
  jpeg_compress_struct info{};
  TJpegErrorState errors{};
  jpeg_destination_mgr destination{};
  TStream* stream = nullptr;
  bool created = false;
  JOCTET buffer[kBufferSize];

  // The compressor is the state's first member, so its address is the state's.
  static TState& Of(j_compress_ptr cinfo) { return *reinterpret_cast<TState*>(cinfo); }
  static void Write(j_compress_ptr cinfo, size_t count) {
    TState& state = Of(cinfo);
    if (state.stream->Write(state.buffer, count) != count) {
      state.errors.writeFailed = true;
      ERREXIT(cinfo, JERR_FILE_WRITE);
    }
  }
  static void Init(j_compress_ptr cinfo) {
    TState& state = Of(cinfo);
    state.destination.next_output_byte = state.buffer;
    state.destination.free_in_buffer = kBufferSize;
  }
  static boolean Empty(j_compress_ptr cinfo) {
    Write(cinfo, kBufferSize);
    Init(cinfo);
    return TRUE;
  }
  static void Term(j_compress_ptr cinfo) {
    Write(cinfo, kBufferSize - Of(cinfo).destination.free_in_buffer);
  }
};

TJpegEncoder::TJpegEncoder(TStream& stream) : FState(std::make_unique<TState>()) {
  static_assert(std::is_standard_layout_v<TState>);
  TState& state = *FState;
  InitErrors(state.errors);
  FErrors = &state.errors;
  state.info.err = &state.errors.manager;
  Call<Exception>([&] { jpeg_create_compress(&state.info); });
  state.created = true;
  state.stream = &stream;
  state.destination.init_destination = TState::Init;
  state.destination.empty_output_buffer = TState::Empty;
  state.destination.term_destination = TState::Term;
  state.info.dest = &state.destination;
}

TJpegEncoder::~TJpegEncoder() {
  if (FState->created) jpeg_destroy_compress(&FState->info);
}

jpeg_compress_struct& TJpegEncoder::Info() {
  return FState->info;
}
