#include "pdf/PDFFile.h"

#include "pdf/PDFException.h"
#include "pdf/PDFFilters.h"
#include "pdf/PDFLexer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

const TPDFObject kNull;

size_t FindLast(const std::vector<uint8_t>& bytes, std::string_view text, size_t window) {
  if (bytes.size() < text.size()) return std::string_view::npos;
  const size_t lowest = bytes.size() > window ? bytes.size() - window : 0;
  for (size_t i = bytes.size() - text.size() + 1; i-- > lowest;)
    if (std::memcmp(bytes.data() + i, text.data(), text.size()) == 0) return i;
  return std::string_view::npos;
}

std::string FilterName(const std::string& name) {
  if (name == "Fl") return "FlateDecode";
  if (name == "RL") return "RunLengthDecode";
  if (name == "DCT") return "DCTDecode";
  if (name == "CCF") return "CCITTFaxDecode";
  return name;
}

size_t Saturated(uint64_t value) {
  return value > SIZE_MAX / 2 ? SIZE_MAX / 2 : static_cast<size_t>(value);
}

} // namespace

TPDFFile::TPDFFile(std::vector<uint8_t> bytes)
    : FBytes(std::move(bytes)), FBudget(32 * uint64_t(FBytes.size()) + (uint64_t(16) << 20)) {
  const size_t window = std::min<size_t>(FBytes.size(), 1024);
  const std::string_view head(reinterpret_cast<const char*>(FBytes.data()), window);
  if (head.find("%PDF-") == std::string_view::npos) throw EPDFReadError("Not a PDF file");
  try {
    ReadCrossReferences();
  } catch (const EPDFReadError&) {
    Rebuild();
  }
  if (FTrailer.Find("Encrypt") != nullptr)
    throw EPDFReadError("Encrypted PDF files are not supported");
  if (FTrailer.Find("Root") == nullptr) PDFDamaged("no document catalogue");
}

TPDFFile::~TPDFFile() = default;

void TPDFFile::ReadCrossReferences() {
  const size_t keyword = FindLast(FBytes, "startxref", FBytes.size());
  if (keyword == std::string_view::npos) PDFDamaged("no cross-reference table");
  TPDFLexer lexer = Lexer(FBytes, keyword + 9);
  const TPDFToken start = lexer.Next();
  if (start.Type != TPDFToken::ttInteger || start.Integer < 0 ||
      static_cast<uint64_t>(start.Integer) >= FBytes.size())
    PDFDamaged("bad cross-reference offset");
  std::set<size_t> seen;
  size_t offset = static_cast<size_t>(start.Integer);
  for (;;) {
    if (!seen.insert(offset).second) PDFDamaged("cross-reference sections form a loop");
    if (seen.size() > static_cast<size_t>(kMaxPDFXRefSections))
      PDFDamaged("too many cross-reference sections");
    bool isStream = false;
    const TPDFObject trailer = ReadSection(offset, isStream);
    for (size_t i = 0; i < trailer.Keys().size(); ++i)
      if (trailer.Keys()[i] != "Prev" && trailer.Keys()[i] != "XRefStm")
        FTrailer.Set(trailer.Keys()[i], trailer.Items()[i]);
    // A table's hybrid companion holds objects kept in object streams.
    const TPDFObject* hybrid = trailer.Find("XRefStm");
    if (!isStream && hybrid != nullptr && hybrid->Kind() == TPDFObject::okInteger &&
        hybrid->IntegerValue() > 0 &&
        static_cast<uint64_t>(hybrid->IntegerValue()) < FBytes.size() &&
        seen.insert(static_cast<size_t>(hybrid->IntegerValue())).second) {
      bool hybridIsStream = false;
      ReadSection(static_cast<size_t>(hybrid->IntegerValue()), hybridIsStream);
      if (!hybridIsStream) PDFDamaged("bad cross-reference stream");
    }
    const TPDFObject* previous = trailer.Find("Prev");
    if (previous == nullptr) break;
    if (previous->Kind() != TPDFObject::okInteger || previous->IntegerValue() < 0 ||
        static_cast<uint64_t>(previous->IntegerValue()) >= FBytes.size())
      PDFDamaged("bad cross-reference offset");
    offset = static_cast<size_t>(previous->IntegerValue());
  }
}

