#pragma once
// The executable's embedded resources: bytes compiled in at build time (scripts, images,
// templates, data tables, stored descriptions) and found by name without regard to case.
// The generated registration code fills the table before main(); it is read-only afterwards.
#include <optional>
#include <string_view>

struct TKXResourceEntry {
  const char* Name;
  const unsigned char* Data;
  unsigned long Size;
};

// Adds a table of entries (called from generated code during static initialisation, or by tests).
void KXRegisterResources(const TKXResourceEntry* AEntries, unsigned long ACount);
// Adds one entry whose bytes live as long as the process (tests and run-time additions).
void KXRegisterResource(std::string_view AName, std::string_view ABytes);
std::optional<std::string_view> KXFindResource(std::string_view AName);
