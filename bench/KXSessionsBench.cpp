// Session registry figures: creation, lookup-and-lock rate from two threads at 1,000 and
// 100,000 live sessions, and resident memory per idle session (sessions without forms).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "session/KXApplication.h"
#include "server/KXServerControllerBase.h"
#include "server/KXSessions.h"

namespace {

class TBenchController : public TKXServerControllerBase {
public:
  explicit TBenchController(TKXComponent* AOwner = nullptr) : TKXServerControllerBase(AOwner) {}

protected:
  void ReadStoredDescription() override { SetCacheExpiry(0); }   // no purge thread walking the folders
};

long ResidentBytes() {
  long Pages = 0, Resident = 0;
  if (FILE* F = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(F, "%ld %ld", &Pages, &Resident) != 2) Resident = 0;
    std::fclose(F);
  }
  return Resident * sysconf(_SC_PAGESIZE);
}

double Seconds(std::chrono::steady_clock::duration D) { return std::chrono::duration<double>(D).count(); }

void Run(TKXSessions& ARegistry, int ACount, int AThreads, int AOpsPerThread) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::string> IDs;
  IDs.reserve(static_cast<size_t>(ACount));
  const long Before = ResidentBytes();
  const auto StartCreate = Clock::now();
  for (int I = 0; I < ACount; ++I) {
    TKXSessionHandle S = ARegistry.AddSessionAndLock(std::make_unique<TKXApplication>(
        *TKXServerControllerBase::Instance(), TKXBrowserType{brChrome, brsNone}, "Chrome", "127.0.0.1", "", "", "",
        TSkStringList(), ""));
    IDs.push_back(S->AppID());
  }
  const double CreateSecs = Seconds(Clock::now() - StartCreate);
  // The id copies kept here for the lookups are not part of a session.
  const long IdBytes = static_cast<long>(IDs.capacity() * sizeof(std::string) + IDs.size() * 32);
  const long Growth = ResidentBytes() - Before - IdBytes;

  std::atomic<bool> Go{false};
  std::atomic<long> Done{0};
  std::vector<std::thread> Threads;
  for (int T = 0; T < AThreads; ++T)
    Threads.emplace_back([&, T] {
      std::mt19937 Pick(static_cast<unsigned>(T) * 7919u + 1u);   // which id to ask for, not an id
      std::uniform_int_distribution<size_t> Index(0, IDs.size() - 1);
      while (!Go) std::this_thread::yield();
      long N = 0;
      for (int I = 0; I < AOpsPerThread; ++I) {
        if (ARegistry.LookupAndLock(IDs[Index(Pick)])) ++N;
      }
      Done += N;
    });
  const auto StartLookups = Clock::now();
  Go = true;
  for (auto& T : Threads) T.join();
  const double LookupSecs = Seconds(Clock::now() - StartLookups);

  std::printf("%7d sessions: created %.0f/s; %ld lookup-and-lock from %d threads: %.0f/s; RSS growth %.0f bytes/session\n",
              ACount, ACount / CreateSecs, Done.load(), AThreads, Done.load() / LookupSecs,
              static_cast<double>(Growth) / ACount);
  const auto StartClear = Clock::now();
  ARegistry.Clear();
  std::printf("%7d sessions: cleared in %.2f s\n", ACount, Seconds(Clock::now() - StartClear));
}

}  // namespace

int main() {
  const std::string App = std::filesystem::temp_directory_path().string() + "/kxsessionsbench";
  std::filesystem::create_directories(App);
  TKXServerControllerBase::SetApplicationFolder(App);
  TBenchController* Controller = TKXServerControllerBase::Create<TBenchController>();
  {
    TKXSessions Registry;
    Run(Registry, 1000, 2, 1000000);
    Run(Registry, 100000, 2, 1000000);
  }
  delete Controller;
  std::filesystem::remove_all(App);
  return 0;
}
