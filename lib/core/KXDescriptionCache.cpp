#include "core/KXDescriptionCache.h"

void TKXDescriptionCache::Read(TKXDescriptionReader& AReader, std::string_view AText) {
  auto It = FEntries.find(AText.data());
  if (It != FEntries.end() && It->second.Text == AText) return AReader.Replay(*It->second.Script);
  AReader.StartRecording();
  AReader.Feed(AText);
  AReader.Finish();
  if (std::shared_ptr<const TKXDescriptionReader::TScript> Script = AReader.TakeScript())
    FEntries[AText.data()] = TEntry{std::string(AText), std::move(Script)};
}
