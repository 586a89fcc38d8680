#include "SaneDevice.h"

#include "SaneStatus.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>

#include <cstring>
#include <mutex>

namespace {

std::mutex gLibraryLock;
int gLibraryUsers = 0;
bool gLibraryReady = false;

std::string Field(SANE_String_Const text) {
  return text != nullptr ? text : "";
}

double FromWord(SANE_Value_Type type, SANE_Word word) {
  return type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : static_cast<double>(word);
}

SANE_Word ToWord(SANE_Value_Type type, double value) {
  if (type == SANE_TYPE_FIXED) return SANE_FIX(value);
  return static_cast<SANE_Word>(std::lround(value));
}

} // namespace

TSaneLibrary::TSaneLibrary() {
  std::lock_guard guard(gLibraryLock);
  if (gLibraryUsers == 0) {
    SANE_Int version = 0;
    gLibraryReady = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
  }
  ++gLibraryUsers;
  FReady = gLibraryReady;
}

TSaneLibrary::~TSaneLibrary() {
  std::lock_guard guard(gLibraryLock);
  if (--gLibraryUsers == 0 && gLibraryReady) {
    sane_exit();
    gLibraryReady = false;
  }
}

std::vector<TSaneDeviceInfo> TSaneLibrary::ListDevices() {
  TSaneLibrary library;
  std::vector<TSaneDeviceInfo> found;
  const SANE_Device** devices = nullptr;
  if (!library.Ready() || sane_get_devices(&devices, SANE_FALSE) != SANE_STATUS_GOOD ||
      devices == nullptr)
    return found;
  for (const SANE_Device** device = devices; *device != nullptr; ++device)
    found.push_back({Field((*device)->name), Field((*device)->vendor), Field((*device)->model),
                     Field((*device)->type)});
  return found;
}

TSaneDevice::TSaneDevice(const std::string& name) {
  if (!FLibrary.Ready()) throw ESaneError(SANE_STATUS_IO_ERROR, "sane_init");
  CheckSane(sane_open(name.c_str(), &FHandle), "sane_open");
}

TSaneDevice::~TSaneDevice() {
  sane_cancel(FHandle);
  sane_close(FHandle);
}

int TSaneDevice::IndexOf(const char* name) const {
  // Option 0 is the option count; descriptors are looked up each time,
  // because setting one option may change the others.
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* option = sane_get_option_descriptor(FHandle, i);
    if (option == nullptr) return -1;
    if (option->name != nullptr && std::strcmp(option->name, name) == 0) return i;
  }
}

const SANE_Option_Descriptor* TSaneDevice::Find(const char* name) const {
  const int index = IndexOf(name);
  if (index < 0) return nullptr;
  const SANE_Option_Descriptor* option = sane_get_option_descriptor(FHandle, index);
  if (option == nullptr || !SANE_OPTION_IS_ACTIVE(option->cap) ||
      !(option->cap & SANE_CAP_SOFT_DETECT))
    return nullptr;
  return option;
}

bool TSaneDevice::Settable(const char* name) const {
  const SANE_Option_Descriptor* option = Find(name);
  return option != nullptr && SANE_OPTION_IS_SETTABLE(option->cap);
}

std::optional<double> TSaneDevice::Number(const char* name) const {
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr || (option->type != SANE_TYPE_INT && option->type != SANE_TYPE_FIXED &&
                            option->type != SANE_TYPE_BOOL))
    return std::nullopt;
  // An array option answers with all its words; the first one counts.
  std::vector<SANE_Word> words(
      std::max<size_t>(1, (option->size + sizeof(SANE_Word) - 1) / sizeof(SANE_Word)));
  if (sane_control_option(FHandle, IndexOf(name), SANE_ACTION_GET_VALUE, words.data(), nullptr) !=
      SANE_STATUS_GOOD)
    return std::nullopt;
  return FromWord(option->type, words[0]);
}

