#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

// Root of every error the libraries raise. The message is the text the
// operator sees in the error box, so it is kept exactly as given.
class Exception : public std::exception {
public:
  explicit Exception(std::string message);
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// Ends a command silently: nothing is shown to the operator.
class EAbort : public Exception {
public:
  EAbort();
};

// A failure reported by the operating system (memory, files, locks); the
// message is the system's description of the error number.
class EOSError : public Exception {
public:
  explicit EOSError(int errorNumber);
  EOSError(int errorNumber, const std::string& context);
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

// Arithmetic that has no result: a division by zero, or rounding a value
// that is not a finite number in range.
class EMathError : public Exception {
public:
  using Exception::Exception;
};

// Stream failures: short reads and writes, files that cannot be opened.
class EStreamError : public Exception {
public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
public:
  EReadError();
};
class EWriteError : public EStreamError {
public:
  EWriteError();
};
class EFOpenError : public EStreamError {
public:
  EFOpenError(const std::string& fileName, int errorNumber);
  EFOpenError(const std::string& fileName, const std::string& reason);
};
class EFCreateError : public EStreamError {
public:
  EFCreateError(const std::string& fileName, int errorNumber);
  EFCreateError(const std::string& fileName, const std::string& reason);
};

// Runs a reader's work so that a file asking for more memory than there is
// (std::bad_alloc, std::length_error) fails as an error of class E: the loops
// that catch our errors (the strip, a batch) never meet a foreign one.
template <typename E, typename Work> decltype(auto) WithoutForeignErrors(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    throw E("Not enough memory to read the file");
  } catch (const std::length_error&) {
    throw E("Not enough memory to read the file");
  }
}
