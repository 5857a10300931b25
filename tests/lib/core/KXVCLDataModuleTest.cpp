#include "core/KXVCLDataModule.h"

#include <gtest/gtest.h>

#include "core/KXDescriptionReader.h"
#include "core/KXResources.h"
#include "KXTestClasses.h"

namespace {

// Records the order of construction steps, as the server controller does its own.
class TTestModule : public TKXVCLDataModule {
public:
  explicit TTestModule(TKXComponent* AOwner) : TKXVCLDataModule(AOwner) { Steps.push_back("defaults port=" + std::to_string(FPort)); }
  KX_DECLARE_CLASS_INFO

  void AfterConstruction() override {
    TKXVCLDataModule::AfterConstruction();
    Steps.push_back("fix-ups port=" + std::to_string(FPort));
  }
  void Loaded() override {
    TKXVCLDataModule::Loaded();
    Steps.push_back("loaded port=" + std::to_string(FPort));
  }
  void ModuleCreate(TKXComponent*) { Steps.push_back("OnCreate"); }

  int FPort = 0;
  TTestControl* Button1 = nullptr;
  std::vector<std::string> Steps;
};

const TKXClassInfo& TTestModule::StaticClassInfo() {
  using T = TTestModule;
  static const TKXClassInfo Info = KXClass<T, TKXVCLDataModule>("TTestModule")
                                       .Props({KXIntProp("Port", &T::FPort, &T::FPort)})
                                       .Methods({KXMethod("ModuleCreate", &T::ModuleCreate)})
                                       .Fields({KXField("Button1", &T::Button1)});
  return Info;
}

class TMissingModule : public TKXVCLDataModule {
public:
  using TKXVCLDataModule::TKXVCLDataModule;
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TMissingModule::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TMissingModule, TKXVCLDataModule>("TMissingModule");
  return Info;
}

}  // namespace

TEST(DataModule, DefaultsThenDescriptionThenFixUps) {
  RegisterTestClasses();
  KXRegisterResource("TTestModule",
                     "object TestModule: TTestModule\n  Port = 8888\n  OnCreate = ModuleCreate\n"
                     "  object Button1: TTestControl\n  end\nend\n");
  TKXComponent Host(nullptr);
  TTestModule* M = KXCreate<TTestModule>(&Host);
  EXPECT_EQ(M->Steps, (std::vector<std::string>{"defaults port=0", "loaded port=8888", "OnCreate", "fix-ups port=8888"}));
  EXPECT_FALSE(M->Designing());
  EXPECT_FALSE(M->Loading());
  ASSERT_NE(M->Button1, nullptr);
  EXPECT_EQ(M->Button1->Owner(), M);
  EXPECT_EQ(M->Name(), "TestModule");
  EXPECT_EQ(Host.FindComponent("testmodule"), M);
}

TEST(DataModule, ClassWithoutDescriptionIsNotCreated) {
  TKXComponent Host(nullptr);
  try {
    KXCreate<TMissingModule>(&Host);
    FAIL() << "no exception";
  } catch (const EKXResNotFound& E) {
    EXPECT_STREQ(E.what(), "TMissingModule not found.");
  }
  EXPECT_EQ(Host.ComponentCount(), 0);   // the half-made instance was freed

  // The base class itself has no description and needs none; neither does design mode.
  std::unique_ptr<TKXVCLDataModule> Base(KXCreate<TKXVCLDataModule>(nullptr));
  EXPECT_EQ(Base->ComponentCount(), 0);
  const TKXClassInfo* ByName = KXClassRegistry().FindClass("tkxvcldatamodule");
  ASSERT_NE(ByName, nullptr);
  std::unique_ptr<TKXComponent> Made(ByName->Create(nullptr));
  EXPECT_EQ(Made->ClassName(), "TKXVCLDataModule");
}
