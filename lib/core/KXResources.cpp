#include "core/KXResources.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "SkStrUtils.h"

namespace {

struct TResourceTable {
  std::mutex Lock;   // guards Entries and Owned; writers run at start-up, lookups copy nothing
  std::map<std::string, std::string_view, TSkLessText> Entries;
  std::deque<std::string> Owned;   // bytes of run-time additions
};

// A function-local static so registration from other translation units' initialisers is safe.
TResourceTable& Table() {
  static TResourceTable T;
  return T;
}

}  // namespace

void KXRegisterResources(const TKXResourceEntry* AEntries, unsigned long ACount) {
  TResourceTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  for (unsigned long I = 0; I < ACount; ++I)
    T.Entries[AEntries[I].Name] = std::string_view(reinterpret_cast<const char*>(AEntries[I].Data), AEntries[I].Size);
}

void KXRegisterResource(std::string_view AName, std::string_view ABytes) {
  TResourceTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  T.Owned.emplace_back(ABytes);
  T.Entries[std::string(AName)] = T.Owned.back();
}

std::optional<std::string_view> KXFindResource(std::string_view AName) {
  TResourceTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  auto It = T.Entries.find(AName);
  if (It == T.Entries.end()) return std::nullopt;
  return It->second;
}
