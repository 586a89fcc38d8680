#include "pdf/PDFLexer.h"

#include "pdf/PDFException.h"

namespace {

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A run of regular characters read as a number: optional sign, digits, at
// most one point. Returns false for anything else.
bool ParseNumber(std::string_view text, TPDFToken& token) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool point = false, digits = false, overflow = false;
  int64_t integer = 0;
  double real = 0, scale = 1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (point) {
        scale /= 10;
        real += (c - '0') * scale;
      } else {
        real = real * 10 + (c - '0');
        if (integer > (INT64_MAX - 9) / 10)
          overflow = true;
        else
          integer = integer * 10 + (c - '0');
      }
    } else {
      return false;
    }
  }
  // A sign or a point alone counts as 0, as readers take it.
  if (!digits && text.size() > 2) return false;
  if (point || overflow) {
    token.Type = TPDFToken::ttReal;
    token.Real = negative ? -real : real;
  } else {
    token.Type = TPDFToken::ttInteger;
    token.Integer = negative ? -integer : integer;
    token.Real = static_cast<double>(token.Integer);
  }
  return true;
}

} // namespace

bool IsPDFWhitespace(uint8_t c) {
  return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

bool IsPDFDelimiter(uint8_t c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
         c == '}' || c == '/' || c == '%';
}

void PDFDamaged(const std::string& what) {
  throw EPDFReadError("PDF file damaged: " + what);
}

void TPDFLexer::SkipWhitespace() {
  while (FPosition < FSize) {
    const uint8_t c = FData[FPosition];
    if (IsPDFWhitespace(c)) {
      ++FPosition;
    } else if (c == '%') {
      while (FPosition < FSize && FData[FPosition] != '\r' && FData[FPosition] != '\n') ++FPosition;
    } else {
      break;
    }
  }
}

void ChargePDFBudget(uint64_t& budget, uint64_t count) {
  if (count > budget) PDFDamaged("more to read than the file can hold");
  budget -= count;
}

TPDFToken TPDFLexer::Next() {
  const size_t before = FPosition;
  TPDFToken token = ReadToken();
  if (FBudget != nullptr) ChargePDFBudget(*FBudget, FPosition - before + 1);
  return token;
}

TPDFToken TPDFLexer::ReadToken() {
  SkipWhitespace();
  TPDFToken token;
  token.Start = FPosition;
  if (FPosition >= FSize) {
    token.End = FPosition;
    return token;
  }
  const uint8_t c = FData[FPosition];
  switch (c) {
  case '(':
    ReadLiteralString(token);
    break;
  case '<':
    if (FPosition + 1 < FSize && FData[FPosition + 1] == '<') {
      token.Type = TPDFToken::ttDictionaryOpen;
      FPosition += 2;
    } else {
      ReadHexString(token);
    }
    break;
  case '>':
    if (FPosition + 1 < FSize && FData[FPosition + 1] == '>') {
      token.Type = TPDFToken::ttDictionaryClose;
      FPosition += 2;
    } else {
      PDFDamaged("unexpected '>'");
    }
    break;
  case '[':
    token.Type = TPDFToken::ttArrayOpen;
    ++FPosition;
    break;
  case ']':
    token.Type = TPDFToken::ttArrayClose;
    ++FPosition;
    break;
  case '/':
    ReadName(token);
    break;
  case ')':
  case '{':
  case '}':
    token.Type = TPDFToken::ttKeyword;
    token.Text = std::string(1, static_cast<char>(c));
    ++FPosition;
    break;
  default:
    ReadRegular(token);
    break;
  }
  token.End = FPosition;
  return token;
}

void TPDFLexer::ReadLiteralString(TPDFToken& token) {
  token.Type = TPDFToken::ttString;
  ++FPosition;
  int depth = 1;
  while (FPosition < FSize) {
    uint8_t c = FData[FPosition++];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return;
    } else if (c == '\\') {
      if (FPosition >= FSize) break;
      c = FData[FPosition++];
      switch (c) {
      case 'n':
        token.Text += '\n';
        continue;
      case 'r':
        token.Text += '\r';
        continue;
      case 't':
        token.Text += '\t';
        continue;
      case 'b':
        token.Text += '\b';
        continue;
      case 'f':
        token.Text += '\f';
        continue;
      case '\r':
        if (FPosition < FSize && FData[FPosition] == '\n') ++FPosition;
        continue;
      case '\n':
        continue;
      default:
        if (c >= '0' && c <= '7') {
          int value = c - '0';
          for (int i = 0;
               i < 2 && FPosition < FSize && FData[FPosition] >= '0' && FData[FPosition] <= '7';
               ++i)
            value = value * 8 + (FData[FPosition++] - '0');
          token.Text += static_cast<char>(value & 0xFF);
          continue;
        }
        break;
      }
    } else if (c == '\r') {
      // An end of line inside a string is a line feed, whatever its bytes.
      if (FPosition < FSize && FData[FPosition] == '\n') ++FPosition;
      c = '\n';
    }
    token.Text += static_cast<char>(c);
  }
  PDFDamaged("unterminated string");
}

