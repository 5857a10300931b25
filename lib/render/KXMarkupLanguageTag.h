#pragma once
// Markup trees: every page, control fragment and callback answer is built as a tree of tags,
// texts and pre-rendered byte blocks, then written into a render stream in one depth-first walk.
//
// Ownership: a tag owns its attribute list and its contents; the contents own their nodes.
// Children are normally not linked back to their parent (ParentElement stays nil). A wrapper tag
// that takes an existing tag with AddTagAsObject(tag, true) links it, so that rendering or freeing
// the inner tag renders or frees the whole wrapper from its root.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "render/KXColor.h"

class TKXRenderStream;
class TSkStringList;
class TKXMarkupLanguageTag;
class TKXMarkupLanguageTagCollection;

enum TKXCloseTag { cbAuto, cbFalse, cbTrue, cbSimpleClose };

// One attribute: name=value, or a bare word (HasValue false, the word in Name, case kept).
struct TKXTagParam {
  TKXTagParam() = default;
  TKXTagParam(std::string_view AName, std::string_view AValue, bool AHasValue = true)
      : Name(AName), Value(AValue), HasValue(AHasValue) {}
  std::string Name;
  std::string Value;
  bool HasValue = true;
};

// The attributes of a tag, in insertion order; duplicates allowed. Names of name=value entries
// are lower-cased when added and looked up without regard to case; bare words have no name.
class TKXTagParamsStringList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  const TKXTagParam& Items(int AIndex) const { return FItems.at(static_cast<size_t>(AIndex)); }
  std::string Strings(int AIndex) const;   // "name=value" or the bare word
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

  // Appends the string as it is; the part before the first "=" becomes the lower-cased name.
  void Add(std::string_view AString);
  int IndexOfName(std::string_view AName) const;
  std::string Values(std::string_view AName) const;
  // Replaces the value of the first entry of that name in place, or appends name=value.
  void SetValue(std::string_view AName, std::string_view AValue);
  void Delete(int AIndex);
  void Clear() { FItems.clear(); }
  // Sets every name=value entry of AParams in this list, in order; bare entries are not copied.
  void AppendParams(const TKXTagParamsStringList& AParams);
  void AppendParams(const TSkStringList& AParams);

  // Each attribute as it appears in an opening tag: a blank, then name="value" or the bare word.
  void AppendRendered(std::string& AOut) const;

private:
  std::vector<TKXTagParam> FItems;
};

class TKXMarkupLanguageElement {
public:
  explicit TKXMarkupLanguageElement(TKXMarkupLanguageElement* AParentElement = nullptr)
      : FParentElement(AParentElement) {}
  TKXMarkupLanguageElement(const TKXMarkupLanguageElement&) = delete;
  TKXMarkupLanguageElement& operator=(const TKXMarkupLanguageElement&) = delete;
  // Freeing an element linked to a parent frees the whole linked tree from its root.
  virtual ~TKXMarkupLanguageElement();

  virtual const char* ClassName() const = 0;
  // The virtual constructor: a new element of this element's class as the plain constructor
  // makes it, with no parent (deep copies are made with it, then Assign).
  virtual TKXMarkupLanguageElement* NewInstance() const = 0;
  // Deep copy, including a copy of the ancestor chain when the source is linked to a parent.
  virtual void Assign(const TKXMarkupLanguageElement* ASource);
  virtual TKXMarkupLanguageTag* AsTag() { return nullptr; }

  TKXMarkupLanguageElement* ParentElement() const { return FParentElement; }
  virtual void SetParentElement(TKXMarkupLanguageElement* AParentElement) { FParentElement = AParentElement; }
  bool Destroying() const { return FDestroying; }
  bool Rendering() const { return FRendering; }

  // Writes the tree this element belongs to: from the root of its linked ancestors.
  void Render(TKXRenderStream& ABuffer);
  std::string Render();
  virtual void DoRender(TKXRenderStream& ABuffer, int AIndent) = 0;

protected:
  // The element-level part of Assign: copies (or clears) the parent chain.
  void AssignParent(const TKXMarkupLanguageElement* ASource);

  TKXMarkupLanguageElement* FParentElement;
  bool FDestroying = false;
  // Marks a node while it climbs to its root for rendering and while it is being copied, so
  // that the walk back down does not climb again and a copy does not include itself.
  mutable bool FRendering = false;
};

