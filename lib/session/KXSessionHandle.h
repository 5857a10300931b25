#pragma once
// One request's hold on one session: the session's lock, the thread's current session and a
// reference that keeps the session alive, all given up together by Release or the destructor.
// The registry hands these out; a session that leaves the registry while a handle holds it is
// destroyed when that handle lets go.
#include <memory>

class TKXApplication;

class TKXSessionHandle {
public:
  TKXSessionHandle() = default;
  // ALocked's lock is held by the calling thread; it becomes the thread's current session.
  explicit TKXSessionHandle(std::shared_ptr<TKXApplication> ALocked);
  ~TKXSessionHandle() { Release(); }
  TKXSessionHandle(TKXSessionHandle&& AOther) noexcept;
  TKXSessionHandle& operator=(TKXSessionHandle&& AOther) noexcept;
  TKXSessionHandle(const TKXSessionHandle&) = delete;
  TKXSessionHandle& operator=(const TKXSessionHandle&) = delete;

  TKXApplication* Get() const { return FSession.get(); }
  TKXApplication* operator->() const { return FSession.get(); }
  explicit operator bool() const { return FSession != nullptr; }

  // Marks the session's last access, releases its lock, puts back the thread's previous current
  // session and drops the reference (destroying a session that has left the registry).
  void Release() noexcept;

private:
  std::shared_ptr<TKXApplication> FSession;
  TKXApplication* FPreviousCurrent = nullptr;
};
