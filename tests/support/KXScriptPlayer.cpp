#include "KXScriptPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "forms/KXBaseForm.h"
#include "server/KXServer.h"
#include "server/KXServerControllerBase.h"
#include "server/KXSessions.h"
#include "session/KXApplication.h"
#include "KXTestWebRequest.h"
#include "SkCodec.h"

namespace {

const char kUserAgent[] = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";

std::string Field(const std::string& AName, const std::string& AValue) {
  return HTTPEncode(AName) + "=" + HTTPEncode(AValue);
}

}  // namespace

TKXScriptPlayer::TKXScriptPlayer() : FSavedFolder(TKXServerControllerBase::GetAppPath()) {
  TKXServerControllerBase::SetApplicationFolder(FFolder.Path());
  FRegistry = std::make_unique<TKXSessions>();
  FController.reset(TKXServerControllerBase::CreateServerController());
}

TKXScriptPlayer::~TKXScriptPlayer() {
  FRegistry.reset();   // the sessions end while their controller is still there
  FController.reset();
  TKXServerControllerBase::SetApplicationFolder(FSavedFolder);
}

std::string TKXScriptPlayer::Exchange(const std::string& AMethod, const std::string& APath, const std::string& ABody) {
  TKXTestWebRequest Request(AMethod, APath, "");
  Request.SetHeader("User-Agent", kUserAgent);
  if (!ABody.empty()) {
    Request.SetFormBody(ABody);
  }
  TKXTestWebResponse Response(Request);
  TKXServer Server(*FController, *FRegistry);
  DispatchWebRequest(Server, Request, Response);
  FLastPage = Response.SentBody();
  return FLastPage;
}

template <class F> bool TKXScriptPlayer::WithSession(F&& AWith) {
  if (FSessionID.empty()) return false;
  const TKXSessionHandle S = FRegistry->LookupAndLock(FSessionID);
  if (!S) return false;
  AWith(*S.Get());
  return true;
}

void TKXScriptPlayer::OpenSession() {
  const std::vector<TKXSessionRef> Before = FRegistry->Snapshot();
  const std::string Page = Exchange("GET", "/", "");
  for (const TKXSessionRef& S : FRegistry->Snapshot())
    if (std::find(Before.begin(), Before.end(), S) == Before.end()) FSessionID = S->AppID();
  ASSERT_FALSE(FSessionID.empty()) << "the start address made no session:\n" << Page;
  // The first page measures the browser's window and posts the size; its answer is the main form.
  if (Page.find("KX_width") != std::string::npos)
    Exchange("POST", "/EXEC/0/" + FSessionID,
             "KX_width=1024&KX_height=768&KX_SessionID_=" + FSessionID + "&KX_TrackID_=0");
  EXPECT_FALSE(ActiveFormClass().empty()) << "the new session shows no form:\n" << FLastPage;
}

std::string TKXScriptPlayer::ActiveFormClass() {
  std::string Class;
  WithSession([&](TKXApplication& S) {
    if (TKXBaseForm* F = S.ActiveForm()) Class = static_cast<TKXComponent*>(F)->ClassName();
  });
  return Class;
}

void TKXScriptPlayer::SetValue(const std::string& AFormClass, const std::string& AField, const std::string& AValue) {
  ++FStep;
  EXPECT_EQ(ActiveFormClass(), AFormClass) << "step " << FStep << ": the value of " << AField
                                           << " was recorded on another form";
  FPending.emplace_back(AField, AValue);
}

void TKXScriptPlayer::Submit(const std::string& AFormClass, const std::string& AControl, const std::string& AParam,
                             std::optional<std::string> AReached) {
  ++FStep;
  std::string FormName, Track;
  const bool Live = WithSession([&](TKXApplication& S) {
    if (TKXBaseForm* F = S.ActiveForm()) FormName = static_cast<TKXComponent*>(F)->Name();
    Track = std::to_string(S.TrackID());
  });
  ASSERT_TRUE(Live) << "step " << FStep << ": the session has ended before " << AControl << " was submitted";
  EXPECT_EQ(ActiveFormClass(), AFormClass) << "step " << FStep << ": " << AControl << " was recorded on another form";
  std::string Body = Field("KX_FormName", FormName) + "&" + Field("KX_FormClass", AFormClass) + "&" +
                     Field("KX_SessionID_", FSessionID) + "&" + Field("KX_TrackID_", Track) + "&" +
                     Field("KX_Action", AControl) + "&" + Field("KX_ActionParam", AParam);
  for (const auto& [Name, Value] : FPending) Body += "&" + Field(Name, Value);
  FPending.clear();
  Exchange("POST", "/EXEC/" + Track + "/" + FSessionID, Body);
  if (AReached) {
    EXPECT_EQ(ActiveFormClass(), *AReached) << "step " << FStep << ": submitting " << AControl << " on " << AFormClass
                                            << " reached another form than it did when recorded";
  }
}

void TKXScriptPlayer::CloseSession() {
  if (!FSessionID.empty()) FRegistry->Terminate(FSessionID);
  FSessionID.clear();
  FPending.clear();
}
