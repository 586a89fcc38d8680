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

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>

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
