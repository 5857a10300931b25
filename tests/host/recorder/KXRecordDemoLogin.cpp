// Records a login of the demonstration on its real server, as an operator would with the
// console's Script Recorder (Start, a browser logs in, Stop, Save), and saves the test unit.
// Usage: kx-record-demo-login <unit file> <login> <password>
#include <cstdio>
#include <regex>
#include <string>

#include "content/KXFileParser.h"
#include "forms/KXForm.h"
#include "forms/KXScriptRecorder.h"
#include "KXConsole.h"
#include "KXScriptRecorder.h"
#include "KXTestFolders.h"
#include "ServerController.h"
#include "server/KXServerControllerBase.h"
#include "SkCodec.h"
#include "SkTestClient.h"
#include "Unit1.h"

namespace {

const char kChrome[] = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";

// The body of a page fetched as a browser fetches it.
std::string Fetch(uint16_t APort, const std::string& AMethod, const std::string& APath, const std::string& ABody = "") {
  std::string Request = AMethod + " " + APath + " HTTP/1.0\r\nUser-Agent: " + kChrome + "\r\n";
  if (!ABody.empty())
    Request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(ABody.size()) +
               "\r\n";
  const std::string Answer = SkRoundTrip(APort, Request + "\r\n" + ABody);
  const size_t Body = Answer.find("\r\n\r\n");
  return Body == std::string::npos ? std::string() : Answer.substr(Body + 4);
}

std::string Field(const std::string& AName, const std::string& AValue) {
  return HTTPEncode(AName) + "=" + HTTPEncode(AValue);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <unit file> <login> <password>\n", argv[0]);
    return 2;
  }
  KXRegisterFileParser();
  KXRegisterServerController();
  TKXAppForm::SetAsMainForm<TKXForm1>();
  TKXTempFolder Folder;   // the application folder: cache, log files
  TKXServerControllerBase::SetApplicationFolder(Folder.Path());

  TKXScriptRecorder Recorder;
  KXSetScriptRecorder(&Recorder);
  TKXConsoleOptions Options;
  Options.Host.Port = 0;
  Options.SettingsFile = Folder.Path() + "/recorder.kxb";
  Options.SaveSettings = false;
  Options.Recorder = &Recorder;
  TKXConsole Console(Options);
  Console.Open();
  const auto Port = static_cast<uint16_t>(TKXServerControllerBase::Instance()->Port());

  Console.Execute(actionStartRecording);
  // The start page names the session in its address; its script posts the window size first.
  const std::string Start = Fetch(Port, "GET", "/");
  std::smatch M;
  if (!std::regex_search(Start, M, std::regex("/EXEC/0/([0-9a-z]{28})"))) {
    std::fprintf(stderr, "no session address in the start page:\n%s\n", Start.c_str());
    return 1;
  }
  const std::string ID = M[1];
  const std::string Login = Fetch(Port, "POST", "/EXEC/0/" + ID,
                                  "KX_width=1024&KX_height=768&KX_SessionID_=" + ID + "&KX_TrackID_=0");
  if (Login.find("name=\"KX_FormClass\" value=\"TKXForm1\"") == std::string::npos) {
    std::fprintf(stderr, "the login form did not come:\n%s\n", Login.c_str());
    return 1;
  }
  // What the page's script posts for a click on OK: the form, the event and every field.
  const std::string Click = Field("KX_FormName", "KXForm1") + "&" + Field("KX_FormClass", "TKXForm1") + "&" +
                            Field("KX_SessionID_", ID) + "&" + Field("KX_TrackID_", "1") + "&" +
                            Field("KX_Action", "KXBUTTON3") + "&" + Field("KX_ActionParam", "") + "&" +
                            Field("KXEDIT2", argv[2]) + "&" + Field("KXEDIT3", argv[3]);
  Fetch(Port, "POST", "/EXEC/1/" + ID, Click);
  Console.Execute(actionStopRecording);

  const std::string Unit = argv[1];
  Console.OnChooseRecordingFile = [&Unit] { return Unit; };
  Console.Execute(actionSaveRecording);
  Console.Close();
  KXSetScriptRecorder(nullptr);
  std::printf("recorded %zu steps into %s\n", Recorder.Steps().size(), Unit.c_str());
  return 0;
}
