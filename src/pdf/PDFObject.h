#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// One object of a PDF file as the reader finds it. Strings keep their bytes,
// names their text without the slash; a stream is its dictionary plus where
// its raw data lies in the file.
class TPDFObject {
public:
  enum TKind : uint8_t {
    okNull,
    okBoolean,
    okInteger,
    okReal,
    okString,
    okName,
    okArray,
    okDictionary,
    okReference,
    okStream
  };

  TPDFObject() = default;
  static TPDFObject Boolean(bool value);
  static TPDFObject Integer(int64_t value);
  static TPDFObject Real(double value);
  static TPDFObject String(std::string bytes);
  static TPDFObject Name(std::string text);
  static TPDFObject Array();
  static TPDFObject Dictionary();
  static TPDFObject Reference(int number, int generation);

  TKind Kind() const { return FKind; }
  bool IsNull() const { return FKind == okNull; }
  bool IsNumber() const { return FKind == okInteger || FKind == okReal; }
  bool IsName(std::string_view text) const { return FKind == okName && FText == text; }
  bool IsDictionary() const { return FKind == okDictionary || FKind == okStream; }

  bool BooleanValue() const { return FBoolean; }
  int64_t IntegerValue() const { return FInteger; }
  double NumberValue() const { return FKind == okReal ? FReal : static_cast<double>(FInteger); }
  // The bytes of a string, the text of a name.
  const std::string& Text() const { return FText; }

  // Arrays: the items. Dictionaries and streams: the values, beside Keys().
  const std::vector<TPDFObject>& Items() const { return FItems; }
  void Add(TPDFObject item) { FItems.push_back(std::move(item)); }
  const std::vector<std::string>& Keys() const { return FKeys; }
  // The value of a key, or null when the dictionary has none. Dictionaries
  // of more than a few keys keep an index of them, so that neither finding
  // nor adding a key walks all the others.
  const TPDFObject* Find(std::string_view key) const;
  // Keeps the first value given for a key, as a file read twice would.
  void Set(std::string key, TPDFObject value);

  int ObjectNumber() const { return static_cast<int>(FInteger); }
  int Generation() const { return FGeneration; }

  // Turns a dictionary into a stream whose data lies at offset in the file.
  void MakeStream(size_t offset, size_t length);
  size_t DataOffset() const { return FDataOffset; }
  size_t DataLength() const { return FDataLength; }

private:
  TKind FKind = okNull;
  bool FBoolean = false;
  int FGeneration = 0;
  int64_t FInteger = 0;
  double FReal = 0;
  std::string FText;
  std::vector<TPDFObject> FItems;
  std::vector<std::string> FKeys;
  std::map<std::string, size_t, std::less<>> FIndex; // key to its place, once there are many
  size_t FDataOffset = 0;
  size_t FDataLength = 0;
};

// The value of an integer object; otherwise when there is none or it is not
// an integer.
int64_t IntegerOf(const TPDFObject* value, int64_t otherwise);

// The object written in PDF syntax: names with their slash (bytes outside
// the printable range and delimiters as #hh), strings in hexadecimal,
// arrays "[a b]", dictionaries "<< /Key value >>", references "N G R".
// Streams are written as their dictionary.
std::string SerializePDFObject(const TPDFObject& object);
// A number as few characters as keep it: integers plainly, other values with
// at most four decimals.
std::string FormatPDFNumber(double value);
