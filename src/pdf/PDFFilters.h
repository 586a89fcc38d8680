#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The decoded bytes of one filter and whether the data would have given more
// than the limit asked for.
struct TFilterResult {
  std::vector<uint8_t> Data;
  bool Truncated = false;
};

// FlateDecode: zlib data, decoded to at most limit bytes. Data cut short after
// a good start gives what it holds; data that is not zlib data raises
// EPDFReadError.
TFilterResult InflatePDF(std::span<const uint8_t> data, size_t limit);

// RunLengthDecode, to at most limit bytes.
TFilterResult RunLengthDecodePDF(std::span<const uint8_t> data, size_t limit);

// Parameters of the Flate predictors.
struct TPredictorParameters {
  int Predictor = 1; // 1 none, 2 TIFF horizontal differencing, 10 to 15 PNG
  int Colors = 1;
  int BitsPerComponent = 8;
  int Columns = 1;
};

// Undoes a predictor in place: PNG rows lose their filter-type byte. Raises
// EPDFReadError for parameters it does not take.
void UndoPredictor(std::vector<uint8_t>& data, const TPredictorParameters& parameters);