TPDFObject TPDFFile::ReadSection(size_t offset, bool& isStream) {
  TPDFLexer lexer = Lexer(FBytes, offset);
  const TPDFToken first = lexer.Next();
  if (first.IsKeyword("xref")) {
    isStream = false;
    TPDFLexer trailer = Lexer(FBytes, ReadTable(lexer.Position()));
    TPDFObject dictionary = trailer.ParseObject();
    if (dictionary.Kind() != TPDFObject::okDictionary) PDFDamaged("bad trailer");
    return dictionary;
  }
  if (first.Type != TPDFToken::ttInteger) PDFDamaged("no cross-reference table");
  isStream = true;
  TPDFObject stream = ParseIndirect(offset, -1);
  if (stream.Kind() != TPDFObject::okStream || !Get(stream, "Type") ||
      !Get(stream, "Type")->IsName("XRef"))
    PDFDamaged("bad cross-reference stream");
  ReadStreamEntries(stream);
  return stream;
}

size_t TPDFFile::ReadTable(size_t position) {
  TPDFLexer lexer = Lexer(FBytes, position);
  for (;;) {
    TPDFToken token = lexer.Next();
    if (token.IsKeyword("trailer")) return lexer.Position();
    const TPDFToken count = lexer.Next();
    if (token.Type != TPDFToken::ttInteger || count.Type != TPDFToken::ttInteger ||
        token.Integer < 0 || count.Integer < 0 || token.Integer > kMaxPDFObjectNumber ||
        count.Integer > kMaxPDFObjectNumber + 1 - token.Integer)
      PDFDamaged("bad cross-reference table");
    for (int64_t i = 0; i < count.Integer; ++i) {
      const TPDFToken where = lexer.Next();
      const TPDFToken generation = lexer.Next();
      const TPDFToken kind = lexer.Next();
      if (where.Type != TPDFToken::ttInteger || generation.Type != TPDFToken::ttInteger ||
          (!kind.IsKeyword("n") && !kind.IsKeyword("f")) || where.Integer < 0 ||
          generation.Integer < 0)
        PDFDamaged("bad cross-reference table");
      TEntry entry;
      if (kind.IsKeyword("n")) {
        entry.Type = 1;
        entry.Field = static_cast<uint64_t>(where.Integer);
        entry.Index = static_cast<uint32_t>(std::min<int64_t>(generation.Integer, 65535));
      }
      AddEntry(token.Integer + i, entry);
    }
  }
}

void TPDFFile::ReadStreamEntries(const TPDFObject& stream) {
  const TPDFObject* widths = Get(stream, "W");
  if (widths == nullptr || widths->Kind() != TPDFObject::okArray || widths->Items().size() != 3)
    PDFDamaged("bad cross-reference stream");
  int width[3];
  size_t entrySize = 0;
  for (int i = 0; i < 3; ++i) {
    const int64_t w = IntegerOf(&Resolve(widths->Items()[static_cast<size_t>(i)]), -1);
    if (w < 0 || w > 8) PDFDamaged("bad cross-reference stream");
    width[i] = static_cast<int>(w);
    entrySize += static_cast<size_t>(w);
  }
  if (entrySize == 0) PDFDamaged("bad cross-reference stream");
  const int64_t size = IntegerOf(Get(stream, "Size"), -1);
  if (size < 0 || size > kMaxPDFObjectNumber + 1) PDFDamaged("bad cross-reference stream");
  std::vector<int64_t> index;
  if (const TPDFObject* ranges = Get(stream, "Index")) {
    if (ranges->Kind() != TPDFObject::okArray || ranges->Items().size() % 2 != 0)
      PDFDamaged("bad cross-reference stream");
    for (const TPDFObject& item : ranges->Items()) index.push_back(IntegerOf(&Resolve(item), -1));
  } else {
    index = {0, size};
  }
  const TDecodedStream decoded = DecodeStream(stream, kMaxPDFStructureBytes);
  if (decoded.Truncated) PDFDamaged("cross-reference stream too large");
  size_t position = 0;
  for (size_t range = 0; range < index.size(); range += 2) {
    const int64_t first = index[range], count = index[range + 1];
    if (first < 0 || count < 0 || first > kMaxPDFObjectNumber ||
        count > kMaxPDFObjectNumber + 1 - first)
      PDFDamaged("bad cross-reference stream");
    for (int64_t i = 0; i < count; ++i) {
      if (decoded.Data.size() - position < entrySize)
        PDFDamaged("cross-reference stream cut short");
      uint64_t field[3] = {1, 0, 0};
      for (int f = 0; f < 3; ++f) {
        if (width[f] == 0) continue;
        uint64_t value = 0;
        for (int b = 0; b < width[f]; ++b) value = value << 8 | decoded.Data[position++];
        field[f] = value;
      }
      TEntry entry;
      if (field[0] == 1 || field[0] == 2) {
        entry.Type = static_cast<uint8_t>(field[0]);
        entry.Field = field[1];
        entry.Index = static_cast<uint32_t>(std::min<uint64_t>(field[2], UINT32_MAX));
      } else if (field[0] != 0) {
        continue; // entry types of later versions: the object is absent
      }
      AddEntry(first + i, entry);
    }
  }
}

