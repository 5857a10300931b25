#pragma once
// The table of live sessions: enters new sessions already locked, finds and locks the session a
// request names, expires idle ones on its own thread and empties itself at the end. A session
// leaves the table here and is destroyed when the last handle on it lets go.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/KXSleepingThread.h"
#include "server/KXSessionDispatch.h"

class TKXApplication;
class TKXSessions;
using TKXSessionRef = std::shared_ptr<TKXApplication>;

// Sessions sorted by id without regard to case; duplicates refused.
class TKXSessionList {
public:
  // "Session is already in list!" for an id that is already there.
  void Add(const std::string& ASessionID, TKXSessionRef ASession);
  TKXSessionRef LookUp(const std::string& ASessionID) const;
  TKXSessionRef LookUpAndRemove(const std::string& ASessionID);
  bool Exists(const TKXApplication* ASession) const;
  void GetObjectList(std::vector<TKXSessionRef>& AList) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  TKXSessionRef First() const { return FItems.empty() ? nullptr : FItems.begin()->second; }

private:
  // Keyed by the id upper-cased: plain byte order on that key is the case-insensitive order,
  // and a lookup costs one upper-casing instead of a folding compare at every step.
  std::map<std::string, TKXSessionRef> FItems;
};

// Destroys expired sessions every 60 s.
class TSessionTimeoutThread : public TKXSleepingThread {
public:
  explicit TSessionTimeoutThread(TKXSessions& ARegistry);
  // Stops the thread while this object is whole: it runs this class's Execute.
  ~TSessionTimeoutThread() override;

protected:
  void Execute() override;

private:
  TKXSessions& FRegistry;
};

// Every handle on a session of the registry must be gone before the registry is.
class TKXSessions : public IKXSessionDispatch {
public:
  TKXSessions();
  // Stops the expiry thread, then clears (every session destroyed with its close events).
  ~TKXSessions() override;
  TKXSessions(const TKXSessions&) = delete;
  TKXSessions& operator=(const TKXSessions&) = delete;

  // The first session entered starts the expiry thread.
  TKXSessionHandle AddSessionAndLock(std::unique_ptr<TKXApplication> ASession) override;
  TKXSessionHandle LookupAndLock(const std::string& AAppID) override;
  TKXSessionHandle LookupByTaggedNameAndLock(const std::string& ATaggedSessionName) override;
  void Discard(TKXSessionHandle& ASession) override;
  bool Terminate(const std::string& AAppID) override;
  bool IsValidSession(const TKXApplication* ASession);
  // Takes the idle sessions nobody holds out of the table; the caller lets them go.
  void RemoveExpiredSessions(std::vector<TKXSessionRef>& AList);
  // The sessions in the table now (each kept alive by the copy).
  std::vector<TKXSessionRef> Snapshot();
  void Clear();
  int Count();
  bool ExpiryThreadStarted();

  // Raised as a session enters the table, and as a session that was in it is destroyed (after its
  // OnCloseSession), on the thread that does it.
  std::function<void(TKXApplication*)> OnCreateSession;
  std::function<void(TKXApplication*)> OnDestroySession;
  void DoCreateSession(TKXApplication* ASession);
  void DoDestroySession(TKXApplication* ASession);

  // One pass of the expiry thread: collect, then let each go. Callable directly.
  void SweepExpired();

private:
  // Takes a found session's lock outside the registry lock; empty when it left the table meanwhile.
  TKXSessionHandle LockFound(TKXSessionRef ASession);
  void Removed(const TKXSessionRef& ASession);
  void DestroySession(TKXApplication* ASession);

  std::mutex FLock;   // guards FSessions and FExpiryThread; never held while waiting for a session
  TKXSessionList FSessions;
  std::unique_ptr<TSessionTimeoutThread> FExpiryThread;
};
