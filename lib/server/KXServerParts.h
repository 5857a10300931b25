#pragma once
// What the dispatcher's units share (KXServer*.cpp); not part of the framework's interface.
#include <string>

#include "core/KXGlobal.h"

// Takes the text up to the first "/" from ARest (all of it without one) and removes it with the "/".
inline std::string Fetch(std::string& ARest) {
  const size_t P = ARest.find('/');
  std::string Segment = ARest.substr(0, P);
  ARest = P == std::string::npos ? std::string() : ARest.substr(P + 1);
  return Segment;
}

inline bool IsSessionCommand(TCmdCondition C) {
  return C == cmdReentry || C == cmdStop || C == cmdExec || C == cmdUpdate || C == cmdResize || C == cmdUpload ||
         C == cmdCallback;
}

inline bool CarriesIDs(TCmdCondition C) { return IsSessionCommand(C) || C == cmdCall; }

// The page form class page mode chose for this thread's request (KXServerPath.cpp).
void KXSetPageFormClass(std::string AClassName);
