#include "pdf/PDFObject.h"

#include "pdf/PDFFormat.h"

#include <cmath>

TPDFObject TPDFObject::Boolean(bool value) {
  TPDFObject object;
  object.FKind = okBoolean;
  object.FBoolean = value;
  return object;
}

TPDFObject TPDFObject::Integer(int64_t value) {
  TPDFObject object;
  object.FKind = okInteger;
  object.FInteger = value;
  return object;
}

TPDFObject TPDFObject::Real(double value) {
  TPDFObject object;
  object.FKind = okReal;
  object.FReal = value;
  return object;
}

TPDFObject TPDFObject::String(std::string bytes) {
  TPDFObject object;
  object.FKind = okString;
  object.FText = std::move(bytes);
  return object;
}

TPDFObject TPDFObject::Name(std::string text) {
  TPDFObject object;
  object.FKind = okName;
  object.FText = std::move(text);
  return object;
}

TPDFObject TPDFObject::Array() {
  TPDFObject object;
  object.FKind = okArray;
  return object;
}

TPDFObject TPDFObject::Dictionary() {
  TPDFObject object;
  object.FKind = okDictionary;
  return object;
}

TPDFObject TPDFObject::Reference(int number, int generation) {
  TPDFObject object;
  object.FKind = okReference;
  object.FInteger = number;
  object.FGeneration = generation;
  return object;
}

namespace {

// Keys a dictionary holds before it indexes them: below this, a walk through
// them is quicker than an index.
constexpr size_t kIndexedFrom = 16;

} // namespace

const TPDFObject* TPDFObject::Find(std::string_view key) const {
  if (FKeys.size() >= kIndexedFrom) {
    const auto found = FIndex.find(key);
    return found == FIndex.end() ? nullptr : &FItems[found->second];
  }
  for (size_t i = 0; i < FKeys.size(); ++i)
    if (FKeys[i] == key) return &FItems[i];
  return nullptr;
}

void TPDFObject::Set(std::string key, TPDFObject value) {
  if (Find(key) != nullptr) return;
  FKeys.push_back(std::move(key));
  FItems.push_back(std::move(value));
  if (FKeys.size() == kIndexedFrom)
    for (size_t i = 0; i < FKeys.size(); ++i) FIndex.emplace(FKeys[i], i);
  else if (FKeys.size() > kIndexedFrom)
    FIndex.emplace(FKeys.back(), FKeys.size() - 1);
}

void TPDFObject::MakeStream(size_t offset, size_t length) {
  FKind = okStream;
  FDataOffset = offset;
  FDataLength = length;
}

int64_t IntegerOf(const TPDFObject* value, int64_t otherwise) {
  return value != nullptr && value->Kind() == TPDFObject::okInteger ? value->IntegerValue()
                                                                    : otherwise;
}

std::string FormatPDFNumber(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
    return std::to_string(static_cast<int64_t>(value));
  return FormatPDFReal(value);
}

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool RegularNameByte(unsigned char c) {
  switch (c) {
  case '(':
  case ')':
  case '<':
  case '>':
  case '[':
  case ']':
  case '{':
  case '}':
  case '/':
  case '%':
  case '#':
    return false;
  default:
    return c > 32 && c < 127;
  }
}

void Serialize(const TPDFObject& object, std::string& out) {
  switch (object.Kind()) {
  case TPDFObject::okNull:
    out += "null";
    break;
  case TPDFObject::okBoolean:
    out += object.BooleanValue() ? "true" : "false";
    break;
  case TPDFObject::okInteger:
    out += std::to_string(object.IntegerValue());
    break;
  case TPDFObject::okReal:
    out += FormatPDFNumber(object.NumberValue());
    break;
  case TPDFObject::okString:
    out += '<';
    for (unsigned char c : object.Text()) {
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 15];
    }
    out += '>';
    break;
  case TPDFObject::okName:
    out += '/';
    for (unsigned char c : object.Text()) {
      if (RegularNameByte(c)) {
        out += static_cast<char>(c);
      } else {
        out += '#';
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 15];
      }
    }
    break;
  case TPDFObject::okArray:
    out += '[';
    for (size_t i = 0; i < object.Items().size(); ++i) {
      if (i > 0) out += ' ';
      Serialize(object.Items()[i], out);
    }
    out += ']';
    break;
  case TPDFObject::okDictionary:
  case TPDFObject::okStream:
    out += "<<";
    for (size_t i = 0; i < object.Keys().size(); ++i) {
      out += ' ';
      Serialize(TPDFObject::Name(object.Keys()[i]), out);
      out += ' ';
      Serialize(object.Items()[i], out);
    }
    out += " >>";
    break;
  case TPDFObject::okReference:
    out += std::to_string(object.ObjectNumber()) + ' ' + std::to_string(object.Generation()) + " R";
    break;
  }
}

} // namespace

std::string SerializePDFObject(const TPDFObject& object) {
  std::string out;
  Serialize(object, out);
  return out;
}
