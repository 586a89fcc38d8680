#include "SaneStatus.h"

TTwainOutcome TwainOutcome(SANE_Status status) {
  switch (status) {
  case SANE_STATUS_GOOD:
    return {TWRC_SUCCESS, TWCC_SUCCESS};
  case SANE_STATUS_CANCELLED:
    return {TWRC_CANCEL, TWCC_SUCCESS};
  case SANE_STATUS_NO_DOCS:
    return {TWRC_FAILURE, TWCC_NOMEDIA};
  case SANE_STATUS_JAMMED:
    return {TWRC_FAILURE, TWCC_PAPERJAM};
  case SANE_STATUS_COVER_OPEN:
    return {TWRC_FAILURE, TWCC_INTERLOCK};
  case SANE_STATUS_DEVICE_BUSY:
    return {TWRC_FAILURE, TWCC_MAXCONNECTIONS};
  case SANE_STATUS_IO_ERROR:
    return {TWRC_FAILURE, TWCC_CHECKDEVICEONLINE};
  case SANE_STATUS_NO_MEM:
    return {TWRC_FAILURE, TWCC_LOWMEMORY};
  case SANE_STATUS_ACCESS_DENIED:
    return {TWRC_FAILURE, TWCC_DENIED};
  case SANE_STATUS_INVAL:
    return {TWRC_FAILURE, TWCC_BADVALUE};
  case SANE_STATUS_UNSUPPORTED:
    return {TWRC_FAILURE, TWCC_OPERATIONERROR};
  default: // SANE_STATUS_EOF outside a read, and codes of later SANE versions
    return {TWRC_FAILURE, TWCC_BUMMER};
  }
}

ESaneError::ESaneError(SANE_Status status, const std::string& call)
    : std::runtime_error(call + ": " + sane_strstatus(status)), FStatus(status) {}

void CheckSane(SANE_Status status, const char* call) {
  if (status != SANE_STATUS_GOOD) throw ESaneError(status, call);
}
