#include "core/Exception.h"

#include <cstring>
#include <utility>

Exception::Exception(std::string message) : FMessage(std::move(message)) {}

EAbort::EAbort() : Exception("Operation aborted") {}

EOSError::EOSError(int errorNumber)
    : Exception(std::strerror(errorNumber)), FErrorCode(errorNumber) {}

EOSError::EOSError(int errorNumber, const std::string& context)
    : Exception(context + ": " + std::strerror(errorNumber)), FErrorCode(errorNumber) {}

EReadError::EReadError() : EStreamError("Stream read error") {}

EWriteError::EWriteError() : EStreamError("Stream write error") {}

EFOpenError::EFOpenError(const std::string& fileName, int errorNumber)
    : EStreamError("Cannot open file \"" + fileName + "\". " + std::strerror(errorNumber)) {}

EFCreateError::EFCreateError(const std::string& fileName, int errorNumber)
    : EStreamError("Cannot create file \"" + fileName + "\". " + std::strerror(errorNumber)) {}
