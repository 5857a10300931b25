#pragma once
// What form processing tells the console's script recorder: each control value restored from a
// post and each submission of the active form. The recorder itself lives with the console; the
// framework only sees this interface, and only while one is installed.
#include <string>

class IKXScriptRecorder {
public:
  virtual ~IKXScriptRecorder() = default;
  // Called on request threads, sessions in parallel; ignored unless recording.
  virtual void ValueRestored(const std::string& AFormClass, const std::string& AField, const std::string& AValue) = 0;
  // Returns a step number for SubmitEnded, which reports the form active after the handler
  // ran (empty: the session has no form left). A handler that raises ends no step.
  virtual int SubmitStarted(const std::string& AFormClass, const std::string& AControl, const std::string& AParam) = 0;
  virtual void SubmitEnded(int AStep, const std::string& AReachedFormClass) = 0;
};

// The process-wide recorder, or none. Set it before requests are served and clear it after.
IKXScriptRecorder* KXScriptRecorder();
void KXSetScriptRecorder(IKXScriptRecorder* ARecorder);