std::optional<std::string> TSaneDevice::Text(const char* name) const {
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr || option->type != SANE_TYPE_STRING || option->size <= 0)
    return std::nullopt;
  std::vector<char> text(static_cast<size_t>(option->size) + 1, '\0');
  if (sane_control_option(FHandle, IndexOf(name), SANE_ACTION_GET_VALUE, text.data(), nullptr) !=
      SANE_STATUS_GOOD)
    return std::nullopt;
  return std::string(text.data());
}

TSaneNumbers TSaneDevice::Numbers(const char* name) const {
  TSaneNumbers numbers;
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr) return numbers;
  if (option->constraint_type == SANE_CONSTRAINT_RANGE && option->constraint.range != nullptr) {
    const SANE_Range& range = *option->constraint.range;
    numbers.IsRange = true;
    numbers.Min = FromWord(option->type, range.min);
    numbers.Max = FromWord(option->type, range.max);
    numbers.Step = FromWord(option->type, range.quant);
  } else if (option->constraint_type == SANE_CONSTRAINT_WORD_LIST &&
             option->constraint.word_list != nullptr) {
    const SANE_Word* list = option->constraint.word_list;
    for (SANE_Word i = 1; i <= list[0]; ++i)
      numbers.List.push_back(FromWord(option->type, list[i]));
  }
  return numbers;
}

std::vector<std::string> TSaneDevice::Texts(const char* name) const {
  std::vector<std::string> texts;
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr || option->constraint_type != SANE_CONSTRAINT_STRING_LIST ||
      option->constraint.string_list == nullptr)
    return texts;
  for (const SANE_String_Const* text = option->constraint.string_list; *text != nullptr; ++text)
    texts.emplace_back(*text);
  return texts;
}

double TSaneDevice::SetNumber(const char* name, double value) {
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr || !SANE_OPTION_IS_SETTABLE(option->cap))
    throw ESaneError(SANE_STATUS_UNSUPPORTED, name);
  std::vector<SANE_Word> words(
      std::max<size_t>(1, (option->size + sizeof(SANE_Word) - 1) / sizeof(SANE_Word)),
      ToWord(option->type, value));
  const SANE_Value_Type type = option->type;
  CheckSane(
      sane_control_option(FHandle, IndexOf(name), SANE_ACTION_SET_VALUE, words.data(), nullptr),
      name);
  // The device may have rounded the value (SANE_INFO_INEXACT): it says what it took.
  return FromWord(type, words[0]);
}

void TSaneDevice::SetText(const char* name, const std::string& value) {
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr || !SANE_OPTION_IS_SETTABLE(option->cap) ||
      option->type != SANE_TYPE_STRING)
    throw ESaneError(SANE_STATUS_UNSUPPORTED, name);
  std::vector<char> text(std::max<size_t>(static_cast<size_t>(option->size), value.size() + 1),
                         '\0');
  std::memcpy(text.data(), value.data(), value.size());
  CheckSane(
      sane_control_option(FHandle, IndexOf(name), SANE_ACTION_SET_VALUE, text.data(), nullptr),
      name);
}

double TSaneDevice::MillimetresPerUnit(const char* name) const {
  const SANE_Option_Descriptor* option = Find(name);
  if (option == nullptr) return 0;
  if (option->unit == SANE_UNIT_MM) return 1;
  if (option->unit == SANE_UNIT_PIXEL) {
    const double dpi = Number(SANE_NAME_SCAN_RESOLUTION).value_or(0);
    return dpi > 0 ? 25.4 / dpi : 0;
  }
  return 0;
}

bool TSaneDevice::Online() const {
  SANE_Int count = 0;
  return sane_control_option(FHandle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) ==
             SANE_STATUS_GOOD &&
         count > 0;
}

SANE_Status TSaneDevice::Start() {
  return sane_start(FHandle);
}

SANE_Status TSaneDevice::Parameters(SANE_Parameters& parameters) {
  return sane_get_parameters(FHandle, &parameters);
}

SANE_Status TSaneDevice::Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int& length) {
  length = 0;
  return sane_read(FHandle, data, maxLength, &length);
}

void TSaneDevice::Cancel() {
  sane_cancel(FHandle);
}
