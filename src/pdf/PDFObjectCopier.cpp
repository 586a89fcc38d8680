#include "pdf/PDFObjectCopier.h"

#include "pdf/PDFLexer.h"

TPDFObjectCopier::TPDFObjectCopier(TPDFFile& file, int firstNumber)
    : FFile(file), FNextNumber(firstNumber) {}

TPDFObject TPDFObjectCopier::Copy(const TPDFObject& value) {
  size_t objects = 0;
  return Copy(value, 0, objects);
}

TPDFObject TPDFObjectCopier::Copy(const TPDFObject& value, int depth, size_t& objects) {
  if (depth > kMaxPDFNesting) PDFDamaged("objects nested too deeply");
  if (++objects > kMaxPDFCopiedObjects) PDFDamaged("objects refer to too many others");
  const TPDFObject& resolved = FFile.Resolve(value);
  switch (resolved.Kind()) {
  case TPDFObject::okArray: {
    TPDFObject array = TPDFObject::Array();
    for (const TPDFObject& item : resolved.Items()) array.Add(Copy(item, depth + 1, objects));
    return array;
  }
  case TPDFObject::okDictionary: {
    TPDFObject dictionary = TPDFObject::Dictionary();
    for (size_t i = 0; i < resolved.Keys().size(); ++i)
      dictionary.Set(resolved.Keys()[i], Copy(resolved.Items()[i], depth + 1, objects));
    return dictionary;
  }
  case TPDFObject::okStream:
    // A stream is only ever reached through a reference.
    if (value.Kind() != TPDFObject::okReference) PDFDamaged("stream inside another object");
    return TPDFObject::Reference(StreamNumber(value.ObjectNumber(), resolved, depth, objects), 0);
  default:
    return resolved;
  }
}

int TPDFObjectCopier::StreamNumber(int sourceNumber, const TPDFObject& stream, int depth,
                                   size_t& objects) {
  if (const auto known = FNumbers.find(sourceNumber); known != FNumbers.end())
    return known->second;
  const int number = FNextNumber++;
  FNumbers.emplace(sourceNumber, number);
  TStreamCopy copy;
  copy.Number = number;
  copy.Dictionary = TPDFObject::Dictionary();
  for (size_t i = 0; i < stream.Keys().size(); ++i)
    if (stream.Keys()[i] != "Length")
      copy.Dictionary.Set(stream.Keys()[i], Copy(stream.Items()[i], depth + 1, objects));
  copy.Data = FFile.RawData(stream);
  FStreamBytes += copy.Data.size();
  FStreams.push_back(std::move(copy));
  return number;
}
