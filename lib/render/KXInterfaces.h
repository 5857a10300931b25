#pragma once
// The faces a control, a container and a form show to the page builder and to request
// processing. Containers, layouts and the submission code reach components only through these
// (a dynamic_cast is the query), so a new control class needs nothing but to implement them.
#include <string>

#include "core/KXBrowser.h"
#include "render/KXColor.h"

class TKXComponent;
class TKXWinControl;
struct TKXRenderRequest;
class TKXComponent40Context;
class TKXCustomControl;
class TKXBaseForm;
class TKXContainerContext;
class TKXContainerLayout;
class TKXFont;
class TKXHTMLTag;
class TKXPageContext40;
class TKXRenderStream;
class TKXStyleRenderOptions;
class TKXXMLTag;
class TKXApplication;
class TSkStringList;
class THTTPFile;

enum TKXControlEncode { ceNone, ceMPFormData };
enum TKXFormType { ftUnknown, ftApp, ftPage };
enum TKXFormUpdateMode { umAll, umPartial };

class IKXBaseComponent {
public:
  virtual ~IKXBaseComponent() = default;
  virtual TKXComponent* ComponentObject() = 0;
  virtual TSkStringList& ExtraTagParams() = 0;
  virtual bool SupportsSubmit() = 0;
  // The control takes posted input and is editable.
  virtual bool SupportsInput() = 0;
  // The control's tag for this render through the partial-update wrapper; the caller owns it.
  virtual TKXHTMLTag* RenderHTMLTag(TKXComponent40Context& AContext) = 0;
  virtual std::string HTMLName() const = 0;
  // Writes the finished tag: TabIndex, ExtraTagParams, the tag, then the context's post-render text.
  virtual void RenderFinishedTag(TKXComponent40Context& AContext, TKXRenderStream& AStream) = 0;
  virtual void DoHTMLTag(TKXHTMLTag* ATag) = 0;
};

class IKXHTML40Component {
public:
  virtual ~IKXHTML40Component() = default;
  virtual bool DoRefreshControl() const = 0;
  virtual void SetDoRefreshControl(bool AValue) = 0;
  virtual std::string RenderCSSClass(TKXComponent40Context& AContext) = 0;
  virtual std::string RenderStyle(TKXComponent40Context* AContext) = 0;
  virtual void RenderScripts(TKXComponent40Context& AContext) = 0;
  virtual TKXXMLTag* RenderAsyncComponent(TKXComponent40Context& AContext) = 0;
  virtual bool DoSubmitValidation() const = 0;
  // A control whose value the page's submit form must carry even when it posts none itself.
  virtual bool NeedsFormTag() const = 0;
};

class IKXHTML40Control {
public:
  virtual ~IKXHTML40Control() = default;
  // The control's box on the page as ABrowser draws it (its own frame and border rules).
  virtual int GetHTMLLeft(TKXBrowser ABrowser) = 0;
  virtual int GetHTMLTop(TKXBrowser ABrowser) = 0;
  virtual int GetHTMLWidth(TKXBrowser ABrowser) = 0;
  virtual int GetHTMLHeight(TKXBrowser ABrowser) = 0;
  virtual bool UseFrame() const = 0;
  virtual bool Clip() const = 0;
  virtual void SetClip(bool AValue) = 0;
  virtual TKXStyleRenderOptions& StyleRenderOptions() = 0;
  virtual int ZIndex() const = 0;
  // Laid out in a container that renders HTML 4.0 (a form or a region).
  virtual bool InHTMLContainer() const = 0;
};

class IKXBaseControl {
public:
  virtual ~IKXBaseControl() = default;
  virtual TKXWinControl* ParentControl() const = 0;
  virtual void Invalidate() = 0;
  virtual void SetControlBounds(int ALeft, int ATop, int AWidth, int AHeight) = 0;
  virtual bool GetVisible() const = 0;
  virtual void SetControlVisible(bool AValue) = 0;
  virtual TKXFont& ControlFont() = 0;
};

class IKXTabOrder {
public:
  virtual ~IKXTabOrder() = default;
  virtual int GetTabOrder() = 0;
  virtual void SetTabOrder(int AValue) = 0;
  virtual bool HasTabOrder() const = 0;
  virtual bool TabIndexAllowed() const = 0;
};

// Request processing (form submission) talks to posted controls only through these.
class IKXInputControl {
public:
  virtual ~IKXInputControl() = default;
  virtual TKXControlEncode ControlEncode() const = 0;
  virtual void SetControlEncode(TKXControlEncode AValue) = 0;
  // The posted text of the field named HTMLName; a changed value clears DoRefreshControl.
  virtual void RestoreValue(const std::string& AValue) = 0;
  virtual void AssignUploadedFile(THTTPFile* AFile) = 0;
  virtual bool Editable() const = 0;
  virtual void SetEditable(bool AValue) = 0;
  virtual bool NonEditableAsLabel() const = 0;
  virtual void SetNonEditableAsLabel(bool AValue) = 0;
  // Clears the list and adds the names of the posted fields that carry the control's value.
  virtual void ListInputNames(TSkStringList& AList) = 0;
  virtual bool OwnsInputName(const std::string& AName) = 0;   // case-sensitive
};

