#include "server/KXSessions.h"

#include <algorithm>
#include <thread>

#include "core/KXDescriptionReader.h"
#include "core/KXException.h"
#include "core/KXVCLDataModule.h"
#include "session/KXApplication.h"
#include "SkDateTime.h"
#include "SkStrUtils.h"

namespace {

const char* const kAlreadyInList = "Session is already in list!";
const char* const kAddSessionFailed = "An internal error occurred in TKXSessions.AddSession.";
constexpr int kExpirySlices = 600;   // 60 s between sweeps

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKXSessionList

void TKXSessionList::Add(const std::string& ASessionID, TKXSessionRef ASession) {
  if (!FItems.emplace(UpperCase(ASessionID), std::move(ASession)).second) throw EKXSessionListException(kAlreadyInList);
}

TKXSessionRef TKXSessionList::LookUp(const std::string& ASessionID) const {
  if (ASessionID.empty()) return nullptr;
  const auto It = FItems.find(UpperCase(ASessionID));
  return It == FItems.end() ? nullptr : It->second;
}

TKXSessionRef TKXSessionList::LookUpAndRemove(const std::string& ASessionID) {
  if (ASessionID.empty()) return nullptr;
  const auto It = FItems.find(UpperCase(ASessionID));
  if (It == FItems.end()) return nullptr;
  TKXSessionRef Session = std::move(It->second);
  FItems.erase(It);
  return Session;
}

bool TKXSessionList::Exists(const TKXApplication* ASession) const {
  return std::any_of(FItems.begin(), FItems.end(), [ASession](const auto& P) { return P.second.get() == ASession; });
}

void TKXSessionList::GetObjectList(std::vector<TKXSessionRef>& AList) const {
  AList.reserve(AList.size() + FItems.size());
  for (const auto& P : FItems) AList.push_back(P.second);
}

// ---------------------------------------------------------------------------------------------
// The expiry thread

TSessionTimeoutThread::TSessionTimeoutThread(TKXSessions& ARegistry)
    : TKXSleepingThread("Session Timeout"), FRegistry(ARegistry) {}

TSessionTimeoutThread::~TSessionTimeoutThread() {
  Terminate();
  WaitFor();
}

// No priority change: an unprivileged thread could lower its priority but never restore it.
void TSessionTimeoutThread::Execute() {
  while (SleepSlices(kExpirySlices)) {
    try {
      FRegistry.SweepExpired();
    } catch (...) {
      // A failed pass is retried on the next one.
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TKXSessions

TKXSessions::TKXSessions() = default;

TKXSessions::~TKXSessions() {
  std::unique_ptr<TSessionTimeoutThread> Thread;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    Thread = std::move(FExpiryThread);
  }
  Thread.reset();   // stops within 100 ms; a pass under way finishes first
  Clear();
}

void TKXSessions::DoCreateSession(TKXApplication* ASession) {
  if (OnCreateSession) OnCreateSession(ASession);
}

void TKXSessions::DoDestroySession(TKXApplication* ASession) {
  if (OnDestroySession) OnDestroySession(ASession);
}

void TKXSessions::Removed(const TKXSessionRef& ASession) { ASession->SetRegistered(false); }

// Runs when the last reference goes, as the thread's current session: its forms and close
// handlers reach it. One failing session must not stop the others from going.
void TKXSessions::DestroySession(TKXApplication* ASession) {
  TKXCurrentSessionScope Scope(ASession);
  ASession->Close();
  try {
    DoDestroySession(ASession);
  } catch (...) {
  }
  try {
    delete ASession;
  } catch (...) {
  }
}

TKXSessionHandle TKXSessions::AddSessionAndLock(std::unique_ptr<TKXApplication> ASession) {
  ASession->Lock();   // new, so nobody else can hold it
  TKXSessionRef Session;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FSessions.LookUp(ASession->AppID())) {
      ASession->Unlock();
      throw EKXException(kAddSessionFailed);   // never entered, never counted: it just goes
    }
    Session = TKXSessionRef(ASession.release(), [this](TKXApplication* S) { DestroySession(S); });
    FSessions.Add(Session->AppID(), Session);
    Session->SetRegistered(true);
    if (!FExpiryThread) {
      FExpiryThread = std::make_unique<TSessionTimeoutThread>(*this);
      FExpiryThread->Start();
    }
  }
  TKXSessionHandle Handle(Session);
  DoCreateSession(Session.get());
  return Handle;
}

TKXSessionHandle TKXSessions::LockFound(TKXSessionRef ASession) {
  if (!ASession) return {};
  ASession->Lock();   // the registry lock is not held here: other sessions are served meanwhile
  TKXSessionHandle Handle(std::move(ASession));
  if (!Handle->Registered()) Handle.Release();   // ended while this request waited for it
  return Handle;
}

TKXSessionHandle TKXSessions::LookupAndLock(const std::string& AAppID) {
  TKXSessionRef Session;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    Session = FSessions.LookUp(AAppID);
  }
  return LockFound(std::move(Session));
}