class TKXMarkupLanguageTag : public TKXMarkupLanguageElement {
public:
  // The plain constructor: no name, closing kind cbAuto.
  explicit TKXMarkupLanguageTag(TKXMarkupLanguageElement* AParentElement = nullptr);
  // The tag constructor: closing kind cbTrue, then the name through SetTag.
  explicit TKXMarkupLanguageTag(std::string_view ATag, TKXMarkupLanguageElement* AParentElement = nullptr);
  ~TKXMarkupLanguageTag() override;

  const char* ClassName() const override { return "TKXMarkupLanguageTag"; }
  TKXMarkupLanguageElement* NewInstance() const override { return new TKXMarkupLanguageTag(); }
  // The virtual tag constructor: a new tag of this tag's class made as the tag constructor makes
  // it. The contents create their children through it, so HTML tags get HTML children.
  virtual TKXMarkupLanguageTag* NewTag(std::string_view ATag) const { return new TKXMarkupLanguageTag(ATag); }
  void Assign(const TKXMarkupLanguageElement* ASource) override;
  TKXMarkupLanguageTag* AsTag() override { return this; }

  void DoRender(TKXRenderStream& ABuffer, int AIndent) override;
  virtual void RenderContents(TKXRenderStream& ABuffer, int AIndent);
  // The two halves DoRender writes around the contents: "<tag attributes>" (or "/>") and the
  // closing tag when the tag has one. For writers that stream the contents themselves.
  void RenderOpening(TKXRenderStream& ABuffer) const;
  void RenderClosing(TKXRenderStream& ABuffer) const;

  const std::string& Tag() const { return FTag; }
  virtual void SetTag(std::string_view ATag);   // stored lower-cased
  // Most tags of a page never get contents: the collection is made when first asked for.
  TKXMarkupLanguageTagCollection& Contents();
  const TKXMarkupLanguageTagCollection& Contents() const { return const_cast<TKXMarkupLanguageTag*>(this)->Contents(); }
  TKXTagParamsStringList& Params() { return FParams; }
  const TKXTagParamsStringList& Params() const { return FParams; }
  void SetParams(const TKXTagParamsStringList& AParams) { FParams = AParams; }
  // The script events of every child tag (recursively, in contents order), then this tag's own.
  std::string ScriptEvents() const;
  void SetScriptEvents(std::string AScriptEvents) { FScriptEvents = std::move(AScriptEvents); }
  bool IsPreformated() const { return FIsPreformated; }
  void SetIsPreformated(bool AValue) { FIsPreformated = AValue; }
  TKXCloseTag ClosingTag() const { return FClosingTag; }
  void SetClosingTag(TKXCloseTag AValue) { FClosingTag = AValue; }

  // Sets LowerCase(name)=value, replacing an attribute of that name in place; an empty value
  // adds nothing and leaves an existing attribute alone. Callers escape the value themselves.
  void AddStringParam(std::string_view AAttribName, std::string_view AAttribValue);
  void AddIntegerParam(std::string_view AAttribName, int64_t AAttribValue);
  void AddBoolParam(std::string_view AAttribName, bool AAttribValue);
  void AddColor(std::string_view AAttribName, TKXColor AAttribValue);   // nothing for clNone
  // Appends the string as it is (a bare attribute such as "nowrap", or name=value); not when empty.
  void Add(std::string_view AAttrib);
  // Appends every non-empty line, trimmed, as Add does.
  void AddParmsList(const TSkStringList& AAttribs);
  void ClearParam(std::string_view AAttribName);

protected:
  struct TNoTag {};
  // For subclasses: no name yet and the given contents class; the subclass sets the name itself
  // so that its own SetTag rules apply.
  using TNewContents = std::unique_ptr<TKXMarkupLanguageTagCollection> (*)(TKXMarkupLanguageTag* AOwner);
  template <class TCollection>
  static std::unique_ptr<TKXMarkupLanguageTagCollection> NewContents(TKXMarkupLanguageTag* AOwner) {
    return std::make_unique<TCollection>(AOwner);
  }
  TKXMarkupLanguageTag(TNoTag, TKXMarkupLanguageElement* AParentElement, TNewContents ANewContents);

  void WriteLineBreak(TKXRenderStream& ABuffer, int ALevel);

  std::unique_ptr<TKXMarkupLanguageTagCollection> FContents;   // nil until asked for
  TNewContents FNewContents;
  TKXTagParamsStringList FParams;
  std::string FScriptEvents;
  std::string FTag;
  bool FIsPreformated = false;
  TKXCloseTag FClosingTag = cbAuto;
};

