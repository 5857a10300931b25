#include "core/KXGlobal.h"

#include <filesystem>

const char* const kKXTopFunction =
    "function KXTop(){ \r\n  if ((parent != self) && (parent != null) ) {\r\n    try {\r\n      return "
    "parent.KXTop();\r\n    } catch (e) {\r\n      return window;\r\n    }\r\n  } else {\r\n    return window;\r\n  "
    "}\r\n}\r\n";

namespace {

thread_local IKXSessionScope* GCurrentScope = nullptr;

std::string WithTrailingSeparator(std::string S) {
  if (S.empty() || S.back() != '/') S += '/';
  return S;
}

std::string& ApplicationFolder() {
  static std::string Folder = [] {
    std::error_code Ec;
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Ec);
    return Ec ? std::string("./") : WithTrailingSeparator(Exe.parent_path().string());
  }();
  return Folder;
}

}  // namespace

const std::string& KXApplicationFolder() { return ApplicationFolder(); }

void KXSetApplicationFolder(const std::string& AFolder) { ApplicationFolder() = WithTrailingSeparator(AFolder); }

IKXSessionScope* SetCurrentSessionScope(IKXSessionScope* AScope) {
  IKXSessionScope* Previous = GCurrentScope;
  GCurrentScope = AScope;
  return Previous;
}

IKXSessionScope* CurrentSessionScope() { return GCurrentScope; }

