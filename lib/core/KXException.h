#pragma once
// The framework's exception classes. The dispatcher maps each class to its own response.
#include "SkException.h"

class EKXException : public ESkException {
public:
  using ESkException::ESkException;
};

// Raised by an event handler to leave it quietly: request processing swallows it.
class EKXAbort : public EKXException {
public:
  EKXAbort() : EKXException("Operation aborted") {}
};

class EInvalidSession : public EKXException {
public:
  using EKXException::EKXException;
};

class ENoCookieSupportException : public EKXException {
public:
  using EKXException::EKXException;
};

// Raised for browsers that are refused; SupportsJS tells whether the refusal page may be a script.
class EUnknownBrowserException : public EKXException {
public:
  EUnknownBrowserException(const std::string& AMessage, bool ASupportsJS)
      : EKXException(AMessage), FSupportsJS(ASupportsJS) {}
  bool SupportsJS() const { return FSupportsJS; }

private:
  bool FSupportsJS;
};

class EDeviceNotSupported : public EKXException {
public:
  using EKXException::EKXException;
};

class EKXWrongSubnet : public EKXException {
public:
  using EKXException::EKXException;
};

class EKXSessionListException : public EKXException {
public:
  using EKXException::EKXException;
};

// Out-of-range integers (track ids, sequence numbers) as the language runtime would report them.
class ERangeError : public EKXException {
public:
  ERangeError() : EKXException("Range check error") {}
};
