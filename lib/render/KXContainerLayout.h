#pragma once
// Layout managers: they give every control of a container its element id, name, position rule
// and hidden inputs, and write the container's markup. TKXLayoutMgrForm is the default one of
// forms and regions; a template processor is the other kind.
#include <string>

#include "core/KXComponent.h"
#include "core/KXBrowser.h"

class IKXBaseContainer;
class IKXHTML40Control;
class TKXComponent;
class TKXComponent40Context;
class TKXContainerContext;
class TKXPageContext40;
class TKXRenderStream;

enum TKXLayoutType { ltGrid, ltFlow };

class TKXBaseLayoutComponent : public TKXComponent {
public:
  explicit TKXBaseLayoutComponent(TKXComponent* AOwner) : TKXComponent(AOwner) {}
  KX_DECLARE_CLASS_INFO

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  virtual bool Able() const { return FEnabled; }
  virtual void Initialize(TKXBrowser ABrowser) {
    FBrowser = ABrowser;
    Reset();
  }
  virtual void Reset() {}

protected:
  bool FEnabled = true;
  TKXBrowser FBrowser = brIE;
};

class TKXBaseContainerLayout : public TKXBaseLayoutComponent {
public:
  explicit TKXBaseContainerLayout(TKXComponent* AOwner) : TKXBaseLayoutComponent(AOwner) {}
  KX_DECLARE_CLASS_INFO

  IKXBaseContainer* Container() const { return FContainer; }
  void SetContainer(IKXBaseContainer* AContainer) { FContainer = AContainer; }
  std::string& HeadContent() { return FHeadContent; }
  void SetHeadContent(std::string AValue) { FHeadContent = std::move(AValue); }
  // True when a container above this one is laid out by an able template processor, which
  // then supplies the page's form element.
  bool NoFormTag() const;
  virtual void Process(TKXRenderStream& AStream, TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) = 0;

protected:
  IKXBaseContainer* FContainer = nullptr;
  std::string FHeadContent;
};

class TKXContainerLayout : public TKXBaseContainerLayout {
public:
  explicit TKXContainerLayout(TKXComponent* AOwner) : TKXBaseContainerLayout(AOwner) {}
  KX_DECLARE_CLASS_INFO

  bool AllowFrames() const { return FAllowFrames; }
  TKXLayoutType LayoutType() const { return FLayoutType; }
  // True for template processors (partial updates then leave the page's resize to the template).
  virtual bool IsTemplateProcessor() const { return false; }

  // AContext is the control's context in AContainerContext.
  virtual void ProcessControl(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                              TKXComponent40Context& AContext);
  virtual void ProcessControls(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext);
  // The position part of a control's style; none here.
  virtual std::string RenderStyle(IKXHTML40Control& AControl, TKXBrowser ABrowser);
  virtual void WriteHeadScripts(TKXRenderStream& AStream, TKXPageContext40& APageContext);
  void Process(TKXRenderStream&, TKXContainerContext&, TKXPageContext40&) override {}

protected:
  bool FAllowFrames = false;
  TKXLayoutType FLayoutType = ltGrid;
};

class TKXLayoutMgrForm : public TKXContainerLayout {
public:
  explicit TKXLayoutMgrForm(TKXComponent* AOwner);
  KX_DECLARE_CLASS_INFO

  void Process(TKXRenderStream& AStream, TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) override;
  void ProcessControl(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                      TKXComponent40Context& AContext) override;
  void ProcessControls(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) override;
  std::string RenderStyle(IKXHTML40Control& AControl, TKXBrowser ABrowser) override;
};

// The update script of a partial update: the rendered text in 128-character pieces, a new
// statement before the piece that would carry the script across a multiple of 4090 characters.
std::string KXUpdateControlScript(const std::string& AHTMLName, const std::string& AText);
