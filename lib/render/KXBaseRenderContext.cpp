#include "render/KXBaseRenderContext.h"

#include <algorithm>

#include "session/KXApplication.h"
#include "render/KXContainerLayout.h"
#include "render/KXHTMLTag.h"
#include "render/KXRenderContext.h"
#include "core/KXScratch.h"
#include "SkStrUtils.h"

// ---------------------------------------------------------------------------------------------
// TKXComponent40Context

namespace {
const TKXRenderRequest kNoPage;   // a component rendered without a page: the defaults
}  // namespace

TKXComponent40Context::TKXComponent40Context(TKXComponent* AComponent, TKXContainerContext* AContainerContext,
                                             TKXPageContext40* APageContext)
    : TKXComponent40Context(TKXComponentFaces(AComponent), AContainerContext, APageContext) {}

TKXComponent40Context::TKXComponent40Context(const TKXComponentFaces& AFaces, TKXContainerContext* AContainerContext,
                                             TKXPageContext40* APageContext)
    : FFaces(AFaces),
      FContainerContext(AContainerContext),
      FWebApplication(APageContext ? APageContext->WebApplication() : nullptr),
      FPageContext(APageContext),
      FRequest(APageContext ? &APageContext->Request() : &kNoPage),
      FJavaScript(TKXKeptStrings::Take()),
      FKXCLInitProc(TKXKeptStrings::Take()) {}

TKXComponent40Context::~TKXComponent40Context() {
  delete FMLTag;
  TKXKeptStrings::Give(std::move(FJavaScript));
  TKXKeptStrings::Give(std::move(FKXCLInitProc));
}

const std::string& TKXComponent40Context::HTMLName() const {
  if (!FHTMLNameKnown) {
    if (FFaces.Base) FHTMLName = FFaces.Base->HTMLName();
    FHTMLNameKnown = true;
  }
  return FHTMLName;
}

void TKXComponent40Context::SetHTMLTag(TKXHTMLTag* ATag) {
  if (ATag == FMLTag) return;
  delete FMLTag;
  FMLTag = ATag;
}

TKXHTMLTag* TKXComponent40Context::ReleaseHTMLTag() {
  TKXHTMLTag* T = FMLTag;
  FMLTag = nullptr;
  return T;
}

void TKXComponent40Context::SetExtraParam(const std::string& AName, const std::string& AValue) {
  FExtraParams.emplace_back(AName, AValue);
}

namespace {

void AppendLine(std::string& ASection, std::initializer_list<std::string_view> APieces, const std::string& AEOL) {
  if (AppendAll(ASection, APieces) > 0) ASection += AEOL;
}

// Script code ends with a line end unless it ends with one of its own.
void AppendScript(std::string& ASection, std::initializer_list<std::string_view> APieces, const std::string& AEOL) {
  const size_t Size = AppendAll(ASection, APieces);
  if (!(Size > 2 && !AEOL.empty() && EndsText(AEOL, ASection))) ASection += AEOL;
}

}  // namespace

void TKXComponent40Context::AddToInitProc(const std::string& ACode) { AppendLine(FInitProc, {ACode}, FRequest->LineEnd); }
void TKXComponent40Context::AddToInitProcDoLastCode(const std::string& ACode) { AppendLine(FInitProcDoLastCode, {ACode}, FRequest->LineEnd); }
void TKXComponent40Context::AddToKXCLInitProc(const std::string& ACode) { AppendLine(FKXCLInitProc, {ACode}, FRequest->LineEnd); }
void TKXComponent40Context::AddToKXCLInitProc(std::initializer_list<std::string_view> APieces) {
  AppendLine(FKXCLInitProc, APieces, FRequest->LineEnd);
}
void TKXComponent40Context::AddToJavaScriptOnce(const std::string& ACode) { AppendScript(FJavaScript, {ACode}, FRequest->LineEnd); }
void TKXComponent40Context::AddToJavaScriptOnce(std::initializer_list<std::string_view> APieces) {
  AppendScript(FJavaScript, APieces, FRequest->LineEnd);
}
void TKXComponent40Context::AppendRenderedCode(std::string_view AJavaScript, std::string_view AKXCLInitProc) {
  FJavaScript += AJavaScript;
  FKXCLInitProc += AKXCLInitProc;
}
void TKXComponent40Context::AddToUpdateInitProc(const std::string& ACode) { FUpdateInitProc += ACode; }
void TKXComponent40Context::AddScriptFile(const std::string& AFile) {
  if (FPageContext) FPageContext->AddScriptFile(AFile);
}
void TKXComponent40Context::AddStyle(const std::string& AStyle) {
  if (FPageContext) FPageContext->AddStyle(AStyle);
}
void TKXComponent40Context::AddValidation(const std::string& ACondition, const std::string& AMsg) {
  if (FPageContext) FPageContext->AddValidation(ACondition, AMsg);
}

void TKXComponent40Context::CacheImage(const std::string& AName, const std::string& AURL) {
  AddToJavaScriptOnce("GImageCache_" + AName + "=new Image();" + LineEnd() + "GImageCache_" + AName + ".src=\"" + AURL +
                      "\";");
  if (FPageContext && FPageContext->UpdateMode() == umPartial)
    AddToInitProc("KXTop().document.GImageCache_" + AName + "=GImageCache_" + AName + ";");
}

// ---------------------------------------------------------------------------------------------
// TKXContainerContext

TKXContainerContext::TKXContainerContext(TKXApplication* AWebApplication) : FWebApplication(AWebApplication) {}

TKXContainerContext::~TKXContainerContext() {
  for (TPlaced& P : FPlaced) delete P.Context;
}

