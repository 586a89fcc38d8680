#pragma once

#include "pdf/PDFObject.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One token of PDF syntax and where its text lies in the input.
struct TPDFToken {
  enum TType : uint8_t {
    ttEnd,
    ttInteger,
    ttReal,
    ttName,
    ttString,
    ttKeyword, // a run of regular characters that is not a number: obj, R, true, cm
    ttArrayOpen,
    ttArrayClose,
    ttDictionaryOpen,
    ttDictionaryClose
  };
  TType Type = ttEnd;
  int64_t Integer = 0;
  double Real = 0;
  std::string Text; // name text, string bytes or keyword
  size_t Start = 0;
  size_t End = 0;

  bool IsKeyword(std::string_view keyword) const { return Type == ttKeyword && Text == keyword; }
};

// Deepest nesting of arrays and dictionaries the reader takes.
inline constexpr int kMaxPDFNesting = 32;
// Most items one array may hold, and most keys of one dictionary: more than
// any real file's dictionary has.
inline constexpr size_t kMaxPDFItems = size_t{1} << 20;
inline constexpr size_t kMaxPDFKeys = size_t{1} << 16;
// What each object made takes from a reading budget besides the bytes it is
// read from: about the memory it holds, so that a file whose objects are
// read again and again (object-stream entries all at one offset, say) cannot
// make the reader hold much more than its budget.
inline constexpr uint64_t kPDFObjectCost = sizeof(TPDFObject) + 64;

// Reads tokens and objects from bytes held by the caller. Malformed input
// raises EPDFReadError; every loop advances through the input. With a budget,
// each token takes the bytes it reads (and one more) from it, each object
// made kPDFObjectCost, and a lexer that would overdraw it raises
// EPDFReadError: the budget bounds the work and the memory of every lexer
// that shares it, however often a file makes them read the same bytes.
class TPDFLexer {
public:
  TPDFLexer(const uint8_t* data, size_t size, size_t position = 0, uint64_t* budget = nullptr)
      : FData(data), FSize(size), FPosition(position < size ? position : size), FBudget(budget) {}

  size_t Position() const { return FPosition; }
  void SetPosition(size_t position) { FPosition = position < FSize ? position : FSize; }
  void SkipWhitespace(); // white space and comments
  TPDFToken Next();
  // One object; "N G R" becomes a reference.
  TPDFObject ParseObject(int depth = 0);

private:
  TPDFToken ReadToken();
  void ReadLiteralString(TPDFToken& token);
  void ReadHexString(TPDFToken& token);
  void ReadName(TPDFToken& token);
  void ReadRegular(TPDFToken& token);

  const uint8_t* FData;
  size_t FSize;
  size_t FPosition;
  uint64_t* FBudget;
};

// Takes count from a reading budget; raises EPDFReadError when it has less.
void ChargePDFBudget(uint64_t& budget, uint64_t count);

bool IsPDFWhitespace(uint8_t c);
bool IsPDFDelimiter(uint8_t c);
// Raises EPDFReadError "PDF file damaged: " and what was found wrong.
[[noreturn]] void PDFDamaged(const std::string& what);
