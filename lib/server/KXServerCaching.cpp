// Caching headers: Expires, Last-Modified and Pragma by what the answer is, and the content length.
#include "server/KXServer.h"

#include "server/KXServerControllerBase.h"
#include "session/KXApplication.h"
#include "SkStream.h"
#include "SkWebResponse.h"

void TKXServer::Finish(TWebRequest* ARequest, TWebResponse* AResponse) {
  ReleaseSession();
  if (!FState.SkipCaching) {
    TKXServerControllerBase& C = Controller();
    const TDateTime Now = NowLocal();
    TDateTime Expiry;
    if (FState.Cacheable) {
      Expiry = Now + C.CacheExpiry() / 1440.0;
    } else {
      AResponse->SetLastModified(-1);
      if (ARequest->ServerPort() != C.SSLOptions().Port)
        AResponse->SetCustomHeader("Pragma", "no-cache");
      Expiry = Now - 1;
    }
    if (Expiry >= Now) {
      if (AResponse->GetCustomHeader("Expires").empty())
        AResponse->SetCustomHeader("Expires", DateTimeToInternetStr(true, Expiry));
    } else {
      AResponse->SetCustomHeader("Expires", "");
    }
    if (AResponse->LastModified() > 0) {
      AResponse->SetCustomHeader("Last-Modified", DateTimeToInternetStr(true, AResponse->LastModified()));
      AResponse->SetLastModified(-1);
    }
    if (TSkStream* Stream = AResponse->ContentStream()) {
      Stream->SetPosition(0);
      AResponse->SetContentLength(Stream->Size());
    }
  }
  SetCurrentSession(nullptr);
}
