#include "KXConsoleSettings.h"

#include <ini.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "server/KXServerControllerBase.h"
#include "SkStrUtils.h"

namespace fs = std::filesystem;

namespace {

bool Flag(const char* AValue, bool ADefault) {
  int N = 0;
  return TryStrToInt(Trim(AValue), N) ? N != 0 : ADefault;
}

int Handler(void* AUser, const char* ASection, const char* AName, const char* AValue) {
  auto& S = *static_cast<TKXConsoleSettings*>(AUser);
  const std::string_view Name = AName;
  if (SameText(ASection, "Main")) {
    if (SameText(Name, "Parameters")) S.Parameters = AValue;
    else if (SameText(Name, "DebugInfo")) S.DebugInfo = Flag(AValue, S.DebugInfo);
    else if (SameText(Name, "SSL")) S.SSL = Flag(AValue, S.SSL);
    else if (SameText(Name, "HTML32")) S.HTML32 = Flag(AValue, S.HTML32);
    else if (SameText(Name, "WML")) S.WML = Flag(AValue, S.WML);
    else if (SameText(Name, "XHTMLMP")) S.XHTMLMP = Flag(AValue, S.XHTMLMP);
    else if (SameText(Name, "RunInTray")) S.RunInTray = Flag(AValue, S.RunInTray);
    else if (SameText(Name, "RunMinimized")) S.RunMinimized = Flag(AValue, S.RunMinimized);
    else if (SameText(Name, "RunIn")) {
      const int N = StrToIntDef(Trim(AValue), -1);
      // an ordinal this build does not know keeps the default browser
      S.RunIn = N >= wbDefault && N <= wbFirefox ? static_cast<TKXWebBrowser>(N) : wbDefault;
    }
  } else if (SameText(ASection, "HTTP") && SameText(Name, "SpeedLimit")) {
    S.SpeedLimit = StrToIntDef(Trim(AValue), 0);
  }
  return 1;
}

// An INI file as lines, changed one key at a time the way a profile writer does: a key found in
// its section is replaced in place, a new key goes to the end of its section, a new section to
// the end of the file. Everything else stays as it was.
class TIniLines {
public:
  explicit TIniLines(const std::string& APath) {
    std::ifstream In(APath, std::ios::binary);
    std::string Line;
    while (std::getline(In, Line)) {
      if (!Line.empty() && Line.back() == '\r') Line.pop_back();
      FLines.push_back(Line);
    }
  }

  void Set(const std::string& ASection, const std::string& AKey, const std::string& AValue) {
    const std::string Entry = AKey + "=" + AValue;
    size_t At = 0;
    while (At < FLines.size() && !IsSection(FLines[At], ASection)) ++At;
    if (At == FLines.size()) {
      FLines.push_back("[" + ASection + "]");
      FLines.push_back(Entry);
      return;
    }
    size_t End = At + 1;
    size_t Last = At;   // the section's last line that is not blank
    for (; End < FLines.size() && !IsAnySection(FLines[End]); ++End) {
      const std::string T = Trim(FLines[End]);
      if (T.empty()) continue;
      Last = End;
      const size_t Eq = T.find('=');
      if (Eq != std::string::npos && SameText(Trim(T.substr(0, Eq)), AKey)) {
        FLines[End] = Entry;
        return;
      }
    }
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(Last + 1), Entry);
  }

  std::string Text() const {
    std::string R;
    for (const std::string& L : FLines) R += L + "\n";
    return R;
  }

private:
  static bool IsAnySection(const std::string& ALine) {
    const std::string T = Trim(ALine);
    return T.size() >= 2 && T.front() == '[' && T.back() == ']';
  }
  static bool IsSection(const std::string& ALine, const std::string& ASection) {
    const std::string T = Trim(ALine);
    return IsAnySection(T) && SameText(Trim(T.substr(1, T.size() - 2)), ASection);
  }

  std::vector<std::string> FLines;
};

// Read-only as the file's attributes say it (no write permission for anyone), whoever runs us.
bool IsReadOnly(const std::string& APath) {
  struct stat St;
  return stat(APath.c_str(), &St) == 0 && (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

TKXConsoleSettings TKXConsoleSettings::Read(const std::string& APath) {
  TKXConsoleSettings S;
  ini_parse(APath.c_str(), Handler, &S);
  return S;
}

bool TKXConsoleSettings::Write(const std::string& APath) const {
  try {
    if (IsReadOnly(APath)) return false;
    TIniLines Ini(APath);
    const auto B = [](bool V) { return std::string(V ? "1" : "0"); };
    // The order in which the keys are written, and so the order a new file lists them in.
    Ini.Set("Main", "Parameters", Parameters);
    Ini.Set("Main", "SSL", B(SSL));
    Ini.Set("Main", "DebugInfo", B(DebugInfo));
    Ini.Set("Main", "HTML32", B(HTML32));
    Ini.Set("Main", "WML", B(WML));
    Ini.Set("Main", "XHTMLMP", B(XHTMLMP));
    Ini.Set("Main", "RunIn", std::to_string(static_cast<int>(RunIn)));
    Ini.Set("HTTP", "SpeedLimit", std::to_string(SpeedLimit));
    Ini.Set("Main", "RunMinimized", B(RunMinimized));
    Ini.Set("Main", "RunInTray", B(RunInTray));
    const std::string Text = Ini.Text();
    std::ofstream Out(APath, std::ios::binary | std::ios::trunc);
    Out << Text;
    Out.flush();
    return static_cast<bool>(Out);
  } catch (...) {
    return false;   // the program ends normally whatever happened to its settings
  }
}

std::string TKXConsoleSettings::DefaultPath() {
  std::error_code Ec;
  fs::path Exe = fs::read_symlink("/proc/self/exe", Ec).filename();
  if (Exe.empty()) Exe = "kexalo";
  return TKXServerControllerBase::GetAppPath() + Exe.replace_extension(".kxb").string();
}
