#pragma once
// What the dispatcher asks of the session registry: entering, finding and locking, and ending
// sessions. Every session a request works on is held through a handle, released when the handle
// goes; no call waits for a session's lock while it holds a lock of the registry.
#include <memory>
#include <string>

#include "session/KXSessionHandle.h"

class TKXApplication;

class IKXSessionDispatch {
public:
  virtual ~IKXSessionDispatch() = default;
  // Enters a new session, locked by the calling thread ("An internal error occurred in
  // TKXSessions.AddSession." when its id is taken).
  virtual TKXSessionHandle AddSessionAndLock(std::unique_ptr<TKXApplication> ASession) = 0;
  // Finds the session and takes its lock, waiting for it; an empty handle when the id is unknown.
  virtual TKXSessionHandle LookupAndLock(const std::string& ASessionID) = 0;
  virtual TKXSessionHandle LookupByTaggedNameAndLock(const std::string& ATaggedName) = 0;
  // Takes a held session out of the registry; it is destroyed when the handle lets go.
  virtual void Discard(TKXSessionHandle& ASession) = 0;
  // Ends a session that the caller does not hold; false for an unknown id.
  virtual bool Terminate(const std::string& ASessionID) = 0;
};
