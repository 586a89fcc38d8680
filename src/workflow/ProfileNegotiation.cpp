#include "workflow/ProfileNegotiation.h"

#include "core/Exception.h"
#include "profiles/PaperCodifier.h"
#include "profiles/ParameterCatalogue.h"
#include "profiles/Text.h"
#include "twain/AcqTWAIN.h"
#include "twain/Container.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

constexpr uint16_t kMsgGet = 0x0001;
constexpr uint16_t kMsgSet = 0x0006;
constexpr int32_t kSupportedSizes = 4386;

// Strict conversion of a decimal number written with the decimal separator
// of the user's locale.
double StrToFloat(const std::string& text) {
  const std::string trimmed = Trim(text);
  char* end = nullptr;
  errno = 0;
  const double value = trimmed.empty() ? 0 : std::strtod(trimmed.c_str(), &end);
  if (trimmed.empty() || end != trimmed.c_str() + trimmed.size() || errno == ERANGE ||
      !std::isfinite(value))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return value;
}

// The locale's text for a float written with a point.
std::string LocaleFloatText(const std::string& text) {
  const char separator = *std::localeconv()->decimal_point;
  std::string local = text;
  if (separator != '.')
    for (char& c : local)
      if (c == '.') c = separator;
  return local;
}

// A line for ICAP_SUPPORTEDSIZES on a source without it: the frame becomes
// the paper the code names, or the whole physical area.
void ApplyPageSizeFallback(TAcqTWAIN& twain, std::string rest) {
  CutField(rest); // the type letter plays no part here
  const std::string value = Trim(CutField(rest));
  TTwnImageLayout layout;
  const TPaperCodifier papers;
  TPaperSize paper;
  paper.Width = twain.GetPhysicalWidth();
  paper.Height = twain.GetPhysicalHeight();
  try {
    papers.GetPaperSize(SupportedSizePaperName(StrToInt(value)), paper);
  } catch (const EConvertError&) {
    // A value that is not a number keeps the physical size.
  }
  layout.Right = paper.Width;
  layout.Bottom = paper.Height;
  twain.SetImageLayout(layout);
}

void ApplyLine(TAcqTWAIN& twain, std::string rest, TLogSink& log, TOperatorPrompt& prompt) {
  const int32_t capability = StrToInt(Trim(CutField(rest)));
  const std::string name = ParameterDisplayName(capability);
  const auto cap = static_cast<uint16_t>(capability);
  if (capability < 0 || capability > 0xFFFF || !twain.IsCapSupported(cap)) {
    if (capability == kSupportedSizes)
      ApplyPageSizeFallback(twain, rest);
    else
      log.AddLine("Parameter " + name + " unsupported.");
    return;
  }
  const std::string letter = UpperCase(Trim(CutField(rest)));
  std::string value = Trim(CutField(rest));
  TTwnContainer* container = nullptr;
  if (twain.GetCapabilityMsg(cap, kMsgGet, container) != 0 || container == nullptr) {
    log.AddLine("Unable to get parameter " + name + ".");
    return;
  }
  if (value == "?") {
    std::string current = container->CurrentValue().AsString();
    if (container->CurrentValue().IsFloat()) current = LocaleFloatText(current);
    value =
        prompt.InputBox("Input parametro", std::to_string(capability), current).value_or(current);
  }
  if (letter == "B")
    container->SetCurrentValue(TTwnVariant((StrToInt(value) & 0xFF) != 0));
  else if (letter == "F")
    container->SetCurrentValue(TTwnVariant(StrToFloat(value)));
  else if (letter == "I")
    container->SetCurrentValue(TTwnVariant(StrToInt(value)));
  else if (letter == "S")
    container->SetCurrentValue(TTwnVariant(value));
  else if (letter != "R")
    log.AddLine("Tipo di parametro non valido " + letter + " per " + name);
  if (twain.SetCapabilityMsg(kMsgSet, -1, container) != 0)
    log.AddLine("Unable to set parameter " + name + ".");
}

} // namespace

void ApplyProfileSettings(TAcqTWAIN& twain, const std::vector<std::string>& profile, TLogSink& log,
                          TOperatorPrompt& prompt) {
  for (size_t index = 1; index < profile.size(); ++index) {
    try {
      ApplyLine(twain, profile[index], log, prompt);
    } catch (const Exception& error) {
      log.AddLine(error.Message());
    } catch (const std::exception& error) {
      log.AddLine(error.what());
    }
  }
}
