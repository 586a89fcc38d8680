#include "graphics/JpegCoder.h"

#include "graphics/GraphicTypes.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace {

// libjpeg's error exit must not return: it jumps back into the small guarded
// calls below, whose frames hold nothing with a destructor.
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

void Attach(jpeg_error_mgr* manager) {
  jpeg_std_error(manager);
  manager->error_exit = OnErrorExit;
  manager->emit_message = OnEmitMessage;
}

constexpr size_t kBufferSize = 64 * 1024;

struct TSource {
  jpeg_source_mgr manager;
  TStream* stream;
  JOCTET buffer[kBufferSize];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<TSource*>(cinfo->src);
  const size_t n = source->stream->Read(source->buffer, kBufferSize);
  if (n == 0) {
    // An end of data: hand libjpeg an end-of-image marker, as its own readers do.
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = 2;
    return TRUE;
  }
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* source = reinterpret_cast<TSource*>(cinfo->src);
  while (count > static_cast<long>(source->manager.bytes_in_buffer)) {
    count -= static_cast<long>(source->manager.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  if (count > 0) {
    source->manager.next_input_byte += count;
    source->manager.bytes_in_buffer -= static_cast<size_t>(count);
  }
}

struct TDestination {
  jpeg_destination_mgr manager;
  TStream* stream;
  JOCTET buffer[kBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* target = reinterpret_cast<TDestination*>(cinfo->dest);
  target->manager.next_output_byte = target->buffer;
  target->manager.free_in_buffer = kBufferSize;
}

void Flush(j_compress_ptr cinfo, size_t count) {
  auto* target = reinterpret_cast<TDestination*>(cinfo->dest);
  if (target->stream->Write(target->buffer, count) != count) {
    std::snprintf(reinterpret_cast<TErrorManager*>(cinfo->err)->message, JMSG_LENGTH_MAX,
                  "Stream write error");
    std::longjmp(reinterpret_cast<TErrorManager*>(cinfo->err)->jump, 1);
  }
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* target = reinterpret_cast<TDestination*>(cinfo->dest);
  Flush(cinfo, kBufferSize);
  target->manager.next_output_byte = target->buffer;
  target->manager.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* target = reinterpret_cast<TDestination*>(cinfo->dest);
  Flush(cinfo, kBufferSize - target->manager.free_in_buffer);
}

bool GuardedCreateDecompress(jpeg_decompress_struct* cinfo, TErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_decompress(cinfo);
  return true;
}

bool GuardedReadHeader(jpeg_decompress_struct* cinfo, TErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_read_header(cinfo, TRUE);
  return true;
}

bool GuardedCreateCompress(jpeg_compress_struct* cinfo, TErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_compress(cinfo);
  return true;
}

bool GuardedStartCompress(jpeg_compress_struct* cinfo, TErrorManager* errors,
                          const TJpegImage* image) {
  if (setjmp(errors->jump)) return false;
  cinfo->image_width = static_cast<JDIMENSION>(image->width);
  cinfo->image_height = static_cast<JDIMENSION>(image->height);
  cinfo->input_components = image->components;
  cinfo->in_color_space = image->components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, image->quality, TRUE);
  cinfo->write_JFIF_header = TRUE;
  cinfo->density_unit = 1;
  cinfo->X_density = static_cast<UINT16>(std::clamp(image->xDpi, 0, 65535));
  cinfo->Y_density = static_cast<UINT16>(std::clamp(image->yDpi, 0, 65535));
  jpeg_start_compress(cinfo, TRUE);
  return true;
}

bool GuardedWriteRow(jpeg_compress_struct* cinfo, TErrorManager* errors, JSAMPROW row) {
  if (setjmp(errors->jump)) return false;
  jpeg_write_scanlines(cinfo, &row, 1);
  return true;
}

bool GuardedFinishCompress(jpeg_compress_struct* cinfo, TErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_finish_compress(cinfo);
  return true;
}

} // namespace

int JpegComponentCount(TStream& stream) {
  const int64_t start = stream.Position();
  jpeg_decompress_struct info{};
  TErrorManager errors{};
  TSource source{};
  info.err = &errors.manager;
  Attach(&errors.manager);
  source.stream = &stream;
  source.manager.init_source = InitSource;
  source.manager.fill_input_buffer = FillInputBuffer;
  source.manager.skip_input_data = SkipInputData;
  source.manager.resync_to_restart = jpeg_resync_to_restart;
  source.manager.term_source = TermSource;
  if (!GuardedCreateDecompress(&info, &errors)) throw EGraphicError(errors.message);
  info.src = &source.manager;
  const bool ok = GuardedReadHeader(&info, &errors);
  const int components = info.num_components;
  jpeg_destroy_decompress(&info);
  stream.SetPosition(start);
  if (!ok) throw EGraphicError(errors.message);
  return components;
}

void WriteJpeg(TStream& stream, const TJpegImage& image) {
  struct TCompressor {
    jpeg_compress_struct info{};
    TErrorManager errors{};
    TDestination destination{};
    bool created = false;
    ~TCompressor() {
      if (created) jpeg_destroy_compress(&info);
    }
  } coder;
  coder.info.err = &coder.errors.manager;
  Attach(&coder.errors.manager);
  if (!GuardedCreateCompress(&coder.info, &coder.errors)) throw EGraphicError(coder.errors.message);
  coder.created = true;
  coder.destination.stream = &stream;
  coder.destination.manager.init_destination = InitDestination;
  coder.destination.manager.empty_output_buffer = EmptyOutputBuffer;
  coder.destination.manager.term_destination = TermDestination;
  coder.info.dest = &coder.destination.manager;
  if (!GuardedStartCompress(&coder.info, &coder.errors, &image))
    throw EGraphicError(coder.errors.message);
  std::vector<uint8_t> samples(static_cast<size_t>(image.width) *
                               static_cast<size_t>(image.components));
  for (int y = 0; y < image.height; ++y) {
    image.row(y, samples.data());
    if (!GuardedWriteRow(&coder.info, &coder.errors, samples.data()))
      throw EGraphicError(coder.errors.message);
  }
  if (!GuardedFinishCompress(&coder.info, &coder.errors)) throw EGraphicError(coder.errors.message);
}
