#include <gtest/gtest.h>

#include "core/KXClasses.h"
#include "core/KXComponent.h"
#include "server/KXServer.h"
#include "server/KXServerControllerBase.h"
#include "KXTestController.h"

namespace {

struct PathCase {
  const char* Name;
  const char* Path;
  TCmdCondition Command;
  const char* Word;
  const char* FileName;
  const char* Rest;
};

}  // namespace

TEST(ServerPath, CommandTable) {
  TKXTestControllerScope Scope;
  const PathCase Cases[] = {
      {"bare slash starts", "/", cmdStart, "", "", ""},
      {"exec", "/EXEC/5/abc", cmdExec, "EXEC", "5", "abc"},
      {"exec in lower case", "/exec/5/abc", cmdExec, "EXEC", "5", "abc"},
      {"update", "/UPDATE/3/sid", cmdUpdate, "UPDATE", "3", "sid"},
      {"upload", "/UPLOAD/3/sid", cmdUpload, "UPLOAD", "3", "sid"},
      {"resize", "/RESIZE/3/sid", cmdResize, "RESIZE", "3", "sid"},
      {"callback", "/CALLBACK/4/sid", cmdCallback, "CALLBACK", "4", "sid"},
      {"callback drops up to EXEC/", "/CALLBACK/x/EXEC/4/sid", cmdCallback, "CALLBACK", "4", "sid"},
      {"stop", "/STOP/sid/_s_.host/x", cmdStop, "STOP", "sid", "_s_.host/x"},
      {"cache keeps the whole rest", "/cache/user/sid/a.tmp", cmdCache, "CACHE", "user/sid/a.tmp", "user/sid/a.tmp"},
      {"gfx", "/gfx/a/b.gif", cmdGfx, "GFX", "a", "b.gif"},
      {"js", "/js/KXCommon.js_10.0.0", cmdJs, "JS", "KXCommon.js_10.0.0", ""},
      {"javascript", "/javascript/x.js", cmdJs, "JAVASCRIPT", "x.js", ""},
      {"files", "/files/a.txt", cmdFiles, "FILES", "a.txt", ""},
      {"files without sub-folders", "/files/sub/a.txt", cmdFiles, "FILES", "sub", "a.txt"},
      {"filesnc", "/filesnc/a.txt", cmdFilesNC, "FILESNC", "a.txt", ""},
      {"css", "/css/KXStyle.css", cmdCSS, "CSS", "KXStyle.css", ""},
      {"favicon", "/favicon.ico", cmdFavIcon, "FAVICON.ICO", "", ""},
      {"ping", "/PING", cmdPing, "PING", "", ""},
      {"unknown", "/NOPE/1", cmdUnknown, "NOPE", "1", ""},
      {"leading /../ is dropped", "/../EXEC/1/s", cmdExec, "EXEC", "1", "s"},
      {"call", "/CALL", cmdCall, "CALL", "", ""},
      {"rest equal to CALL", "/EXEC/call", cmdCall, "EXEC", "", ""},
  };
  for (const PathCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TKXParsedPath P = TKXServer::ParsePath(C.Path, "", TSkStringList(), Scope.Controller());
    EXPECT_EQ(P.Command, C.Command);
    EXPECT_EQ(P.CommandWord, C.Word);
    EXPECT_EQ(P.FileName, C.FileName);
    if (C.Command != cmdCall) {
      EXPECT_EQ(P.RemainingPath, C.Rest);
    }
  }
}

TEST(ServerPath, DevicePrefixes) {
  TKXTestControllerScope Scope;
  TKXParsedPath P = TKXServer::ParsePath("/32/", "", TSkStringList(), Scope.Controller());
  EXPECT_TRUE(P.Prefix32);
  EXPECT_EQ(P.Command, cmdStart);
  P = TKXServer::ParsePath("/wml/EXEC/1/s", "", TSkStringList(), Scope.Controller());
  EXPECT_TRUE(P.PrefixWML);
  EXPECT_EQ(P.Command, cmdExec);
  P = TKXServer::ParsePath("/XHTMLMP/", "", TSkStringList(), Scope.Controller());
  EXPECT_TRUE(P.PrefixXHTMLMP);
  EXPECT_FALSE(P.Prefix32);
}

TEST(ServerPath, CallTakesTheQuery) {
  TKXTestControllerScope Scope;
  const TKXParsedPath P = TKXServer::ParsePath("/CALL", "x/5/sid", TSkStringList(), Scope.Controller());
  EXPECT_EQ(P.Command, cmdCall);
  EXPECT_EQ(P.RemainingPath, "5/sid");
  EXPECT_EQ(P.FileName, "");
}

