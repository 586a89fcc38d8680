#pragma once

// libjpeg on our streams, for every part of the program that reads or writes
// JPEG data.
//
// libjpeg reports errors by calling an exit routine that must not return:
// it jumps back into Call, whose frame holds nothing with a destructor, and
// Call raises the exception class E with libjpeg's message (EWriteError when
// the stream refused the coded data). Warnings are silent, except those that
// mean picture data was lost while decoding: a page decoded from damaged data
// must not pass for a good one.

#include "core/Exception.h"
#include "core/Stream.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <jpeglib.h>
#include <memory>
#include <vector>

struct TJpegErrorState {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool writeFailed;
};

// Runs one libjpeg step; false when it ended in libjpeg's error exit.
template <typename Step> bool JpegGuarded(TJpegErrorState& state, Step&& step) {
  if (setjmp(state.jump)) return false;
  step();
  return true;
}

template <typename E> [[noreturn]] void Fail(const TJpegErrorState& errors) {
  if (errors.writeFailed) throw EWriteError();
  throw E(errors.message);
}

// Runs libjpeg steps of one coder.
class TJpegCalls {
public:
  template <typename E, typename Step> void Call(Step&& step) {
    if (!JpegGuarded(*FErrors, step)) Fail<E>(*FErrors);
  }

protected:
  TJpegErrorState* FErrors = nullptr;
};

// A decompressor reading from a stream at its position.
class TJpegDecoder : public TJpegCalls {
public:
  explicit TJpegDecoder(TStream& stream);
  TJpegDecoder(const TJpegDecoder&) = delete;
  TJpegDecoder& operator=(const TJpegDecoder&) = delete;
  ~TJpegDecoder();
  jpeg_decompress_struct& Info();

private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// A compressor writing to a stream as it codes.
class TJpegEncoder : public TJpegCalls {
public:
  explicit TJpegEncoder(TStream& stream);
  TJpegEncoder(const TJpegEncoder&) = delete;
  TJpegEncoder& operator=(const TJpegEncoder&) = delete;
  ~TJpegEncoder();
  jpeg_compress_struct& Info();

private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// A picture handed to the encoder row by row.
struct TJpegRows {
  int width = 0;
  int height = 0;
  int components = 3;            // 1 grey, 3 colour
  J_COLOR_SPACE space = JCS_RGB; // of the rows handed over
  int quality = 75;
  // Whether the JFIF header carries xDpi and yDpi as dots per inch; without,
  // it keeps the library's default (no unit, aspect 1:1).
  bool dpi = false;
  int xDpi = 0;
  int yDpi = 0;
  // Row y (top first): either fills the buffer of width x components samples
  // and returns it, or returns samples of its own.
  std::function<const uint8_t*(int y, uint8_t* buffer)> row;
};

// Encodes a baseline JFIF stream at the library's defaults and the quality
// asked for, written to the stream as it is coded; failures raise E.
template <typename E> void EncodeJpegRows(TStream& stream, const TJpegRows& image) {
  TJpegEncoder encoder(stream);
  jpeg_compress_struct& info = encoder.Info();
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = image.components;
  info.in_color_space = image.space;
  encoder.Call<E>([&] {
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, image.quality, TRUE);
    if (image.dpi) {
      info.write_JFIF_header = TRUE;
      info.density_unit = 1;
      info.X_density = static_cast<UINT16>(std::clamp(image.xDpi, 0, 65535));
      info.Y_density = static_cast<UINT16>(std::clamp(image.yDpi, 0, 65535));
    }
    jpeg_start_compress(&info, TRUE);
  });
  std::vector<uint8_t> samples(static_cast<size_t>(image.width) *
                               static_cast<size_t>(image.components));
  for (int y = 0; y < image.height; ++y) {
    JSAMPROW row = const_cast<uint8_t*>(image.row(y, samples.data()));
    encoder.Call<E>([&] { jpeg_write_scanlines(&info, &row, 1); });
  }
  encoder.Call<E>([&] { jpeg_finish_compress(&info); });
}