class IKXAsyncInputControl : public virtual IKXInputControl {
public:
  virtual bool SubmitOnAsyncEvent() const = 0;
  virtual void SetSubmitOnAsyncEvent(bool AValue) = 0;
};

class IKXSubmitControl {
public:
  virtual ~IKXSubmitControl() = default;
  virtual void DoSubmit(const std::string& AParam) = 0;
  virtual std::string GetSubmitParam() const = 0;
};

class IKXBaseContainer;
class IKXHTML40Container;
class IKXFileControl;

// A form as the controls on it see it; every form class implements it.
class IKXForm {
public:
  virtual ~IKXForm() = default;
  virtual TKXFormType FormType() const = 0;
  // A control's place in the page's tab list (-1 when absent), and the first visible file control.
  virtual int RealTabIndexOf(TKXComponent* AControl) const = 0;
  virtual std::string FirstVisibleFileControl() = 0;
  // The page's background colour, clNone for none.
  virtual TKXColor FormBGColor() const = 0;
  // The action an edit's Enter key raises; false when the form has none.
  virtual bool HasDefaultAction() const = 0;
  virtual void DoDefaultAction(TKXComponent* ASender) = 0;
};

// The faces one component shows, asked once: a cross cast through a control's hierarchy is
// costly, and a render would otherwise ask each control the same questions many times. A
// container asks when a component joins it; the render contexts of that component carry them.
struct TKXComponentFaces {
  TKXComponentFaces() = default;
  // Asks AComponent (which must be fully constructed) for each face; nil gives none.
  explicit TKXComponentFaces(TKXComponent* AComponent);

  TKXComponent* Component = nullptr;
  IKXBaseComponent* Base = nullptr;
  IKXHTML40Component* Html40 = nullptr;
  IKXHTML40Control* Html40Control = nullptr;
  IKXBaseControl* Control = nullptr;
  IKXTabOrder* TabOrder = nullptr;
  IKXInputControl* Input = nullptr;
  IKXAsyncInputControl* AsyncInput = nullptr;
  IKXBaseContainer* Container = nullptr;
  IKXHTML40Container* Html40Container = nullptr;
  IKXFileControl* FileControl = nullptr;
  TKXCustomControl* CustomControl = nullptr;
  IKXForm* Form = nullptr;
};

class IKXBaseContainer {
public:
  virtual ~IKXBaseContainer() = default;
  virtual std::string ContainerName() const = 0;
  // Appended to the HTML names of the container's controls (empty for a form).
  virtual std::string ContainerSuffix() const = 0;
  virtual std::string ContainerClassname() const = 0;
  virtual void FireOnRender() = 0;
  virtual TKXWinControl* ContainerObject() = 0;
  virtual TKXComponent* FindComponentByName(const std::string& AName) = 0;
  virtual TKXComponent* Component(int AIndex) const = 0;
  // The faces of Component(AIndex).
  virtual const TKXComponentFaces& ComponentFaces(int AIndex) const = 0;
  virtual int KXComponentsCount() const = 0;
  virtual TKXContainerContext* MakeContainerContext(TKXApplication* AWebApplication) = 0;
  virtual void RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) = 0;
  virtual TKXContainerContext* ContainerContext() const = 0;
  virtual void SetContainerContext(TKXContainerContext* AContext) = 0;
  virtual bool AcceptsHiddenComponent(TKXComponent* AComponent) = 0;
  virtual bool RenderInvisibleControls() const = 0;
  // The controls in tab order, as stored.
  virtual std::vector<TKXComponent*>& TabOrderList() = 0;
};

class IKXHTML40Container : public virtual IKXBaseContainer {
public:
  // Script that moves the container's refreshed controls to their boxes after a resize.
  virtual std::string ResizeScript(const TKXRenderRequest& ARequest) = 0;
  virtual TKXContainerLayout* LayoutMgr() const = 0;
};

// A form that renders HTML 4.0 pages.
class IKXHTML40Form : public virtual IKXHTML40Container {
public:
  virtual TKXFormUpdateMode UpdateMode() const = 0;
  virtual void SetActiveControl(TKXComponent* AControl) = 0;
};

// A file-upload control: pages with a visible one submit their files before the form.
class IKXFileControl {
public:
  virtual ~IKXFileControl() = default;
  // Script run before the control's file is submitted (status display); empty for none.
  virtual std::string AsyncStatusScript() = 0;
};

// A component a form names as its progress indicator: a layer shown while the page submits or
// waits for a callback. The page gets its markup and the four script texts.
enum TKXProgressScript { psPre, psPost, psPreAsync, psPostAsync };
class IKXProgressIndicator {
public:
  virtual ~IKXProgressIndicator() = default;
  // The indicator's markup for this page; it may fail, which aborts the render.
  virtual std::string RenderIndicatorMarkup(TKXPageContext40& APageContext) = 0;
  // The script lines of one list as text; empty when the list is.
  virtual std::string ProgressScriptText(TKXProgressScript AScript) = 0;
};
