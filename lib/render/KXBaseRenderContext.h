#pragma once
// Per-render contexts: what one control adds to the page (component context) and the placed
// components of one container (container context). Both belong to one render of one session.
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/KXBrowser.h"
#include "render/KXInterfaces.h"
#include "render/KXRenderRequest.h"
#include "core/KXNameIndex.h"

class TKXApplication;
class TKXComponent;
class TKXContainerLayout;
class TKXHTMLTag;
class TKXMarkupLanguageTag;
class TKXPageContext40;

// What one control contributes to the page while it renders; merged into the page context by
// the layout manager (TKXPageContext40::AppendContext).
class TKXComponent40Context {
public:
  TKXComponent40Context(TKXComponent* AComponent, TKXContainerContext* AContainerContext, TKXPageContext40* APageContext);
  // For a component whose faces its container knows already.
  TKXComponent40Context(const TKXComponentFaces& AFaces, TKXContainerContext* AContainerContext,
                        TKXPageContext40* APageContext);
  ~TKXComponent40Context();
  TKXComponent40Context(const TKXComponent40Context&) = delete;
  TKXComponent40Context& operator=(const TKXComponent40Context&) = delete;

  TKXComponent* Component() const { return FFaces.Component; }
  const TKXComponentFaces& Faces() const { return FFaces; }
  // The component's HTMLName, asked once per render (empty for a component without one).
  const std::string& HTMLName() const;
  TKXContainerContext* ContainerContext() const { return FContainerContext; }
  TKXPageContext40* PageContext() const { return FPageContext; }
  TKXApplication* WebApplication() const { return FWebApplication; }
  TKXBrowser Browser() const { return FRequest->Browser; }
  // The page's request values (defaults for a component rendered without a page).
  const TKXRenderRequest& Request() const { return *FRequest; }
  const std::string& LineEnd() const { return FRequest->LineEnd; }

  // The control's tag for this render; the context owns it.
  TKXHTMLTag* HTMLTag() const { return FMLTag; }
  void SetHTMLTag(TKXHTMLTag* ATag);   // frees the previous tag unless it is the same
  TKXHTMLTag* ReleaseHTMLTag();        // hands the tag to the caller
  const std::string& PostRender() const { return FPostRender; }
  void SetPostRender(std::string AValue) { FPostRender = std::move(AValue); }
  // Attributes set on the tag just before it is written (onload of a load handler).
  void SetExtraParam(const std::string& AName, const std::string& AValue);
  const std::vector<std::pair<std::string, std::string>>& ExtraParams() const { return FExtraParams; }

  void AddToInitProc(const std::string& ACode);
  void AddToInitProcDoLastCode(const std::string& ACode);
  void AddToKXCLInitProc(const std::string& ACode);
  void AddToJavaScriptOnce(const std::string& ACode);
  // The same, for code given as pieces: they are appended in place, without a joined copy.
  void AddToKXCLInitProc(std::initializer_list<std::string_view> APieces);
  void AddToJavaScriptOnce(std::initializer_list<std::string_view> APieces);
  void AddToUpdateInitProc(const std::string& ACode);   // no line end
  // Code an earlier render of the same control wrote through the calls above, ends included.
  void AppendRenderedCode(std::string_view AJavaScript, std::string_view AKXCLInitProc);
  void AddScriptFile(const std::string& AFile);
  void AddStyle(const std::string& AStyle);
  void AddValidation(const std::string& ACondition, const std::string& AMsg);
  void CacheImage(const std::string& AName, const std::string& AURL);

  const std::string& InitProc() const { return FInitProc; }
  const std::string& InitProcDoLastCode() const { return FInitProcDoLastCode; }
  const std::string& JavaScript() const { return FJavaScript; }
  const std::string& KXCLInitProc() const { return FKXCLInitProc; }
  const std::string& UpdateInitProc() const { return FUpdateInitProc; }

private:
  TKXHTMLTag* FMLTag = nullptr;
  TKXComponentFaces FFaces;
  mutable std::string FHTMLName;
  mutable bool FHTMLNameKnown = false;
  TKXContainerContext* FContainerContext;
  TKXApplication* FWebApplication;
  TKXPageContext40* FPageContext;
  std::string FPostRender;
  const TKXRenderRequest* FRequest;
  std::string FJavaScript, FKXCLInitProc;   // kept strings: they come with room from earlier contexts
  std::string FInitProc, FInitProcDoLastCode, FUpdateInitProc;
  std::vector<std::pair<std::string, std::string>> FExtraParams;
};

