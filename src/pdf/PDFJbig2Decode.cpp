#include "pdf/PDFJbig2Decode.h"

#include "pdf/PDFException.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <jbig2.h>
}

namespace {

// An allocator that refuses to hold more than a few pages' worth in all, so
// that no segment header can make the decoder take memory wildly.
struct TBoundedAllocator {
  Jbig2Allocator base;
  size_t held = 0;
};
constexpr size_t kMaxJbig2Bytes = 2 * static_cast<size_t>(kMaxImageBytes);

void* Allocate(Jbig2Allocator* allocator, size_t size) {
  auto* bounded = reinterpret_cast<TBoundedAllocator*>(allocator);
  if (size > kMaxJbig2Bytes - bounded->held) return nullptr;
  auto* block = static_cast<size_t*>(std::malloc(size + sizeof(size_t)));
  if (block == nullptr) return nullptr;
  *block = size;
  bounded->held += size;
  return block + 1;
}

void Release(Jbig2Allocator* allocator, void* pointer) {
  if (pointer == nullptr) return;
  auto* block = static_cast<size_t*>(pointer) - 1;
  reinterpret_cast<TBoundedAllocator*>(allocator)->held -= *block;
  std::free(block);
}

void* Reallocate(Jbig2Allocator* allocator, void* pointer, size_t size) {
  if (pointer == nullptr) return Allocate(allocator, size);
  const size_t old = *(static_cast<size_t*>(pointer) - 1);
  void* moved = Allocate(allocator, size);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, pointer, old < size ? old : size);
  Release(allocator, pointer);
  return moved;
}

void Remember(void* data, const char* message, Jbig2Severity severity, uint32_t) {
  auto& text = *static_cast<std::string*>(data);
  if (severity == JBIG2_SEVERITY_FATAL && text.empty()) text = message;
}

struct TContext {
  TBoundedAllocator allocator{{Allocate, Release, Reallocate}, 0};
  std::string error;
  Jbig2GlobalCtx* globals = nullptr;
  Jbig2Ctx* context = nullptr;
  TContext() = default;
  TContext(const TContext&) = delete;
  TContext& operator=(const TContext&) = delete;
  ~TContext() {
    if (context != nullptr) jbig2_ctx_free(context);
    if (globals != nullptr) jbig2_global_ctx_free(globals);
  }
};

[[noreturn]] void Jbig2Failed(const std::string& what) {
  throw EPDFReadError("PDF image: JBIG2 data cannot be decoded" +
                      (what.empty() ? std::string() : ": " + what));
}

} // namespace

void DecodeJbig2Data(std::span<const uint8_t> data, std::span<const uint8_t> globals, TDIB& page) {
  TContext state;
  if (!globals.empty()) {
    Jbig2Ctx* reader = jbig2_ctx_new(&state.allocator.base, JBIG2_OPTIONS_EMBEDDED, nullptr,
                                     Remember, &state.error);
    if (reader == nullptr) Jbig2Failed(state.error);
    if (jbig2_data_in(reader, globals.data(), globals.size()) < 0) {
      jbig2_ctx_free(reader);
      Jbig2Failed(state.error);
    }
    state.globals = jbig2_make_global_ctx(reader);
  }
  state.context = jbig2_ctx_new(&state.allocator.base, JBIG2_OPTIONS_EMBEDDED, state.globals,
                                Remember, &state.error);
  if (state.context == nullptr) Jbig2Failed(state.error);
  if (jbig2_data_in(state.context, data.data(), data.size()) < 0 ||
      jbig2_complete_page(state.context) < 0)
    Jbig2Failed(state.error);
  Jbig2Image* image = jbig2_page_out(state.context);
  if (image == nullptr) Jbig2Failed(state.error.empty() ? "no page" : state.error);
  try {
    page.NewImage(static_cast<int>(image->width), static_cast<int>(image->height), pf1bit, 0, 0);
    page.SetPaletteEntry(0, PaletteColor(0, 0, 0));
    page.SetPaletteEntry(1, PaletteColor(255, 255, 255));
    // jbig2dec's 1 is black; the page keeps 0 for black.
    const auto bytes = static_cast<size_t>(page.RowBytes());
    for (uint32_t y = 0; y < image->height; ++y) {
      const uint8_t* source = image->data + static_cast<size_t>(y) * image->stride;
      uint8_t* row = page.ScanLine(static_cast<int>(y));
      for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~source[i]);
    }
  } catch (...) {
    jbig2_release_page(state.context, image);
    throw;
  }
  jbig2_release_page(state.context, image);
}
