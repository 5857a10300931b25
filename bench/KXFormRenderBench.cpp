// Page rendering of a whole form: an application form of 50 stand-in controls (labels, edits
// and buttons) created from its stored description, rendered again and again within one
// session, as each request of that session does.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "../tests/support/KXStandInControl.h"
#include "session/KXApplication.h"
#include "forms/KXAppForm.h"
#include "render/KXRenderContext.h"
#include "core/KXResources.h"
#include "server/KXServerControllerBase.h"
#include "core/KXStreams.h"

// Heap allocations are most of what a render costs: the bench counts them.
namespace {
thread_local size_t GAllocations = 0;
}

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"   // malloc and free pair up here
void* operator new(size_t ASize) {
  ++GAllocations;
  if (void* P = std::malloc(ASize ? ASize : 1)) return P;
  throw std::bad_alloc();
}
void operator delete(void* AP) noexcept { std::free(AP); }
void operator delete(void* AP, size_t) noexcept { std::free(AP); }

namespace {

constexpr int kControls = 50;

class TBenchController : public TKXServerControllerBase {
public:
  explicit TBenchController(TKXComponent* AOwner = nullptr) : TKXServerControllerBase(AOwner) {}

protected:
  void ReadStoredDescription() override { SetCacheExpiry(0); }   // no purge thread walking the folders
};

class TKXBenchForm : public TKXAppForm {
public:
  explicit TKXBenchForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TKXBenchForm::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXBenchForm, TKXAppForm>("TKXBenchForm");
  return Info;
}

// Two labels and two edits per row, a button on every fifth row.
std::string Description() {
  std::string D = "object BenchForm: TKXBenchForm\n  Width = 800\n  Height = 600\n  Title = 'Fifty controls'\n";
  int Tab = 0;
  for (int I = 0; I < kControls; ++I) {
    const char* Class = I % 5 == 4 ? "TKXStandInButton" : (I % 2 == 0 ? "TKXStandInLabel" : "TKXStandInEdit");
    D += "  object Control" + std::to_string(I) + ": " + Class + "\n";
    D += "    Left = " + std::to_string(10 + (I % 4) * 180) + "\n    Top = " + std::to_string(10 + (I / 4) * 30) + "\n";
    D += "    Width = 160\n    Height = 21\n    RenderSize = True\n";
    if (std::string(Class) == "TKXStandInLabel")
      D += "    Caption = 'Caption " + std::to_string(I) + "'\n";
    else
      D += "    TabOrder = " + std::to_string(Tab++) + "\n";
    D += "  end\n";
  }
  return D + "end\n";
}

void RenderForm(benchmark::State& AState) {
  const std::string App = std::filesystem::temp_directory_path().string() + "/kxformrenderbench";
  std::filesystem::create_directories(App);
  TKXServerControllerBase::SetApplicationFolder(App);
  std::unique_ptr<TBenchController> Controller(TKXServerControllerBase::Create<TBenchController>());
  KXRegisterStandIns();
  KXRegisterClass<TKXBenchForm>();
  static const std::string Stored = Description();
  KXRegisterResource("TKXBenchForm", Stored);
  {
    TKXApplication Session(*Controller, {brChrome, brsNone}, "Chrome", "127.0.0.1", "", "", "", TSkStringList(), "");
    SetCurrentSession(&Session);
    auto* Form = KXCreate<TKXBenchForm>(&Session);
    Form->Show();
    Session.SetFormAction(Session.ExecAction());
    size_t Bytes = 0;
    const size_t AllocationsBefore = GAllocations;
    for (auto _ : AState) {
      TKXRenderStream Page(rnInMemory);
      Form->GenerateForm(Page);
      Bytes = static_cast<size_t>(Page.Size());
      benchmark::DoNotOptimize(Bytes);
    }
    AState.counters["pages_per_s"] = benchmark::Counter(static_cast<double>(AState.iterations()), benchmark::Counter::kIsRate);
    AState.counters["bytes_per_page"] = static_cast<double>(Bytes);
    AState.counters["allocations_per_page"] =
        static_cast<double>(GAllocations - AllocationsBefore) / static_cast<double>(AState.iterations());
    SetCurrentSession(nullptr);
  }
  Controller.reset();
  std::filesystem::remove_all(App);
}
BENCHMARK(RenderForm)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