void TPDFLexer::ReadHexString(TPDFToken& token) {
  token.Type = TPDFToken::ttString;
  ++FPosition;
  int high = -1;
  while (FPosition < FSize) {
    const uint8_t c = FData[FPosition++];
    if (c == '>') {
      if (high >= 0) token.Text += static_cast<char>(high << 4);
      return;
    }
    if (IsPDFWhitespace(c)) continue;
    const int value = HexValue(c);
    if (value < 0) PDFDamaged("bad hexadecimal string");
    if (high < 0) {
      high = value;
    } else {
      token.Text += static_cast<char>(high << 4 | value);
      high = -1;
    }
  }
  PDFDamaged("unterminated string");
}

void TPDFLexer::ReadName(TPDFToken& token) {
  token.Type = TPDFToken::ttName;
  ++FPosition;
  while (FPosition < FSize) {
    const uint8_t c = FData[FPosition];
    if (IsPDFWhitespace(c) || IsPDFDelimiter(c)) break;
    ++FPosition;
    if (c == '#' && FPosition + 1 < FSize && HexValue(FData[FPosition]) >= 0 &&
        HexValue(FData[FPosition + 1]) >= 0) {
      token.Text +=
          static_cast<char>(HexValue(FData[FPosition]) << 4 | HexValue(FData[FPosition + 1]));
      FPosition += 2;
    } else {
      token.Text += static_cast<char>(c);
    }
  }
}

void TPDFLexer::ReadRegular(TPDFToken& token) {
  const size_t start = FPosition;
  while (FPosition < FSize && !IsPDFWhitespace(FData[FPosition]) &&
         !IsPDFDelimiter(FData[FPosition]))
    ++FPosition;
  const std::string_view text(reinterpret_cast<const char*>(FData) + start, FPosition - start);
  if (!text.empty() &&
      (text[0] == '+' || text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9')) &&
      ParseNumber(text, token))
    return;
  token.Type = TPDFToken::ttKeyword;
  token.Text = std::string(text);
}

TPDFObject TPDFLexer::ParseObject(int depth) {
  if (depth > kMaxPDFNesting) PDFDamaged("objects nested too deeply");
  if (FBudget != nullptr) ChargePDFBudget(*FBudget, kPDFObjectCost);
  TPDFToken token = Next();
  switch (token.Type) {
  case TPDFToken::ttInteger: {
    const size_t after = FPosition;
    if (token.Integer >= 0 && token.Integer <= INT32_MAX) {
      const TPDFToken generation = Next();
      if (generation.Type == TPDFToken::ttInteger && generation.Integer >= 0 &&
          generation.Integer <= 65535) {
        const size_t beforeR = FPosition;
        SkipWhitespace();
        if (FPosition < FSize && FData[FPosition] == 'R' &&
            (FPosition + 1 == FSize || IsPDFWhitespace(FData[FPosition + 1]) ||
             IsPDFDelimiter(FData[FPosition + 1]))) {
          ++FPosition;
          return TPDFObject::Reference(static_cast<int>(token.Integer),
                                       static_cast<int>(generation.Integer));
        }
        FPosition = beforeR;
      }
    }
    FPosition = after;
    return TPDFObject::Integer(token.Integer);
  }
  case TPDFToken::ttReal:
    return TPDFObject::Real(token.Real);
  case TPDFToken::ttName:
    return TPDFObject::Name(std::move(token.Text));
  case TPDFToken::ttString:
    return TPDFObject::String(std::move(token.Text));
  case TPDFToken::ttArrayOpen: {
    TPDFObject array = TPDFObject::Array();
    for (;;) {
      SkipWhitespace();
      if (FPosition < FSize && FData[FPosition] == ']') {
        ++FPosition;
        return array;
      }
      if (FPosition >= FSize) PDFDamaged("unterminated array");
      if (array.Items().size() >= kMaxPDFItems) PDFDamaged("array too long");
      array.Add(ParseObject(depth + 1));
    }
  }
  case TPDFToken::ttDictionaryOpen: {
    TPDFObject dictionary = TPDFObject::Dictionary();
    for (;;) {
      TPDFToken key = Next();
      if (key.Type == TPDFToken::ttDictionaryClose) return dictionary;
      if (key.Type != TPDFToken::ttName) PDFDamaged("dictionary key is not a name");
      if (dictionary.Keys().size() >= kMaxPDFKeys) PDFDamaged("dictionary too long");
      dictionary.Set(std::move(key.Text), ParseObject(depth + 1));
    }
  }
  case TPDFToken::ttKeyword:
    if (token.Text == "true") return TPDFObject::Boolean(true);
    if (token.Text == "false") return TPDFObject::Boolean(false);
    if (token.Text == "null") return TPDFObject();
    PDFDamaged("unexpected keyword");
  case TPDFToken::ttEnd:
    PDFDamaged("unexpected end of data");
  default:
    PDFDamaged("unexpected delimiter");
  }
}
