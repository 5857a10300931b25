// Files without a session: the files and cache folders, the internal scripts and images, the icon.
#include "server/KXServer.h"

#include <sys/stat.h>

#include <filesystem>

#include "content/KXContentTypes.h"
#include "content/KXInternalFiles.h"
#include "core/KXBrowser.h"
#include "server/KXServerControllerBase.h"
#include "server/KXServerParts.h"
#include "server/KXSessionDispatch.h"
#include "session/KXApplication.h"
#include "SkCodec.h"
#include "SkStrUtils.h"
#include "SkStream.h"
#include "SkWebResponse.h"

namespace fs = std::filesystem;

namespace {

// A disk path inside the files or cache folder: no "..", no absolute or backslashed names, in any encoding.
bool IsSafeRelativeName(const std::string& AName) {
  std::string Decoded = AName;
  for (int Pass = 0; Pass < 3; ++Pass) {
    std::string Next;
    if (!TryURLDecodePath(Decoded, Next)) return false;
    if (Next == Decoded) break;
    Decoded = Next;
  }
  if (Decoded.empty() || Decoded[0] == '/' || Decoded.find('\\') != std::string::npos) return false;
  if (Decoded.find('\0') != std::string::npos) return false;
  for (const std::string& Part : SplitString(Decoded, '/'))
    if (Part == "..") return false;
  return true;
}

TDateTime FileModified(const std::string& APath) {
  struct stat St;
  if (stat(APath.c_str(), &St) != 0) return -1;
  return UTCToLocal(UnixToDateTime(St.st_mtime));
}

}  // namespace

void TKXServer::CommandFiles(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  const std::string& Name = FState.Path.FileName;
  if (C.OnFileAccess) {
    bool Valid = false;
    C.OnFileAccess(ARequest, FState.UserName, FState.Password, Name, Valid);
    if (!Valid) {
      AResponse->SetContent("Permission denied");
      AResponse->SetStatusCode(403);
      FState.SkipCaching = true;
      return;
    }
  }
  FState.Cacheable = FState.Path.Command == cmdFiles;
  TSyncLog::Log("External File: " + Name);
  if (!IsSafeRelativeName(Name)) {
    AResponse->SetStatusCode(404);
    AResponse->SetReasonString("File not found");
    FState.Cacheable = false;
    return;
  }
  ServeFile(ARequest, AResponse, C.FilesDir() + Name);
  if (AResponse->StatusCode() != 200) FState.Cacheable = false;
}

void TKXServer::CommandCache(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  const std::string& Name = FState.Path.FileName;
  TSyncLog::Log("Cache File: " + Name);
  std::string Rest = Name;
  if (SameText(Fetch(Rest), "user")) {
    const std::string ID = Fetch(Rest);
    if (TKXSessionHandle Session = FSessions.LookupAndLock(ID))
      Session->CheckAddressAndBrowser(FState.ClientIP, DetermineBrowser(ARequest->UserAgent()).Browser);
  }
  if (!IsSafeRelativeName(Name)) {
    AResponse->SetStatusCode(404);
    AResponse->SetReasonString("File not found");
    FState.Cacheable = false;
    return;
  }
  ServeFile(ARequest, AResponse, C.GetCacheDir() + Name);
  FState.Cacheable = AResponse->StatusCode() == 200 && AResponse->LastModified() > 0;
}

bool TKXServer::NotModifiedSinceStart(TWebRequest* ARequest) {
  return InternalFileNotModified(Controller().StartTime(), ARequest->GetFieldByName("If-Modified-Since"));
}

void TKXServer::CommandInternal(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& APrefix,
                                const std::string& AResourceFile, const std::string& AExtension,
                                const std::string& ALogWord) {
  const std::string& LogName = FState.Path.FileName;
  if (NotModifiedSinceStart(ARequest)) {
    AResponse->SetStatusCode(304);
    AResponse->SetReasonString("Not modified");
    FState.Cacheable = false;
  } else {
    const std::string Name = APrefix == kKXScriptResourcePrefix ? ScriptResourceName(AResourceFile)
                                                                : InternalResourceName(APrefix, AResourceFile);
    AResponse->SetContentStream(ResourceAsStream(Name));
    AResponse->SetContentType(AExtension.empty() ? InternalFileContentType(ARequest->PathInfo(), Name)
                                                 : ContentTypeOfExtension(AExtension));
    AResponse->SetLastModified(Controller().StartTime());
  }
  TSyncLog::Log(ALogWord + IntToStr(AResponse->StatusCode()) + ")" + LogName);
}

// An image path keeps its sub-folders: "/gfx/a/b.gif" names "a/b.gif".
std::string TKXServer::GfxFileName() const {
  const TKXParsedPath& P = FState.Path;
  return P.RemainingPath.empty() ? P.FileName : P.FileName + "/" + P.RemainingPath;
}

void TKXServer::CommandFavIcon(TWebRequest* ARequest, TWebResponse* AResponse) {
  const std::string Disk = Controller().FilesDir() + "favicon.ico";
  std::error_code Ec;
  if (fs::exists(Disk, Ec)) {
    ServeFile(ARequest, AResponse, Disk);
  } else {
    AResponse->SetContentStream(ResourceAsStream("KX_FAVICON"));
    AResponse->SetLastModified(Controller().StartTime());
  }
  AResponse->SetContentType(ContentTypeOfExtension(".ico"));
}

std::unique_ptr<TSkStream> TKXServer::ResourceAsStream(const std::string& AName) {
  return std::make_unique<TSkMemoryStream>(std::string(InternalFileBytes(AName)));
}

void TKXServer::ServeFile(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& AFileName) {
  std::error_code Ec;
  if (!fs::is_regular_file(AFileName, Ec)) {
    AResponse->SetStatusCode(404);
    AResponse->SendResponse();
    return;
  }
  const TDateTime Modified = FileModified(AFileName);
  if (Modified <= 0) {
    AResponse->SetStatusCode(404);
    AResponse->SetReasonString("File not found");
    return;
  }
  if (DiskFileNotModified(Modified, ARequest->GetFieldByName("If-Modified-Since"))) {
    AResponse->SetStatusCode(304);
    AResponse->SetReasonString("Not modified");
    return;
  }
  AResponse->SetContentStream(std::make_unique<TSkFileStream>(AFileName, TSkFileMode::fmOpenRead));
  const std::string Name = fs::path(AFileName).filename().string();
  AResponse->SetContentType(EndsText(".tmp", Name) ? ContentTypeOfExtension("." + Name.substr(0, 3)) : ContentTypeOfFile(Name));
  AResponse->SetLastModified(Modified);
}
