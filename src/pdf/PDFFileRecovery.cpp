// Repairs of damaged files: the cross-reference data rebuilt from the objects
// found in the file, stream lengths taken from where "endstream" is.
#include "pdf/PDFException.h"
#include "pdf/PDFFile.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// Digits ending just before end, at most limit of them: their start, or end when there are none.
size_t DigitsBefore(const std::vector<uint8_t>& bytes, size_t end, size_t limit) {
  size_t start = end;
  while (start > 0 && IsDigit(bytes[start - 1]) && end - start < limit) --start;
  return start;
}

size_t WhitespaceBefore(const std::vector<uint8_t>& bytes, size_t end) {
  size_t start = end;
  while (start > 0 && IsPDFWhitespace(bytes[start - 1])) --start;
  return start;
}

uint64_t NumberOf(const std::vector<uint8_t>& bytes, size_t start, size_t end) {
  uint64_t value = 0;
  for (size_t i = start; i < end; ++i) value = value * 10 + (bytes[i] - '0');
  return value;
}

// The text of the object's start, enough to see what kind of dictionary it is.
bool Mentions(const std::vector<uint8_t>& bytes, size_t offset, std::string_view name) {
  const size_t end = std::min(bytes.size(), offset + 512);
  const std::string_view head(reinterpret_cast<const char*>(bytes.data()) + offset, end - offset);
  return head.find(name) != std::string_view::npos;
}

} // namespace

bool TPDFFile::HasObjectAt(size_t offset, int number) {
  if (offset >= FBytes.size()) return false;
  TPDFLexer lexer(FBytes.data(), FBytes.size(), offset, &FBudget);
  const TPDFToken found = lexer.Next();
  const TPDFToken generation = lexer.Next();
  return found.Type == TPDFToken::ttInteger && found.Integer == number &&
         generation.Type == TPDFToken::ttInteger && lexer.Next().IsKeyword("obj");
}

size_t TPDFFile::RecoverStreamLength(size_t start) {
  const std::string_view text(reinterpret_cast<const char*>(FBytes.data()), FBytes.size());
  const size_t keyword = text.find("endstream", start);
  ChargePDFBudget(FBudget, (keyword == std::string_view::npos ? FBytes.size() : keyword) - start);
  if (keyword == std::string_view::npos) PDFDamaged("bad stream length");
  // The end of line before the keyword belongs to it, not to the data.
  size_t end = keyword;
  if (end > start && FBytes[end - 1] == '\n') --end;
  if (end > start && FBytes[end - 1] == '\r') --end;
  return end - start;
}

void TPDFFile::Rebuild() {
  FRebuilt = true;
  ChargePDFBudget(FBudget, FBytes.size());
  std::map<int, TEntry> entries;
  std::vector<int> candidates; // objects that may be object streams, catalogues or XRef streams
  const std::string_view text(reinterpret_cast<const char*>(FBytes.data()), FBytes.size());
  for (size_t at = text.find("obj"); at != std::string_view::npos; at = text.find("obj", at + 3)) {
    if (at + 3 < FBytes.size() && !IsPDFWhitespace(FBytes[at + 3]) &&
        !IsPDFDelimiter(FBytes[at + 3]))
      continue;
    // "N G obj", N and G plain digits, N at the start of a token.
    const size_t generationEnd = WhitespaceBefore(FBytes, at);
    const size_t generationStart = DigitsBefore(FBytes, generationEnd, 5);
    const size_t numberEnd = WhitespaceBefore(FBytes, generationStart);
    const size_t numberStart = DigitsBefore(FBytes, numberEnd, 7);
    if (generationEnd == at || generationStart == generationEnd || numberEnd == generationStart ||
        numberStart == numberEnd ||
        (numberStart > 0 && !IsPDFWhitespace(FBytes[numberStart - 1]) &&
         !IsPDFDelimiter(FBytes[numberStart - 1])))
      continue;
    const uint64_t number = NumberOf(FBytes, numberStart, numberEnd);
    if (number == 0 || number > static_cast<uint64_t>(kMaxPDFObjectNumber)) continue;
    if (entries.size() >= kMaxPDFObjects && entries.find(static_cast<int>(number)) == entries.end())
      PDFDamaged("too many objects");
    TEntry entry;
    entry.Type = 1;
    entry.Field = numberStart;
    entry.Index = static_cast<uint32_t>(NumberOf(FBytes, generationStart, generationEnd));
    // A later object of the same number is an update of the earlier one.
    entries[static_cast<int>(number)] = entry;
    if (Mentions(FBytes, at, "/ObjStm") || Mentions(FBytes, at, "/XRef") ||
        Mentions(FBytes, at, "/Catalog"))
      candidates.push_back(static_cast<int>(number));
  }
  FEntries = std::move(entries);

  // Trailers from the last one back: the first value found for a key stays.
  TPDFObject trailer = TPDFObject::Dictionary();
  for (size_t at = text.rfind("trailer"); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : text.rfind("trailer", at - 1)) {
    try {
      TPDFLexer lexer = Lexer(FBytes, at + 7);
      const TPDFObject found = lexer.ParseObject();
      if (found.Kind() != TPDFObject::okDictionary) continue;
      for (size_t i = 0; i < found.Keys().size(); ++i)
        if (found.Keys()[i] != "Prev" && found.Keys()[i] != "XRefStm")
          trailer.Set(found.Keys()[i], found.Items()[i]);
    } catch (const EPDFReadError&) {
      // A damaged trailer gives nothing; the others may.
    }
  }
  FTrailer = std::move(trailer);
  AddScannedStreams(candidates);
  if (FTrailer.Find("Root") == nullptr) PDFDamaged("no document catalogue");
}

// Objects kept in the object streams found, the trailer entries of the
// cross-reference streams found, and a catalogue when no trailer names one.
void TPDFFile::AddScannedStreams(const std::vector<int>& candidates) {
  int catalogue = 0;
  std::vector<std::pair<int, TEntry>> contained;
  for (auto number = candidates.rbegin(); number != candidates.rend(); ++number) {
    try {
      const TPDFObject& object = Load(*number);
      const TPDFObject* type = Get(object, "Type");
      if (type == nullptr) continue;
      if (type->IsName("Catalog") && catalogue == 0) catalogue = *number;
      if (type->IsName("XRef"))
        for (const char* key : {"Root", "Info", "ID", "Encrypt"})
          if (const TPDFObject* value = object.Find(key)) FTrailer.Set(key, *value);
      if (type->IsName("ObjStm")) {
        const TObjectStream& stream = LoadObjectStream(*number);
        for (size_t i = 0; i < stream.Offsets.size(); ++i) {
          TEntry entry;
          entry.Type = 2;
          entry.Field = static_cast<uint64_t>(*number);
          entry.Index = static_cast<uint32_t>(i);
          contained.emplace_back(stream.Offsets[i].first, entry);
        }
      }
    } catch (const EPDFReadError&) {
      // A damaged object among the candidates is passed over.
    }
  }
  // Objects found at an offset of their own are later than any copy in a stream.
  for (const auto& [number, entry] : contained)
    if (number > 0 && FEntries.find(number) == FEntries.end()) {
      if (FEntries.size() >= kMaxPDFObjects) PDFDamaged("too many objects");
      FEntries.emplace(number, entry);
    }
  if (FTrailer.Find("Root") == nullptr && catalogue != 0)
    FTrailer.Set("Root", TPDFObject::Reference(catalogue, 0));
}