// The components of one container placed by one render, in rendering order, with their
// component contexts. Names are HTML names upper-cased; dotted names reach into sub-containers.
class TKXContainerContext {
public:
  explicit TKXContainerContext(TKXApplication* AWebApplication);
  ~TKXContainerContext();
  TKXContainerContext(const TKXContainerContext&) = delete;
  TKXContainerContext& operator=(const TKXContainerContext&) = delete;

  TKXApplication* WebApplication() const { return FWebApplication; }
  TKXContainerLayout* LayoutManager() const { return FLayout; }
  void SetLayoutManager(TKXContainerLayout* ALayout);
  // The layout manager is the default one (TKXLayoutMgrForm), asked once per context.
  bool IsDefaultLayout() const { return FDefaultLayout; }
  TKXControlEncode ControlEncode() const { return FControlEncode; }
  bool UpdateTree() const { return FUpdateTree; }
  void SetUpdateTree(bool AValue) { FUpdateTree = AValue; }

  // Takes AContext over when the component is newly registered; otherwise frees it when
  // AFreeContext. ATag, when given, becomes the context's tag.
  bool AddComponent(TKXComponent40Context* AContext, TKXHTMLTag* ATag, bool AFreeContext);
  // Room for AMore components more (a container knows how many it is about to add).
  void Reserve(size_t AMore);
  void RemoveComponent(TKXComponent40Context* AContext);
  bool IsValidComponent(const std::string& AName) const { return FindComponent(AName) != nullptr; }
  TKXComponent* FindComponent(const std::string& AName) const;
  TKXComponent40Context* FindContext(const std::string& AName) const;
  TKXHTMLTag* FindTag(const std::string& AName) const;
  int ComponentsCount() const { return static_cast<int>(FPlaced.size()); }
  TKXComponent* Components(int AIndex) const { return FPlaced.at(static_cast<size_t>(AIndex)).Component; }
  TKXComponent40Context* Contexts(int AIndex) const { return FPlaced.at(static_cast<size_t>(AIndex)).Context; }

  // Markup collected for an asynchronous answer; owned.
  void AddMarkupTag(TKXMarkupLanguageTag* ATag);
  const std::vector<std::unique_ptr<TKXMarkupLanguageTag>>& MarkupTags() const { return FMarkupTagList; }

  // The qualified name: the owner's qualified name, ".", the name (just the name under an
  // application form, or without an owner).
  static std::string QualifiedName(TKXComponent* AComponent);
  // An owner under which components are qualified by their plain name.
  static bool IsPlainOwner(TKXComponent* AOwner);

private:
  int IndexOfAlias(const std::string& AName) const;   // without regard to case
  TKXContainerContext* SubContext(const std::string& AUpperName, std::string& ARest) const;

  struct TPlaced {
    TKXComponent* Component;
    TKXComponent40Context* Context;
  };
  std::vector<TPlaced> FPlaced;   // in rendering order; owns the contexts
  std::vector<std::pair<std::string, TPlaced>> FAliases;   // every name a component answers to
  TKXNameIndex FAliasIndex;   // first position of each alias: lookups run per control
  std::vector<std::unique_ptr<TKXMarkupLanguageTag>> FMarkupTagList;
  TKXContainerLayout* FLayout = nullptr;
  TKXComponent* FPlainOwner = nullptr;   // an owner found to qualify by plain names
  bool FDefaultLayout = false;
  TKXControlEncode FControlEncode = ceNone;
  bool FUpdateTree = false;
  TKXApplication* FWebApplication;
};
