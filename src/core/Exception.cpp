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
    : EFOpenError(fileName, std::string(std::strerror(errorNumber))) {}

EFOpenError::EFOpenError(const std::string& fileName, const std::string& reason)
    : EStreamError("Cannot open file \"" + fileName + "\". " + reason) {}

EFCreateError::EFCreateError(const std::string& fileName, int errorNumber)
    : EFCreateError(fileName, std::string(std::strerror(errorNumber))) {}

EFCreateError::EFCreateError(const std::string& fileName, const std::string& reason)
    : EStreamError("Cannot create file \"" + fileName + "\". " + reason) {}
