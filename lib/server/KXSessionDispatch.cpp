#include "server/KXSessionDispatch.h"

#include <mutex>

#include "core/KXException.h"

namespace {

// Stands in until the session registry is installed: no id is known and no main form exists.
class TKXNoSessions : public IKXSessionDispatch {
public:
  TKXApplication* LookupAndLock(const std::string&) override { return nullptr; }
  TKXApplication* LookupByTaggedNameAndLock(const std::string&) override { return nullptr; }
  void CheckSession(TKXApplication*, const std::string&, const std::string&) override {}
  void Release(TKXApplication*) override {}
  TKXApplication* Start(const TKXStartRequest&, std::string&) override {
    throw EDeviceNotSupported("Device not supported");
  }
  void Discard(TKXApplication*) override {}
  bool Terminate(const std::string&) override { return false; }
  const std::string& SessionID(TKXApplication*) override { return FEmpty; }
  const std::string& SessionAuthUser(TKXApplication*) override { return FEmpty; }
  const std::string& SessionAuthPassword(TKXApplication*) override { return FEmpty; }
  int SessionTimeout(TKXApplication*) override { return 0; }
  std::string SessionURLBase(TKXApplication*) override { return {}; }
  unsigned SessionTrackID(TKXApplication*) override { return 0; }
  bool HasHTML40ActiveForm(TKXApplication*) override { return false; }
  void Exec(TKXApplication*&, unsigned, int, TWebRequest*, TWebResponse*, const std::string&, TSkStringList&) override {}
  void ApplyWindowSize(TKXApplication*, TWebRequest*, TWebResponse*, TSkStringList&, bool) override {}
  void RemoveRunParams(TKXApplication*, TSkStringList&) override {}

private:
  const std::string FEmpty;
};

std::unique_ptr<IKXSessionDispatch>& Installed() {
  static std::unique_ptr<IKXSessionDispatch> D = std::make_unique<TKXNoSessions>();
  return D;
}

}  // namespace

IKXSessionDispatch& KXSessionDispatch() { return *Installed(); }

void KXSetSessionDispatch(std::unique_ptr<IKXSessionDispatch> ADispatch) {
  Installed() = ADispatch ? std::move(ADispatch) : std::make_unique<TKXNoSessions>();
}
