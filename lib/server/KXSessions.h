#pragma once
// The process-wide table of live sessions: finds and locks the session a request names, enters
// new sessions already locked, hands expired ones to the expiry thread and empties itself at the
// end. It is the only place where sessions are destroyed.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class TKXApplication;

// Sessions sorted by id without regard to case; duplicates refused.
class TKXSessionList {
public:
  // "Session is already in list!" for an id that is already there.
  void Add(const std::string& ASessionID, TKXApplication* ASession);
  TKXApplication* LookUp(const std::string& ASessionID) const;
  TKXApplication* LookUpAndRemove(const std::string& ASessionID);
  // Compares object pointers only, so it is safe to ask about a session that is already gone.
  bool Exists(const TKXApplication* ASession) const;
  void GetObjectList(std::vector<TKXApplication*>& AList) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  TKXApplication* First() const { return FItems.empty() ? nullptr : FItems.begin()->second; }

private:
  // Keyed by the id upper-cased: plain byte order on that key is the case-insensitive order,
  // and a lookup costs one upper-casing instead of a folding compare at every step.
  std::map<std::string, TKXApplication*> FItems;
};

class TKXSessions {
public:
  // Becomes the process-wide registry and the dispatcher's way to sessions.
  TKXSessions();
  // Clears (every session destroyed with its close events), then withdraws itself.
  ~TKXSessions();
  TKXSessions(const TKXSessions&) = delete;
  TKXSessions& operator=(const TKXSessions&) = delete;

  // "An internal error occurred in TKXSessions.AddSession." when the id is taken.
  void AddSessionAndLock(TKXApplication* ASession);
  // ATimeOutMS 0: no limit. After a time-out the session is returned unlocked.
  TKXApplication* LookupAndLock(const std::string& AAppID, int ATimeOutMS = 0);
  TKXApplication* LookupByTaggedNameAndLock(const std::string& ATaggedSessionName);
  void Remove(TKXApplication* ASession);
  bool IsValidSession(const TKXApplication* ASession);
  // The caller must not hold the session's lock.
  bool Terminate(const std::string& AAppID);
  // Moves the idle, not busy sessions into AList; the caller destroys them (DestroySession).
  void RemoveExpiredSessions(std::vector<TKXApplication*>& AList);
  // Pair these: the snapshot is valid and the registry locked in between.
  const std::vector<TKXApplication*>& LockList();
  void UnLockList();
  void Clear();
  int Count();

  std::function<void(TKXApplication*)> OnCreateSession;
  std::function<void(TKXApplication*)> OnDestroySession;
  void DoCreateSession(TKXApplication* ASession);
  void DoDestroySession(TKXApplication* ASession);

  // Frees a session that is out of the table, as the thread's current session; errors swallowed.
  static void DestroySession(TKXApplication* ASession);
  // One pass of the expiry thread: collect, then destroy each. Callable directly.
  void SweepExpired();

private:
  std::mutex FLock;   // the registry lock: guards FSessions and FList; taken before any session lock
  std::vector<TKXApplication*> FList;
  TKXSessionList FSessions;
};

// The registry while one exists, else nullptr.
TKXSessions* GSessions();

// Installs, once, the data-module hooks that attach data modules made during a request to the
// current session, and the lookup stored descriptions use to find the session's forms by name.
// The previously installed data-module hooks are kept for design mode and put back at exit.
void KXInstallSessionLookups();
// That lookup: none on the main thread or without a current session, else the first of the
// current session's forms and data modules with that name, without regard to case.
class TKXComponent;
TKXComponent* KXFindSessionComponent(std::string_view AName);
