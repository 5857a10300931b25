#pragma once
// Scratch objects kept by each thread and lent for the span of one call. Rendering fills the
// same kind of buffer for every control of every page; a lent object keeps its room from one
// use to the next, so the steady state allocates nothing. A call nested in another of the same
// kind (a container rendering its sub-containers) is lent an object of its own. The borrower
// clears what it needs cleared.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

template <class T>
class TKXScratch {
public:
  TKXScratch() {
    std::vector<std::unique_ptr<T>>& Lent = Items();
    if (Depth() == Lent.size()) Lent.push_back(std::make_unique<T>());
    FItem = Lent[Depth()++].get();
  }
  ~TKXScratch() { --Depth(); }
  TKXScratch(const TKXScratch&) = delete;
  TKXScratch& operator=(const TKXScratch&) = delete;

  T& operator*() const { return *FItem; }
  T* operator->() const { return FItem; }

private:
  static std::vector<std::unique_ptr<T>>& Items() {
    thread_local std::vector<std::unique_ptr<T>> Kept;
    return Kept;
  }
  static size_t& Depth() {
    thread_local size_t InUse = 0;
    return InUse;
  }

  T* FItem;
};

// Strings handed from one short-lived owner to the next with their room: every control's
// render context collects its scripts in two of them, and a page has dozens of contexts.
class TKXKeptStrings {
public:
  static std::string Take() {
    std::vector<std::string>& K = Kept();
    if (K.empty()) return {};
    std::string S = std::move(K.back());
    K.pop_back();
    S.clear();
    return S;
  }
  static void Give(std::string&& AString) {
    constexpr size_t kMaxKept = 256, kMaxRoom = 16384;   // a few pages' worth, no giant buffers
    std::vector<std::string>& K = Kept();
    if (K.size() < kMaxKept && AString.capacity() <= kMaxRoom) K.push_back(std::move(AString));
  }

private:
  static std::vector<std::string>& Kept() {
    thread_local std::vector<std::string> Strings;
    return Strings;
  }
};