void TPDFFile::AddEntry(int64_t number, const TEntry& entry) {
  if (number <= 0 || number > kMaxPDFObjectNumber) return;
  if (FEntries.size() >= kMaxPDFObjects &&
      FEntries.find(static_cast<int>(number)) == FEntries.end())
    PDFDamaged("too many objects");
  FEntries.emplace(static_cast<int>(number), entry);
}

TPDFObject TPDFFile::ParseIndirect(size_t offset, int expectedNumber) {
  if (offset >= FBytes.size()) PDFDamaged("object outside the file");
  TPDFLexer lexer = Lexer(FBytes, offset);
  const TPDFToken number = lexer.Next();
  const TPDFToken generation = lexer.Next();
  const TPDFToken keyword = lexer.Next();
  if (number.Type != TPDFToken::ttInteger || generation.Type != TPDFToken::ttInteger ||
      !keyword.IsKeyword("obj") || (expectedNumber >= 0 && number.Integer != expectedNumber))
    PDFDamaged("object " + std::to_string(expectedNumber) + " not found where the table says");
  TPDFObject object = lexer.ParseObject();
  // Only the keyword itself is looked at: whatever else follows is not read.
  lexer.SkipWhitespace();
  size_t start = lexer.Position();
  if (FBytes.size() - start < 6 || std::memcmp(FBytes.data() + start, "stream", 6) != 0 ||
      (FBytes.size() - start > 6 && !IsPDFWhitespace(FBytes[start + 6])))
    return object;
  if (object.Kind() != TPDFObject::okDictionary) PDFDamaged("stream without a dictionary");
  start += 6;
  if (start < FBytes.size() && FBytes[start] == '\r') ++start;
  if (start < FBytes.size() && FBytes[start] == '\n') ++start;
  const TPDFObject* length = object.Find("Length");
  const int64_t count = IntegerOf(length != nullptr ? &Resolve(*length) : nullptr, -1);
  const bool fits = count >= 0 && static_cast<uint64_t>(count) <= FBytes.size() - start &&
                    Lexer(FBytes, start + static_cast<size_t>(count)).Next().IsKeyword("endstream");
  object.MakeStream(start, fits ? static_cast<size_t>(count) : RecoverStreamLength(start));
  return object;
}

TPDFLexer TPDFFile::Lexer(const std::vector<uint8_t>& bytes, size_t position, size_t size) {
  return TPDFLexer(bytes.data(), std::min(size, bytes.size()), position, &FBudget);
}

