#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KXTestClasses.h"
#include "core/KXDescriptionReader.h"
#include "core/KXResources.h"
#include "core/KXVCLDataModule.h"

namespace {

class TSessionModule : public TKXVCLDataModule {
public:
  using TKXVCLDataModule::TKXVCLDataModule;
  KX_DECLARE_CLASS_INFO
  std::string FTitle;
  TTestControl* Button1 = nullptr;
};

const TKXClassInfo& TSessionModule::StaticClassInfo() {
  using T = TSessionModule;
  static const TKXClassInfo Info = KXClass<T, TKXVCLDataModule>("TSessionModule")
                                       .Props({KXStringProp("Title", &T::FTitle, &T::FTitle)})
                                       .Fields({KXField("Button1", &T::Button1)});
  return Info;
}

}  // namespace

// Sessions create their modules on their own threads at the same time.
TEST(DescriptionLoadingConcurrency, ParallelCreationsEachGetTheirOwnValues) {
  RegisterTestClasses();
  KXRegisterResource("TSessionModule",
                     "object SessionModule: TSessionModule\n  Title = 'per session'\n"
                     "  object Button1: TTestControl\n    Color = clWebAZURE\n    Font.Style = [fsBold]\n  end\nend\n");
  std::atomic<int> Good{0};
  std::vector<std::thread> Threads;
  for (int T = 0; T < 4; ++T)
    Threads.emplace_back([&] {
      TKXComponent Session(nullptr);
      for (int I = 0; I < 25; ++I) {
        auto* M = KXCreate<TSessionModule>(&Session);
        if (M->FTitle == "per session" && M->Button1 && M->Button1->FColor == clTestAzure) ++Good;
      }
    });
  for (std::thread& T : Threads) T.join();
  EXPECT_EQ(Good.load(), 100);
}
