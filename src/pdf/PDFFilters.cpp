#include "pdf/PDFFilters.h"

#include "pdf/PDFException.h"
#include "pdf/PDFLexer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

namespace {

constexpr size_t kChunk = 64 * 1024;

class TInflater {
public:
  TInflater() {
    if (inflateInit(&FZip) != Z_OK) throw EPDFReadError("Out of memory");
  }
  ~TInflater() { inflateEnd(&FZip); }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;
  z_stream& Zip() { return FZip; }

private:
  z_stream FZip{};
};

uint8_t Paeth(int left, int up, int upLeft) {
  const int p = left + up - upLeft;
  const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(left);
  return static_cast<uint8_t>(pb <= pc ? up : upLeft);
}

} // namespace

TFilterResult InflatePDF(std::span<const uint8_t> data, size_t limit) {
  TFilterResult result;
  TInflater inflater;
  z_stream& zip = inflater.Zip();
  size_t consumed = 0;
  for (;;) {
    if (result.Data.size() >= limit) {
      // Full: anything more the stream would give is cut off.
      uint8_t probe;
      zip.next_out = &probe;
      zip.avail_out = 1;
      const size_t left = data.size() - consumed;
      zip.next_in = const_cast<Bytef*>(data.data() + consumed);
      zip.avail_in = static_cast<uInt>(std::min<size_t>(left, kChunk));
      const int code = inflate(&zip, Z_NO_FLUSH);
      result.Truncated = zip.avail_out == 0 && (code == Z_OK || code == Z_STREAM_END);
      return result;
    }
    const size_t start = result.Data.size();
    const size_t room = std::min(kChunk, limit - start);
    result.Data.resize(start + room);
    const size_t left = data.size() - consumed;
    zip.next_in = const_cast<Bytef*>(data.data() + consumed);
    zip.avail_in = static_cast<uInt>(std::min<size_t>(left, kChunk));
    zip.next_out = result.Data.data() + start;
    zip.avail_out = static_cast<uInt>(room);
    const uInt given = zip.avail_in;
    const int code = inflate(&zip, Z_NO_FLUSH);
    consumed += given - zip.avail_in;
    result.Data.resize(start + room - zip.avail_out);
    if (code == Z_STREAM_END) return result;
    if (code == Z_BUF_ERROR && zip.avail_in == 0 && consumed == data.size()) return result;
    if (code == Z_DATA_ERROR || code == Z_NEED_DICT) {
      // Bad data after a good start ends the stream there, as readers take it.
      if (result.Data.empty()) throw EPDFReadError("PDF file damaged: bad Flate data");
      return result;
    }
    if (code != Z_OK && code != Z_BUF_ERROR) throw EPDFReadError("Out of memory");
  }
}

TFilterResult RunLengthDecodePDF(std::span<const uint8_t> data, size_t limit) {
  TFilterResult result;
  size_t i = 0;
  while (i < data.size()) {
    const int length = data[i++];
    if (length == 128) break;
    const size_t count =
        length < 128 ? static_cast<size_t>(length) + 1 : 257 - static_cast<size_t>(length);
    if (result.Data.size() + count > limit) {
      result.Truncated = true;
      break;
    }
    if (length < 128) {
      const size_t available = std::min(count, data.size() - i);
      result.Data.insert(result.Data.end(), data.begin() + static_cast<ptrdiff_t>(i),
                         data.begin() + static_cast<ptrdiff_t>(i + available));
      i += available;
    } else {
      if (i >= data.size()) break;
      result.Data.insert(result.Data.end(), count, data[i++]);
    }
  }
  return result;
}

void UndoPredictor(std::vector<uint8_t>& data, const TPredictorParameters& parameters) {
  const int predictor = parameters.Predictor;
  if (predictor == 1) return;
  const int bits = parameters.BitsPerComponent;
  if (parameters.Colors < 1 || parameters.Colors > 32 || parameters.Columns < 1 ||
      (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16))
    throw EPDFReadError("PDF file damaged: bad predictor parameters");
  const uint64_t rowBits =
      uint64_t(parameters.Columns) * uint64_t(parameters.Colors) * uint64_t(bits);
  const uint64_t rowBytes64 = (rowBits + 7) / 8;
  if (rowBytes64 > data.size() + 1) {
    // Not one whole row: nothing to undo.
    if (predictor >= 10) data.clear();
    return;
  }
  const auto rowBytes = static_cast<size_t>(rowBytes64);
  const size_t pixelBytes = std::max(1, parameters.Colors * bits / 8);

  if (predictor == 2) {
    if (bits != 8 && bits != 16) throw EPDFReadError("PDF file damaged: unsupported predictor");
    for (size_t row = 0; row + rowBytes <= data.size(); row += rowBytes) {
      uint8_t* p = data.data() + row;
      if (bits == 8) {
        for (size_t i = pixelBytes; i < rowBytes; ++i)
          p[i] = static_cast<uint8_t>(p[i] + p[i - pixelBytes]);
      } else {
        for (size_t i = pixelBytes; i + 1 < rowBytes; i += 2) {
          const unsigned sum = (unsigned(p[i]) << 8 | p[i + 1]) +
                               (unsigned(p[i - pixelBytes]) << 8 | p[i - pixelBytes + 1]);
          p[i] = static_cast<uint8_t>(sum >> 8);
          p[i + 1] = static_cast<uint8_t>(sum);
        }
      }
    }
    return;
  }
  if (predictor < 10 || predictor > 15)
    throw EPDFReadError("PDF file damaged: unsupported predictor");

  // PNG: each row is a filter-type byte and the filtered row; the output
  // drops the type bytes, working in place (the output never overtakes the input).
  std::vector<uint8_t> previous(rowBytes, 0);
  size_t in = 0, out = 0;
  while (in < data.size()) {
    const int type = data[in++];
    const size_t count = std::min(rowBytes, data.size() - in);
    uint8_t* row = data.data() + out;
    std::memmove(row, data.data() + in, count);
    in += count;
    for (size_t i = 0; i < count; ++i) {
      const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
      const int up = previous[i];
      const int upLeft = i >= pixelBytes ? previous[i - pixelBytes] : 0;
      switch (type) {
      case 0:
        break;
      case 1:
        row[i] = static_cast<uint8_t>(row[i] + left);
        break;
      case 2:
        row[i] = static_cast<uint8_t>(row[i] + up);
        break;
      case 3:
        row[i] = static_cast<uint8_t>(row[i] + (left + up) / 2);
        break;
      case 4:
        row[i] = static_cast<uint8_t>(row[i] + Paeth(left, up, upLeft));
        break;
      default:
        throw EPDFReadError("PDF file damaged: bad PNG predictor row");
      }
    }
    std::copy(row, row + count, previous.begin());
    out += count;
  }
  data.resize(out);
}