const TPDFObject& TPDFFile::Load(int number) {
  const auto cached = FObjects.find(number);
  if (cached != FObjects.end()) return *cached->second;
  const auto found = FEntries.find(number);
  if (found == FEntries.end() || found->second.Type == 0) return kNull;
  if (!FLoading.insert(number).second) PDFDamaged("objects refer to each other in a loop");
  const TEntry entry = found->second;
  std::unique_ptr<TPDFObject> object;
  try {
    if (entry.Type == 1) {
      if (!FRebuilt && !HasObjectAt(entry.Field, number)) {
        // The table is stale: look for the objects where they are.
        FLoading.erase(number);
        Rebuild();
        return Load(number);
      }
      if (entry.Field >= FBytes.size()) PDFDamaged("object outside the file");
      object =
          std::make_unique<TPDFObject>(ParseIndirect(static_cast<size_t>(entry.Field), number));
    } else {
      if (entry.Field > static_cast<uint64_t>(kMaxPDFObjectNumber)) PDFDamaged("bad object stream");
      const TObjectStream& container = LoadObjectStream(static_cast<int>(entry.Field));
      size_t at = SIZE_MAX;
      if (entry.Index < container.Offsets.size() && container.Offsets[entry.Index].first == number)
        at = container.Offsets[entry.Index].second;
      for (size_t i = 0; at == SIZE_MAX && i < container.Offsets.size(); ++i)
        if (container.Offsets[i].first == number) at = container.Offsets[i].second;
      if (at == SIZE_MAX || at > container.Data.size() - container.First)
        PDFDamaged("object not in its object stream");
      TPDFLexer lexer = Lexer(container.Data, container.First + at);
      object = std::make_unique<TPDFObject>(lexer.ParseObject());
    }
  } catch (...) {
    FLoading.erase(number);
    throw;
  }
  FLoading.erase(number);
  return *FObjects.emplace(number, std::move(object)).first->second;
}

const TPDFFile::TObjectStream& TPDFFile::LoadObjectStream(int number) {
  const auto cached = FObjectStreams.find(number);
  if (cached != FObjectStreams.end()) return *cached->second;
  const TPDFObject& stream = Load(number);
  if (stream.Kind() != TPDFObject::okStream) PDFDamaged("bad object stream");
  const int64_t count = IntegerOf(Get(stream, "N"), -1);
  const int64_t first = IntegerOf(Get(stream, "First"), -1);
  if (count < 0 || first < 0 || static_cast<uint64_t>(count) > kMaxPDFObjects)
    PDFDamaged("bad object stream");
  const size_t budget = kMaxPDFStructureTotal - FStructureBytes;
  TDecodedStream decoded = DecodeStream(stream, std::min(kMaxPDFStructureBytes, budget));
  if (decoded.Truncated) PDFDamaged("object streams too large");
  FStructureBytes += decoded.Data.size();
  auto container = std::make_unique<TObjectStream>();
  container->Data = std::move(decoded.Data);
  if (static_cast<uint64_t>(first) > container->Data.size()) PDFDamaged("bad object stream");
  container->First = static_cast<size_t>(first);
  TPDFLexer lexer = Lexer(container->Data, 0, container->First);
  for (int64_t i = 0; i < count; ++i) {
    const TPDFToken object = lexer.Next();
    const TPDFToken offset = lexer.Next();
    if (object.Type != TPDFToken::ttInteger || offset.Type != TPDFToken::ttInteger ||
        object.Integer < 0 || object.Integer > kMaxPDFObjectNumber || offset.Integer < 0)
      PDFDamaged("bad object stream");
    container->Offsets.emplace_back(static_cast<int>(object.Integer),
                                    static_cast<size_t>(offset.Integer));
  }
  return *FObjectStreams.emplace(number, std::move(container)).first->second;
}

const TPDFObject& TPDFFile::Resolve(const TPDFObject& value) {
  const TPDFObject* current = &value;
  for (int step = 0; current->Kind() == TPDFObject::okReference; ++step) {
    if (step > kMaxPDFNesting) PDFDamaged("references refer to each other in a loop");
    current = &Load(current->ObjectNumber());
  }
  return *current;
}

const TPDFObject* TPDFFile::Get(const TPDFObject& dictionary, std::string_view key) {
  if (!dictionary.IsDictionary()) return nullptr;
  const TPDFObject* value = dictionary.Find(key);
  if (value == nullptr) return nullptr;
  const TPDFObject& resolved = Resolve(*value);
  return resolved.IsNull() ? nullptr : &resolved;
}

std::span<const uint8_t> TPDFFile::RawData(const TPDFObject& stream) const {
  if (stream.Kind() != TPDFObject::okStream) return {};
  return {FBytes.data() + stream.DataOffset(), stream.DataLength()};
}

