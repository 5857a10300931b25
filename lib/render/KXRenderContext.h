#pragma once
// Page-level rendering state shared by the page context and everything that writes page text.
#include <memory>
#include <string>
#include <vector>

#include "core/KXBrowser.h"
#include "render/KXInterfaces.h"
#include "render/KXRenderRequest.h"
#include "core/KXNameIndex.h"
#include "SkStringList.h"

class IKXSessionForm;
class TKXApplication;
class TKXComponent;
class TKXComponent40Context;
class TKXHTMLTag;
class TKXTextElement;

// Everything a page needs that its controls add while they render: script and link files,
// style rules, the sections of the Initialize function, validations, hidden inputs, and the
// page's body and form tags. Made for one render and freed at its end.
class TKXPageContext40 {
public:
  // AWebApplication answers for session services (cache files); none for a page made in code.
  explicit TKXPageContext40(TKXApplication* AWebApplication, TKXRenderRequest ARequest = {});
  ~TKXPageContext40();
  TKXPageContext40(const TKXPageContext40&) = delete;
  TKXPageContext40& operator=(const TKXPageContext40&) = delete;

  TKXApplication* WebApplication() const { return FWebApplication; }
  const TKXRenderRequest& Request() const { return FRequest; }
  TKXBrowser Browser() const { return FRequest.Browser; }
  const std::string& LineEnd() const { return FRequest.LineEnd; }
  // A new empty file in the session's cache folder, and the address of that folder.
  std::string NewUserCacheFile(const std::string& APrefix) const;
  std::string UserCacheURL() const;
  TKXHTMLTag& FormTag() { return *FFormTag; }
  TKXHTMLTag& BodyTag() { return *FBodyTag; }
  TKXHTMLTag& StyleTag() { return *FStyleTag; }
  const std::string& URLBase() const { return FURLBase; }
  void SetURLBase(const std::string& AValue) { FURLBase = AValue; }
  const std::string& Title() const { return FTitle; }   // already HTML-encoded
  void SetTitle(const std::string& AValue) { FTitle = AValue; }
  TSkStringList& ExtraHeader() { return FExtraHeader; }
  const TSkStringList& ScriptFiles() const { return FScriptFiles; }
  const TSkStringList& PreScriptFiles() const { return FPreScriptFiles; }
  const TSkStringList& LinkFiles() const { return FLinkFiles; }
  const std::string& JavaScript() const { return FJavaScript; }
  const std::string& DocType() const { return FDocType; }
  void SetDocType(const std::string& AValue) { FDocType = AValue; }
  bool ServerResize() const { return FServerResize; }
  void SetServerResize(bool AValue) { FServerResize = AValue; }
  TKXComponent* ProgressIndicator() const { return FProgressIndicator; }
  void SetProgressIndicator(TKXComponent* AValue) { FProgressIndicator = AValue; }

  // Each appends ACode and a line end to its section; an empty ACode adds nothing.
  void AddToInitProc(const std::string& ACode);
  void AddToInitProcFocusCode(const std::string& ACode);
  void AddToInitProcNewWindowCode(const std::string& ACode);
  void AddToInitProcPageUnlockCode(const std::string& ACode);
  void AddToInitProcDoLastCode(const std::string& ACode);
  void AddToKXCLInitProc(const std::string& ACode);
  void AddToUpdateInitProc(const std::string& ACode);
  void AddToUpdateInitProcNewWindowCode(const std::string& ACode);
  void AddToUpdateInitProcPageUnlockCode(const std::string& ACode);
  void AddToUpdateInitProcFocusCode(const std::string& ACode);
  void AddToUpdateControlsProc(const std::string& ACode);
  void AddToOnReady(const std::string& ACode);   // no line end
  // Appended as it is (no deduplication), with a line end unless it already ends with one.
  void AddToJavaScriptOnce(const std::string& ACode);
  // Kept once each, compared without regard to case.
  void AddScriptFile(const std::string& AFilename);
  void AddPreScriptFile(const std::string& AFilename);
  void AddLinkFile(const std::string& AFilename);
  void AddStyle(const std::string& AStyle);
  void AddValidation(const std::string& ACondition, const std::string& AMsg);
  // A hidden INPUT of the submit form, once per name (compared without regard to case).
  void AppendHiddenInput(const std::string& AName);
  // Merges what one control added: init, script, client-object init, update init, do-last code.
  void AppendContext(const TKXComponent40Context& AContext);

  std::string ScriptFile(const std::string& AScriptFile) const;
  static std::string LinkFile(const std::string& ALinkFile);
  std::string RenderScriptFiles() const;
  std::string RenderPreScriptFiles() const;
  std::string RenderLinkFiles() const;

  std::string InitProcCode() const;
  std::string OnReadyProcCode() const;
  const std::string& KXCLInitProc() const { return FKXCLInitProc; }
  std::string UpdateInitProc() const;
  const std::string& UpdateControlsProc() const { return FUpdateControlsProc; }
  TKXFormUpdateMode UpdateMode() const;

  // Adds the client-side Validate function (also when there is no check).
  void FinalizeContext();
  void Clear(bool ADesignTime);

  // The internal-files base URL of the session: where /js/ and /gfx/ are served from.
  std::string InternalFilesBase() const;

private:
  void ResetStyleTag();

  TKXApplication* FWebApplication;
  std::unique_ptr<TKXHTMLTag> FFormTag, FBodyTag, FStyleTag;
  TKXTextElement* FStyleText = nullptr;   // the style's text node the rules are added to
  std::string FURLBase, FTitle;
  TKXRenderRequest FRequest;
  TKXNameIndex FFormHiddenInput;   // each name is looked up once per control
  TSkStringList FExtraHeader;
  std::string FOnReadyProc, FInitProc, FInitProcFocusCode, FInitProcNewWindowCode, FInitProcPageUnlockCode,
      FInitProcDoLastCode;
  std::string FUpdateInitProc, FUpdateInitProcNewWindowCode, FUpdateInitProcFocusCode, FUpdateInitProcPageUnlockCode;
  std::string FKXCLInitProc;
  TSkStringList FScriptFiles, FLinkFiles, FPreScriptFiles;
  std::string FJavaScript;
  TSkStringList FValidation, FValidationMsg;
  std::string FUpdateControlsProc;
  TKXComponent* FProgressIndicator = nullptr;
  // The active form UpdateMode last asked about and its form face (asked once per form).
  mutable IKXSessionForm* FUpdateModeForm = nullptr;
  mutable IKXHTML40Form* FUpdateModeFace = nullptr;
  bool FServerResize = false;
  std::string FDocType;
};