class TKXTextElement : public TKXMarkupLanguageElement {
public:
  explicit TKXTextElement(TKXMarkupLanguageElement* AParentElement = nullptr)
      : TKXMarkupLanguageElement(AParentElement) {}
  const char* ClassName() const override { return "TKXTextElement"; }
  TKXMarkupLanguageElement* NewInstance() const override { return new TKXTextElement(); }
  void Assign(const TKXMarkupLanguageElement* ASource) override;
  void DoRender(TKXRenderStream& ABuffer, int AIndent) override;

  const std::string& Text() const { return FText; }
  void SetText(std::string AText) { FText = std::move(AText); }
  void AppendText(std::string_view AText) { FText += AText; }

private:
  std::string FText;
};

// Pre-rendered bytes (a control rendered into its own stream), written as they are.
class TKXBinaryElement : public TKXMarkupLanguageElement {
public:
  explicit TKXBinaryElement(TKXMarkupLanguageElement* AParentElement = nullptr);
  ~TKXBinaryElement() override;
  const char* ClassName() const override { return "TKXBinaryElement"; }
  TKXMarkupLanguageElement* NewInstance() const override { return new TKXBinaryElement(); }
  void Assign(const TKXMarkupLanguageElement* ASource) override;
  void DoRender(TKXRenderStream& ABuffer, int AIndent) override;

  TKXRenderStream& Buffer() { return *FBuffer; }

private:
  std::unique_ptr<TKXRenderStream> FBuffer;
};

// The ordered contents of a tag; it owns its nodes. Every Add operation takes ASetParentElement:
// true links the new child to the owning tag (only wrappers do that), false leaves it unlinked.
class TKXMarkupLanguageTagCollection {
public:
  explicit TKXMarkupLanguageTagCollection(TKXMarkupLanguageTag* AParentElement) : FParentElement(AParentElement) {}
  TKXMarkupLanguageTagCollection(const TKXMarkupLanguageTagCollection&) = delete;
  TKXMarkupLanguageTagCollection& operator=(const TKXMarkupLanguageTagCollection&) = delete;
  virtual ~TKXMarkupLanguageTagCollection() { Clear(); }

  TKXMarkupLanguageTag* ParentElement() const { return FParentElement; }
  int Count() const { return static_cast<int>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  TKXMarkupLanguageElement* Items(int AIndex) const { return FItems.at(static_cast<size_t>(AIndex)); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

  TKXMarkupLanguageTag* AddTag(std::string_view ATag, bool ASetParentElement = false);
  TKXTextElement* AddText(std::string_view AText, bool ASetParentElement = false);
  // The new node's buffer receives a copy of all of ABuffer's bytes.
  TKXBinaryElement* AddBuffer(TKXRenderStream& ABuffer, bool ASetParentElement = false);
  // As AddBuffer, but the bytes are moved: ABuffer is empty afterwards.
  TKXBinaryElement* AdoptBuffer(TKXRenderStream& ABuffer, bool ASetParentElement = false);
  // Takes ownership of an existing tag; nil adds nothing. Linking a tag that already has a parent
  // adds its topmost ancestor instead and returns the given tag.
  TKXMarkupLanguageTag* AddTagAsObject(TKXMarkupLanguageTag* ATag, bool ASetParentElement = false);
  // Appends a deep copy of every node of ATagCollection; with AFreeSourceCollection the source
  // collection (which the caller must own) is freed afterwards.
  void AddTagCollection(TKXMarkupLanguageTagCollection* ATagCollection, bool AFreeSourceCollection,
                        bool ASetParentElement = false);
  // Replaces the contents by deep copies of the source's nodes (nodes being copied are skipped).
  void Assign(const TKXMarkupLanguageTagCollection& ASource);
  // Frees every node not already being destroyed, then empties the list.
  void Clear();
  // Takes a node out of the list without freeing it; the caller owns it afterwards.
  TKXMarkupLanguageElement* Extract(TKXMarkupLanguageElement* AElement);

protected:
  friend class TKXMarkupLanguageTag;   // a copied tag joins its copied wrapper's contents

  virtual TKXMarkupLanguageTag* NewChildTag(std::string_view ATag) const;
  void AddNode(TKXMarkupLanguageElement* AElement, bool ASetParentElement);

  TKXMarkupLanguageTag* FParentElement;   // the owning tag, not owned
  std::vector<TKXMarkupLanguageElement*> FItems;
};