TDecodedStream TPDFFile::DecodeStream(const TPDFObject& stream, size_t limit,
                                      bool takeImageFilter) {
  TDecodedStream result;
  std::vector<const TPDFObject*> filters, parameters;
  if (const TPDFObject* filter = Get(stream, "Filter")) {
    if (filter->Kind() == TPDFObject::okArray) {
      for (const TPDFObject& item : filter->Items()) filters.push_back(&Resolve(item));
    } else {
      filters.push_back(filter);
    }
  }
  if (filters.size() > 8) throw EPDFReadError("PDF file damaged: too many filters");
  const TPDFObject* parameterList = Get(stream, "DecodeParms");
  for (size_t i = 0; i < filters.size(); ++i) {
    const TPDFObject* parameter = nullptr;
    if (parameterList != nullptr && parameterList->Kind() == TPDFObject::okArray) {
      if (i < parameterList->Items().size()) parameter = &Resolve(parameterList->Items()[i]);
    } else if (i == 0) {
      parameter = parameterList;
    }
    parameters.push_back(parameter != nullptr && parameter->IsDictionary() ? parameter : nullptr);
  }

  const std::span<const uint8_t> raw = RawData(stream);
  std::vector<uint8_t> data;
  bool fromRaw = true;
  auto input = [&]() { return fromRaw ? raw : std::span<const uint8_t>(data); };
  for (size_t i = 0; i < filters.size(); ++i) {
    if (filters[i]->Kind() != TPDFObject::okName) PDFDamaged("bad filter");
    const std::string name = FilterName(filters[i]->Text());
    if (takeImageFilter && i + 1 == filters.size() &&
        (name == "DCTDecode" || name == "CCITTFaxDecode" || name == "JPXDecode" ||
         name == "JBIG2Decode")) {
      result.ImageFilter = name;
      result.ImageParameters = parameters[i];
      break;
    }
    const bool last = i + 1 == filters.size();
    TPredictorParameters predictor;
    if (name == "FlateDecode" && parameters[i] != nullptr) {
      const auto parameter = [&](const char* key, int otherwise) {
        const int64_t value = IntegerOf(Get(*parameters[i], key), otherwise);
        return value < INT32_MIN || value > INT32_MAX ? -1 : static_cast<int>(value);
      };
      predictor.Predictor = parameter("Predictor", 1);
      predictor.Colors = parameter("Colors", 1);
      predictor.BitsPerComponent = parameter("BitsPerComponent", 8);
      predictor.Columns = parameter("Columns", 1);
    }
    // Data on its way to a later filter is coded data, which is rarely larger
    // than what it decodes to; a predictor's row tags come on top of a limit.
    size_t stageLimit = last ? limit
                             : std::min(kMaxPDFStructureTotal,
                                        std::max<size_t>(Saturated(2 * uint64_t(limit)), 1 << 20));
    if (predictor.Predictor >= 10 && predictor.Columns > 0 && predictor.Colors > 0 &&
        predictor.BitsPerComponent > 0) {
      const uint64_t rowBytes = (uint64_t(predictor.Columns) * uint64_t(predictor.Colors) *
                                     uint64_t(predictor.BitsPerComponent) +
                                 7) /
                                8;
      stageLimit = Saturated(uint64_t(stageLimit) + uint64_t(stageLimit) / rowBytes + 1);
    }
    TFilterResult stage;
    if (name == "FlateDecode")
      stage = InflatePDF(input(), stageLimit);
    else if (name == "RunLengthDecode")
      stage = RunLengthDecodePDF(input(), stageLimit);
    else
      throw EPDFReadError("PDF filter " + SerializePDFObject(*filters[i]).substr(0, 40) +
                          " is not supported");
    if (!takeImageFilter || !last) ChargePDFBudget(FBudget, stage.Data.size());
    UndoPredictor(stage.Data, predictor);
    result.Truncated = stage.Truncated;
    if (stage.Data.size() > limit && last) {
      stage.Data.resize(limit);
      result.Truncated = true;
    }
    data = std::move(stage.Data);
    fromRaw = false;
  }
  if (fromRaw) {
    const std::span<const uint8_t> bytes = raw;
    const size_t count = result.ImageFilter.empty() ? std::min(bytes.size(), limit) : bytes.size();
    result.Truncated = result.ImageFilter.empty() && bytes.size() > limit;
    data.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(count));
  }
  result.Data = std::move(data);
  return result;
}