TKXSessionHandle TKXSessions::LookupByTaggedNameAndLock(const std::string& ATaggedSessionName) {
  TKXSessionRef Found;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    std::vector<TKXSessionRef> All;
    FSessions.GetObjectList(All);
    for (TKXSessionRef& Session : All) {
      if (SameText(Session->TaggedSessionName(), ATaggedSessionName)) {
        Found = std::move(Session);
        break;
      }
    }
  }
  return LockFound(std::move(Found));
}

void TKXSessions::Discard(TKXSessionHandle& ASession) {
  if (!ASession) return;
  TKXSessionRef Removed;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    // Only this object's entry: an id re-used by a newer session stays.
    if (FSessions.LookUp(ASession->AppID()).get() == ASession.Get()) Removed = FSessions.LookUpAndRemove(ASession->AppID());
  }
  if (Removed) this->Removed(Removed);
  ASession.Release();
}

bool TKXSessions::IsValidSession(const TKXApplication* ASession) {
  std::lock_guard<std::mutex> Guard(FLock);
  return ASession && FSessions.Exists(ASession);
}

bool TKXSessions::Terminate(const std::string& AAppID) {
  TKXSessionRef Session;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    Session = FSessions.LookUpAndRemove(AAppID);
  }
  if (!Session) return false;
  Removed(Session);
  return true;   // destroyed here, or by the request that still holds it when that one ends
}

void TKXSessions::RemoveExpiredSessions(std::vector<TKXSessionRef>& AList) {
  const TDateTime Now = NowLocal();
  {
    std::lock_guard<std::mutex> Guard(FLock);
    std::vector<TKXSessionRef> All;
    FSessions.GetObjectList(All);
    for (TKXSessionRef& Session : All) {
      if (!Session->TryLock()) continue;   // busy: looked at again next pass
      const bool Expired = Session->Expired(Now);
      Session->Unlock();
      if (!Expired) continue;
      FSessions.LookUpAndRemove(Session->AppID());
      AList.push_back(std::move(Session));
    }
  }
  for (const TKXSessionRef& Session : AList) Removed(Session);
}

std::vector<TKXSessionRef> TKXSessions::Snapshot() {
  std::vector<TKXSessionRef> All;
  std::lock_guard<std::mutex> Guard(FLock);
  FSessions.GetObjectList(All);
  return All;
}

void TKXSessions::Clear() {
  for (;;) {
    TKXSessionRef Session;
    {
      std::lock_guard<std::mutex> Guard(FLock);
      Session = FSessions.First();
      if (!Session) return;
      FSessions.LookUpAndRemove(Session->AppID());
    }
    Removed(Session);
  }
}

int TKXSessions::Count() {
  std::lock_guard<std::mutex> Guard(FLock);
  return FSessions.Count();
}

bool TKXSessions::ExpiryThreadStarted() {
  std::lock_guard<std::mutex> Guard(FLock);
  return FExpiryThread != nullptr;
}

void TKXSessions::SweepExpired() {
  std::vector<TKXSessionRef> Expired;
  RemoveExpiredSessions(Expired);
}
