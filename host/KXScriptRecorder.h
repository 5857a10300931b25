#pragma once
// The console's script recorder: while recording, form processing reports every restored
// control value and every submission; the steps keep their order and survive stopping, so a
// later recording continues the list. GenereateTestUnit writes them as a GoogleTest unit that
// replays the session in-process (tests/support/KXScriptPlayer.h) and checks that each
// submission reaches the form it reached while it was recorded.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "forms/KXScriptRecorder.h"

struct TKXRecordedStep {
  enum TKind { rsValue, rsSubmit };
  TKind Kind = rsValue;
  std::string FormClass;
  std::string Name;      // the posted field, or the submitting control's page name
  std::string Value;     // the restored value, or the submit's parameter
  bool Ended = false;    // a submit whose handler returned: Reached is known
  std::string Reached;   // the form active after the submit (empty: none)
};

class TKXScriptRecorder : public IKXScriptRecorder {
public:
  void StartRecording() { FRecording = true; }
  void StopRecording() { FRecording = false; }
  bool IsRecording() const { return FRecording; }
  std::vector<TKXRecordedStep> Steps() const;
  // The text of a test unit named AUnitName: one fixture whose test opens a session, replays
  // every step in order and ends the session.
  std::string GenereateTestUnit(const std::string& AUnitName) const;

  void ValueRestored(const std::string& AFormClass, const std::string& AField, const std::string& AValue) override;
  int SubmitStarted(const std::string& AFormClass, const std::string& AControl, const std::string& AParam) override;
  void SubmitEnded(int AStep, const std::string& AReachedFormClass) override;

private:
  std::atomic<bool> FRecording{false};
  mutable std::mutex FLock;   // guards FSteps; request threads append while the console reads
  std::vector<TKXRecordedStep> FSteps;
};

// AText as a C++ string literal: quotes, backslashes and control characters escaped, valid
// UTF-8 kept as it is, any other byte escaped.
std::string KXCppStringLiteral(const std::string& AText);
// AName as a C++ identifier ("_" for what may not appear in one).
std::string KXCppIdentifier(const std::string& AName);
