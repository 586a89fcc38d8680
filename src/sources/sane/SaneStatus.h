#pragma once

#include "tessivane/twain.h"

#include <sane/sane.h>

#include <stdexcept>
#include <string>

// A SANE status as the TWAIN standard reports it: the return code of the
// triplet and the condition code that DAT_STATUS then gives.
struct TTwainOutcome {
  TW_UINT16 Result = TWRC_SUCCESS;
  TW_UINT16 Condition = TWCC_SUCCESS;
};

// The one mapping of SANE status codes to TWAIN codes. SANE_STATUS_GOOD is
// success and SANE_STATUS_CANCELLED is TWRC_CANCEL; every other status
// fails the triplet with the condition that names it.
TTwainOutcome TwainOutcome(SANE_Status status);

// A SANE call that did not succeed; carries its status.
class ESaneError : public std::runtime_error {
public:
  ESaneError(SANE_Status status, const std::string& call);
  SANE_Status Status() const { return FStatus; }

private:
  SANE_Status FStatus;
};

// Raises ESaneError unless status is SANE_STATUS_GOOD.
void CheckSane(SANE_Status status, const char* call);