TEST(ServerPath, ConfiguredWords) {
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  C.SetStartCmd("go");
  EXPECT_EQ(TKXServer::ParsePath("/", "", {}, C).Command, cmdUnknown);
  EXPECT_EQ(TKXServer::ParsePath("/GO", "", {}, C).Command, cmdStart);
  C.SetStartCmd("");
  C.ReEntryOptions().Cmd = "again";
  EXPECT_EQ(TKXServer::ParsePath("/AGAIN", "", {}, C).Command, cmdReentry);
  C.SetSessionTrackingMethod(tmHidden);
  EXPECT_EQ(TKXServer::ParsePath("/AGAIN", "", {}, C).Command, cmdUnknown);
  EXPECT_EQ(TKXServer::ParsePath("/", "", TSkStringList{"KX_SessionID_=abc"}, C).Command, cmdExec);
  C.SetAllowSubFolders(true);
  EXPECT_EQ(TKXServer::ParsePath("/files/sub/a.txt", "", {}, C).FileName, "sub/a.txt");
}

TEST(ServerDates, InternetFormHasNoLeadingZeroOnTheDay) {
  EXPECT_EQ(DateTimeToInternetStr(false, EncodeDateTime(2026, 12, 8, 9, 5, 3)), "Tue, 8 Dec 2026 09:05:03 +0000");
  const TDateTime Local = UTCToLocal(EncodeDateTime(2026, 12, 8, 9, 5, 3));
  EXPECT_EQ(DateTimeToInternetStr(true, Local), "Tue, 8 Dec 2026 09:05:03 GMT");
}

TEST(ServerScripts, RedirectAsPartial) {
  EXPECT_EQ(TKXServer::RedirectAsPartial("http://x/"),
            std::string("<html>\r\n<head>\r\n<script>\r\n") + kKXTopFunction +
                " KXTop().window.location.href = \"http://x/\";</script>\r\n</head></html>");
  EXPECT_EQ(std::string(kKXTopFunction).substr(0, 16), "function KXTop()");
}

namespace {

class TKXPageProbe : public TKXComponent {
public:
  explicit TKXPageProbe(TKXComponent* AOwner) : TKXComponent(AOwner) {}
  KX_DECLARE_CLASS_INFO
  bool AllowPageAccess() const { return FAllow; }
  void SetAllowPageAccess(bool V) { FAllow = V; }
  static inline bool Default = true;

private:
  bool FAllow = Default;
};

const TKXClassInfo& TKXPageProbe::StaticClassInfo() {
  using T = TKXPageProbe;
  static const TKXClassInfo Info = KXClass<T, TKXComponent>("TKXPageProbe")
      .Props({KXBoolProp("AllowPageAccess", &T::AllowPageAccess, &T::SetAllowPageAccess)});
  return Info;
}

}  // namespace

TEST(ServerPath, PageModeStartsASessionForAnAllowedForm) {
  TKXTestControllerScope Scope;
  KXRegisterClass<TKXPageProbe>();
  TKXParsedPath P = TKXServer::ParsePath("/KXPageProbe.html", "", {}, Scope.Controller());
  EXPECT_EQ(P.Command, cmdStart);
  EXPECT_EQ(TKXServer::PageFormClass(), "TKXPAGEPROBE");
  P = TKXServer::ParsePath("/tkxpageprobe.IWP", "", {}, Scope.Controller());
  EXPECT_EQ(P.Command, cmdStart);
  TKXPageProbe::Default = false;
  P = TKXServer::ParsePath("/KXPageProbe.html", "", {}, Scope.Controller());
  EXPECT_EQ(P.Command, cmdUnknown);
  TKXPageProbe::Default = true;
  EXPECT_EQ(TKXServer::ParsePath("/NoSuchForm.html", "", {}, Scope.Controller()).Command, cmdUnknown);

  Scope.Controller().SetSessionTrackingMethod(tmCookie);
  P = TKXServer::ParsePath("/KXPageProbe.html", "", {}, Scope.Controller());
  EXPECT_EQ(P.Command, cmdReentry);
  EXPECT_EQ(Scope.Controller().ReEntryOptions().Cmd, "REENTRY");
  EXPECT_TRUE(Scope.Controller().ReEntryOptions().AutoCreateSession);
}
