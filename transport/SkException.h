#pragma once
#include <stdexcept>
#include <string>

// The transport's general exception; the framework's exceptions derive from it.
class ESkException : public std::runtime_error {
public:
  explicit ESkException(const std::string& AMessage) : std::runtime_error(AMessage) {}
  std::string Message() const { return what(); }
};
