#include "KXConsole.h"

TKXConsole::TKXConsole(const TKXHostOptions& AOptions) : FOptions(AOptions) {}

TKXConsole::~TKXConsole() { Close(); }

void TKXConsole::Open() {
  if (FServer) return;
  FServer = std::make_unique<TKXStandAloneServer>(
      [this](TKXStandAloneServer*, int32_t ATotal) {
        FSentBytes = ATotal;
        if (OnSentChanged) OnSentChanged(ATotal);
      },
      [this](TKXStandAloneServer*, int32_t ABytes) { LogBytes(ABytes); },
      [this](TKXStandAloneServer*, const std::string& AMsg) { Log(AMsg); }, FOptions);
  // Session changes happen on request and expiry threads; the count reaches this thread.
  FServer->OnSessionCountChanged = [this](TKXStandAloneServer*, int32_t ACount) {
    FSessionCount = ACount;
    if (OnSessionsChanged) OnSessionsChanged(ACount);
  };
}

void TKXConsole::Close() {
  if (!FServer) return;
  FServer->OnSessionCountChanged = nullptr;
  FServer.reset();
}

size_t TKXConsole::ProcessNotifications(std::chrono::milliseconds ATimeOut) {
  return FServer ? FServer->Notifications().WaitAndDrain(ATimeOut) : 0;
}

void TKXConsole::Wake() {
  if (FServer) FServer->Notifications().Wake();
}

void TKXConsole::Log(const std::string& AMsg) {
  if (AMsg.empty()) return;
  FLogLines.push_back(AMsg);
  while (FLogLines.size() > FMaxLogLines) FLogLines.pop_front();
  if (OnLogLine) OnLogLine(AMsg);
}

void TKXConsole::LogBytes(int32_t ABytes) {
  if (ABytes >= 1) Log(" Bytes: " + FormatBytes(ABytes));
}

std::string TKXConsole::FormatBytes(int64_t ABytes) {
  const bool Negative = ABytes < 0;
  std::string Digits = std::to_string(Negative ? -ABytes : ABytes);
  for (int I = static_cast<int>(Digits.size()) - 3; I > 0; I -= 3) Digits.insert(static_cast<size_t>(I), ",");
  return Negative ? "-" + Digits : Digits;
}
