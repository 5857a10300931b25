#pragma once
// Stored descriptions as read once, by their text: every later component of the class replays the
// steps recorded the first time instead of lexing and parsing the same text again.
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/KXDescriptionReader.h"

class TKXDescriptionCache {
public:
  // Applies AText to AReader's root: a replay when this text was read before, else a read that is
  // recorded for next time (a text that failed, or left references to resolve, is not kept). The
  // caller holds the stream-loading lock.
  void Read(TKXDescriptionReader& AReader, std::string_view AText);

private:
  struct TEntry {
    std::string Text;
    std::shared_ptr<const TKXDescriptionReader::TScript> Script;
  };
  std::map<const char*, TEntry> FEntries;   // by the address of the embedded text, checked by its bytes
};