void TKXContainerContext::SetLayoutManager(TKXContainerLayout* ALayout) {
  FLayout = ALayout;
  FDefaultLayout = dynamic_cast<TKXLayoutMgrForm*>(ALayout) != nullptr;
}

bool TKXContainerContext::IsPlainOwner(TKXComponent* AOwner) {
  return AOwner->Name().empty() || dynamic_cast<IKXForm*>(AOwner) || dynamic_cast<TKXApplication*>(AOwner);
}

std::string TKXContainerContext::QualifiedName(TKXComponent* AComponent) {
  TKXComponent* Owner = AComponent->Owner();
  if (!Owner || IsPlainOwner(Owner)) return AComponent->Name();
  if (AComponent->Name() == "KXFrameRegion") return QualifiedName(Owner);
  return QualifiedName(Owner) + "." + AComponent->Name();
}

void TKXContainerContext::Reserve(size_t AMore) {
  FPlaced.reserve(FPlaced.size() + AMore);
  FAliases.reserve(FAliases.size() + AMore);
  FAliasIndex.Reserve(FAliasIndex.Count() + AMore);
}

bool TKXContainerContext::AddComponent(TKXComponent40Context* AContext, TKXHTMLTag* ATag, bool AFreeContext) {
  bool Added = false;
  TKXComponent* C = AContext->Component();
  if (ATag) AContext->SetHTMLTag(ATag);
  if (AContext->Faces().Base) {
    // The index compares names without regard to case: they are registered as they are.
    const std::string& Name = AContext->HTMLName();
    const int At = IndexOfAlias(Name);
    if (At < 0 || FAliases[static_cast<size_t>(At)].second.Component != C) {
      const TPlaced Placed{C, AContext};
      FPlaced.push_back(Placed);
      auto AddAlias = [&](const std::string& AAlias) {
        FAliasIndex.Add(AAlias, FAliases.size());
        FAliases.emplace_back(AAlias, Placed);
      };
      AddAlias(Name);
      // Under a form (the usual owner of all of a container's components) the qualified name
      // is the plain name: the owner is asked once per context, not once per component.
      TKXComponent* Owner = C->Owner();
      if (Owner && Owner != FPlainOwner && IsPlainOwner(Owner)) FPlainOwner = Owner;
      const std::string Qualified = Owner && Owner == FPlainOwner ? C->Name() : QualifiedName(C);
      if (!SameText(Qualified, Name)) {
        AddAlias(Qualified);
        AddAlias(C->Name());
      }
      Added = true;
      if (IKXInputControl* Input = AContext->Faces().Input)
        if (Input->ControlEncode() > FControlEncode) FControlEncode = Input->ControlEncode();
    }
  }
  if (!Added && AFreeContext) delete AContext;
  return Added;
}

void TKXContainerContext::RemoveComponent(TKXComponent40Context* AContext) {
  std::erase_if(FPlaced, [AContext](const TPlaced& P) { return P.Context == AContext; });
  std::erase_if(FAliases, [AContext](const auto& A) { return A.second.Context == AContext; });
  FAliasIndex.Clear();
  for (size_t I = 0; I < FAliases.size(); ++I) FAliasIndex.Add(FAliases[I].first, I);
}

int TKXContainerContext::IndexOfAlias(const std::string& AName) const {
  return FAliasIndex.Find(AName);
}

TKXContainerContext* TKXContainerContext::SubContext(const std::string& AUpperName, std::string& ARest) const {
  const size_t Dot = AUpperName.find('.');
  if (Dot == std::string::npos) return nullptr;
  const int At = IndexOfAlias(AUpperName.substr(0, Dot));
  if (At < 0) return nullptr;
  auto* Container = dynamic_cast<IKXBaseContainer*>(FAliases[static_cast<size_t>(At)].second.Component);
  if (!Container || !Container->ContainerContext()) return nullptr;
  ARest = AUpperName.substr(Dot + 1);
  return Container->ContainerContext();
}

TKXComponent* TKXContainerContext::FindComponent(const std::string& AName) const {
  const std::string Upper = UpperCase(AName);
  const int At = IndexOfAlias(Upper);
  if (At >= 0) return FAliases[static_cast<size_t>(At)].second.Component;
  std::string Rest;
  if (TKXContainerContext* Sub = SubContext(Upper, Rest)) return Sub->FindComponent(Rest);
  if (Upper.find('.') != std::string::npos) return nullptr;
  for (const TPlaced& P : FPlaced)
    if (auto* Container = dynamic_cast<IKXBaseContainer*>(P.Component))
      if (TKXContainerContext* Sub = Container->ContainerContext(); Sub && Sub != this)
        if (TKXComponent* Found = Sub->FindComponent(Upper)) return Found;
  return nullptr;
}

TKXComponent40Context* TKXContainerContext::FindContext(const std::string& AName) const {
  const std::string Upper = UpperCase(AName);
  const int At = IndexOfAlias(Upper);
  if (At >= 0) return FAliases[static_cast<size_t>(At)].second.Context;
  std::string Rest;
  if (TKXContainerContext* Sub = SubContext(Upper, Rest)) return Sub->FindContext(Rest);
  return nullptr;
}

TKXHTMLTag* TKXContainerContext::FindTag(const std::string& AName) const {
  TKXComponent40Context* C = FindContext(AName);
  return C ? C->HTMLTag() : nullptr;
}

void TKXContainerContext::AddMarkupTag(TKXMarkupLanguageTag* ATag) {
  if (ATag) FMarkupTagList.emplace_back(ATag);
}
