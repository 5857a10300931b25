#include "render/KXMarkupLanguageTag.h"

#include <algorithm>
#include <cstring>

#include "core/KXException.h"
#include "core/KXStreams.h"
#include "SkStrUtils.h"
#include "SkStringList.h"

namespace {

constexpr char kTagErrorPrefix[] = "Tag: ";
constexpr std::string_view kLineBreak = "\r\n";
constexpr int kMaxWrittenLevel = 32;   // deeper levels are written blank pair by blank pair

// Opening and closing texts are assembled here and written with one WriteString, so a page
// kept in a file is not written in tiny pieces. The text is written out before any child is
// rendered, so the recursion never finds it in use.
thread_local std::string GTagText;

// Sets FRendering for a scope and clears it however the scope is left.
class TRenderingMark {
public:
  explicit TRenderingMark(bool& AFlag, bool ASet = true) : FFlag(AFlag) {
    if (ASet) FFlag = true;
  }
  ~TRenderingMark() { FFlag = false; }
  TRenderingMark(const TRenderingMark&) = delete;
  TRenderingMark& operator=(const TRenderingMark&) = delete;

private:
  bool& FFlag;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKXTagParamsStringList

std::string TKXTagParamsStringList::Strings(int AIndex) const {
  const TKXTagParam& P = Items(AIndex);
  return P.HasValue ? P.Name + "=" + P.Value : P.Name;
}

void TKXTagParamsStringList::Add(std::string_view AString) {
  const size_t Eq = AString.find('=');
  if (Eq == std::string_view::npos) {
    FItems.emplace_back(AString, std::string_view(), false);
  } else {
    FItems.emplace_back(LowerCase(AString.substr(0, Eq)), AString.substr(Eq + 1));
  }
}

int TKXTagParamsStringList::IndexOfName(std::string_view AName) const {
  for (size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I].HasValue && SameText(FItems[I].Name, AName)) return static_cast<int>(I);
  return -1;
}

std::string TKXTagParamsStringList::Values(std::string_view AName) const {
  const int I = IndexOfName(AName);
  return I < 0 ? std::string() : FItems[static_cast<size_t>(I)].Value;
}

void TKXTagParamsStringList::SetValue(std::string_view AName, std::string_view AValue) {
  const int I = IndexOfName(AName);
  if (I >= 0) {
    FItems[static_cast<size_t>(I)].Value.assign(AValue);
  } else {
    if (FItems.empty()) FItems.reserve(6);   // a typical control tag has four to six
    // Built in place from the views: every attribute of every page's tags is added here.
    TKXTagParam& P = FItems.emplace_back(AName, AValue);
    for (char& C : P.Name) C = LowCaseChar(C);
  }
}

void TKXTagParamsStringList::Delete(int AIndex) {
  if (AIndex < 0 || AIndex >= Count()) return;
  FItems.erase(FItems.begin() + AIndex);
}

void TKXTagParamsStringList::AppendParams(const TKXTagParamsStringList& AParams) {
  if (&AParams == this) return;
  for (const TKXTagParam& P : AParams.FItems)
    if (P.HasValue) SetValue(P.Name, P.Value);
}

void TKXTagParamsStringList::AppendParams(const TSkStringList& AParams) {
  for (const std::string& Line : AParams) {
    const size_t Eq = Line.find('=');
    if (Eq != std::string::npos)
      SetValue(std::string_view(Line).substr(0, Eq), std::string_view(Line).substr(Eq + 1));
  }
}

void TKXTagParamsStringList::AppendRendered(std::string& AOut) const {
  // Every tag of every page is written through here: the text is sized first, then filled.
  size_t Size = 0;
  for (const TKXTagParam& P : FItems) Size += 1 + P.Name.size() + (P.HasValue ? 3 + P.Value.size() : 0);
  const size_t At = AOut.size();
  AOut.resize(At + Size);
  char* To = AOut.data() + At;
  const auto Copy = [&To](const std::string& AText) { To = CopyBytes(To, AText.data(), AText.size()); };
  for (const TKXTagParam& P : FItems) {
    *To++ = ' ';
    Copy(P.Name);
    if (!P.HasValue) continue;
    *To++ = '=';
    *To++ = '"';
    Copy(P.Value);
    *To++ = '"';
  }
}

// ---------------------------------------------------------------------------------------------
// TKXMarkupLanguageElement

TKXMarkupLanguageElement::~TKXMarkupLanguageElement() {
  FDestroying = true;
  // A linked element is freed through its root: the parent's contents skip this element,
  // which is already marked.
  if (FParentElement && !FParentElement->FDestroying) {
    TKXMarkupLanguageElement* Parent = FParentElement;
    FParentElement = nullptr;
    delete Parent;
  }
}

void TKXMarkupLanguageElement::Assign(const TKXMarkupLanguageElement* ASource) {
  if (!ASource) throw EKXException(std::string("Cannot assign a nil to a ") + ClassName() + ".");
  AssignParent(ASource);
}

void TKXMarkupLanguageElement::AssignParent(const TKXMarkupLanguageElement* ASource) {
  const TKXMarkupLanguageElement* SourceParent = ASource->FParentElement;
  // A parent that is being copied right now is the copy's new owner already: copying it again
  // would give the copy a second, empty wrapper.
  if (SourceParent && !SourceParent->FRendering) {
    TKXMarkupLanguageElement* NewParent = SourceParent->NewInstance();
    FParentElement = NewParent;
    NewParent->Assign(SourceParent);
  } else {
    FParentElement = nullptr;
  }
}

void TKXMarkupLanguageElement::Render(TKXRenderStream& ABuffer) {
  if (FParentElement && !FRendering) {
    TRenderingMark Mark(FRendering);
    FParentElement->Render(ABuffer);
  } else {
    DoRender(ABuffer, 0);
  }
}

std::string TKXMarkupLanguageElement::Render() {
  TKXRenderStream Buffer;
  Render(Buffer);
  return Buffer.Extract();
}

// ---------------------------------------------------------------------------------------------
// TKXMarkupLanguageTag

TKXMarkupLanguageTag::TKXMarkupLanguageTag(TKXMarkupLanguageElement* AParentElement)
    : TKXMarkupLanguageTag(TNoTag{}, AParentElement, NewContents<TKXMarkupLanguageTagCollection>) {}

TKXMarkupLanguageTag::TKXMarkupLanguageTag(std::string_view ATag, TKXMarkupLanguageElement* AParentElement)
    : TKXMarkupLanguageTag(AParentElement) {
  FClosingTag = cbTrue;
  TKXMarkupLanguageTag::SetTag(ATag);
}

TKXMarkupLanguageTag::TKXMarkupLanguageTag(TNoTag, TKXMarkupLanguageElement* AParentElement, TNewContents ANewContents)
    : TKXMarkupLanguageElement(AParentElement), FNewContents(ANewContents) {}

TKXMarkupLanguageTag::~TKXMarkupLanguageTag() {
  // Marked before the contents go: a child linked to this tag must not free it again.
  FDestroying = true;
  FParams.Clear();
  if (FContents) FContents->Clear();
}

TKXMarkupLanguageTagCollection& TKXMarkupLanguageTag::Contents() {
  if (!FContents) FContents = FNewContents(this);
  return *FContents;
}

void TKXMarkupLanguageTag::SetTag(std::string_view ATag) {
  FTag.assign(ATag);
  for (char& C : FTag) C = LowCaseChar(C);
}

void TKXMarkupLanguageTag::Assign(const TKXMarkupLanguageElement* ASource) {
  const TKXMarkupLanguageTag* Source =
      ASource ? const_cast<TKXMarkupLanguageElement*>(ASource)->AsTag() : nullptr;
  if (Source == this) return;
  if (!Source || Source->FRendering) {
    TKXMarkupLanguageElement::Assign(ASource);
    return;
  }
  {
    TRenderingMark Mark(Source->FRendering);
    FParams = Source->FParams;
    if (Source->FContents)
      Contents().Assign(*Source->FContents);
    else if (FContents)
      FContents->Clear();
    SetTag(Source->FTag);
    FIsPreformated = Source->FIsPreformated;
    FClosingTag = Source->FClosingTag;
    FScriptEvents = Source->FScriptEvents;
    AssignParent(Source);
  }
  if (FParentElement) {
    if (TKXMarkupLanguageTag* Parent = FParentElement->AsTag()) Parent->Contents().FItems.push_back(this);
  }
}

std::string TKXMarkupLanguageTag::ScriptEvents() const {
  std::string R;
  if (FContents)
    for (TKXMarkupLanguageElement* E : *FContents)
      if (const TKXMarkupLanguageTag* T = E->AsTag()) R += T->ScriptEvents();
  R += FScriptEvents;
  return R;
}

void TKXMarkupLanguageTag::AddStringParam(std::string_view AAttribName, std::string_view AAttribValue) {
  if (AAttribValue.empty()) return;
  FParams.SetValue(AAttribName, AAttribValue);
}

void TKXMarkupLanguageTag::AddIntegerParam(std::string_view AAttribName, int64_t AAttribValue) {
  AddStringParam(AAttribName, TSkDigits(AAttribValue));
}

void TKXMarkupLanguageTag::AddBoolParam(std::string_view AAttribName, bool AAttribValue) {
  AddStringParam(AAttribName, AAttribValue ? "true" : "false");
}

void TKXMarkupLanguageTag::AddColor(std::string_view AAttribName, TKXColor AAttribValue) {
  if (AAttribValue == clNone) return;
  AddStringParam(AAttribName, ColorToHTMLColor(AAttribValue));
}

void TKXMarkupLanguageTag::Add(std::string_view AAttrib) {
  if (!AAttrib.empty()) FParams.Add(AAttrib);
}

void TKXMarkupLanguageTag::AddParmsList(const TSkStringList& AAttribs) {
  for (const std::string& Line : AAttribs) {
    const std::string S = Trim(Line);
    if (!S.empty()) FParams.Add(S);
  }
}

void TKXMarkupLanguageTag::ClearParam(std::string_view AAttribName) { FParams.Delete(FParams.IndexOfName(AAttribName)); }

void TKXMarkupLanguageTag::DoRender(TKXRenderStream& ABuffer, int AIndent) {
  TRenderingMark Mark(FRendering, false);   // cleared however rendering ends
  RenderOpening(ABuffer);
  RenderContents(ABuffer, AIndent);
  RenderClosing(ABuffer);
}

void TKXMarkupLanguageTag::RenderOpening(TKXRenderStream& ABuffer) const {
  if (FTag.empty()) return;
  std::string& Text = GTagText;
  Text.assign(1, '<');
  Text += FTag;
  FParams.AppendRendered(Text);
  Text += FClosingTag == cbSimpleClose ? std::string_view("/>") : std::string_view(">");
  ABuffer.WriteString(Text);
}

void TKXMarkupLanguageTag::RenderClosing(TKXRenderStream& ABuffer) const {
  if (!(FClosingTag == cbTrue || (FClosingTag == cbAuto && !FTag.empty()))) return;
  std::string& Text = GTagText;
  Text.clear();
  AppendAll(Text, {"</", FTag, ">"});
  ABuffer.WriteString(Text);
}

void TKXMarkupLanguageTag::WriteLineBreak(TKXRenderStream& ABuffer, int ALevel) {
  static const std::string kBreak = std::string(kLineBreak) + std::string(2 * kMaxWrittenLevel, ' ');
  const int Level = std::clamp(ALevel, 0, kMaxWrittenLevel);
  ABuffer.WriteString(std::string_view(kBreak).substr(0, kLineBreak.size() + 2 * static_cast<size_t>(Level)));
  for (int I = Level; I < ALevel; ++I) ABuffer.WriteString("  ");
}

void TKXMarkupLanguageTag::RenderContents(TKXRenderStream& ABuffer, int AIndent) {
  if (!FContents) return;
  try {
    for (TKXMarkupLanguageElement* E : *FContents) {
      TKXMarkupLanguageTag* Child = E->AsTag();
      if (!Child) {
        E->DoRender(ABuffer, 0);   // text and bytes: verbatim, no line break
        continue;
      }
      const int Level = (AIndent == -1 || FTag.empty()) ? AIndent : AIndent + 1;
      if (!FIsPreformated) WriteLineBreak(ABuffer, Level);
      // A child linked to this tag is written here directly: going through its Render would
      // climb back to this tag and write it a second time.
      if (Child->ParentElement() == this) Child->DoRender(ABuffer, 0);
      else Child->Render(ABuffer);
    }
  } catch (...) {
    throw EKXException(kTagErrorPrefix + FTag);
  }
}

// ---------------------------------------------------------------------------------------------
// TKXTextElement, TKXBinaryElement

void TKXTextElement::Assign(const TKXMarkupLanguageElement* ASource) {
  if (const auto* Source = dynamic_cast<const TKXTextElement*>(ASource)) FText = Source->FText;
  TKXMarkupLanguageElement::Assign(ASource);
}

void TKXTextElement::DoRender(TKXRenderStream& ABuffer, int) { ABuffer.WriteString(FText); }

TKXBinaryElement::TKXBinaryElement(TKXMarkupLanguageElement* AParentElement)
    : TKXMarkupLanguageElement(AParentElement), FBuffer(std::make_unique<TKXRenderStream>()) {}

TKXBinaryElement::~TKXBinaryElement() = default;

void TKXBinaryElement::Assign(const TKXMarkupLanguageElement* ASource) {
  // A copy of a binary node carries its bytes too; without them a copied page loses controls.
  if (const auto* Source = dynamic_cast<const TKXBinaryElement*>(ASource); Source && Source != this) {
    FBuffer->SetSize(0);
    FBuffer->WriteRenderStream(*Source->FBuffer);
  }
  TKXMarkupLanguageElement::Assign(ASource);
}

void TKXBinaryElement::DoRender(TKXRenderStream& ABuffer, int) { ABuffer.WriteRenderStream(*FBuffer); }

// ---------------------------------------------------------------------------------------------
// TKXMarkupLanguageTagCollection

TKXMarkupLanguageTag* TKXMarkupLanguageTagCollection::NewChildTag(std::string_view ATag) const {
  return FParentElement ? FParentElement->NewTag(ATag) : new TKXMarkupLanguageTag(ATag);
}

void TKXMarkupLanguageTagCollection::AddNode(TKXMarkupLanguageElement* AElement, bool ASetParentElement) {
  if (FItems.empty()) FItems.reserve(4);
  FItems.push_back(AElement);
  AElement->SetParentElement(ASetParentElement ? FParentElement : nullptr);
}

TKXMarkupLanguageTag* TKXMarkupLanguageTagCollection::AddTag(std::string_view ATag, bool ASetParentElement) {
  TKXMarkupLanguageTag* T = NewChildTag(ATag);
  AddNode(T, ASetParentElement);
  return T;
}

TKXTextElement* TKXMarkupLanguageTagCollection::AddText(std::string_view AText, bool ASetParentElement) {
  auto* T = new TKXTextElement();
  T->SetText(std::string(AText));
  AddNode(T, ASetParentElement);
  return T;
}

TKXBinaryElement* TKXMarkupLanguageTagCollection::AddBuffer(TKXRenderStream& ABuffer, bool ASetParentElement) {
  auto* B = new TKXBinaryElement();
  try {
    B->Buffer().WriteRenderStream(ABuffer);
  } catch (...) {
    delete B;
    throw;
  }
  AddNode(B, ASetParentElement);
  return B;
}

TKXBinaryElement* TKXMarkupLanguageTagCollection::AdoptBuffer(TKXRenderStream& ABuffer, bool ASetParentElement) {
  auto B = std::make_unique<TKXBinaryElement>();
  B->Buffer().AdoptRenderStream(ABuffer);
  AddNode(B.get(), ASetParentElement);
  return B.release();
}

TKXMarkupLanguageTag* TKXMarkupLanguageTagCollection::AddTagAsObject(TKXMarkupLanguageTag* ATag,
                                                                    bool ASetParentElement) {
  if (!ATag) return nullptr;
  if (ASetParentElement && ATag->ParentElement()) {
    TKXMarkupLanguageElement* Top = ATag;
    while (Top->ParentElement()) {
      // Already inside this tag's linked tree: linking again would make a cycle.
      if (Top == FParentElement) return ATag;
      Top = Top->ParentElement();
    }
    if (Top == FParentElement) return ATag;
    for (TKXMarkupLanguageElement* P = FParentElement; P; P = P->ParentElement())
      if (P == Top) return ATag;   // the ancestor would become its own descendant
    AddNode(Top, true);
    return ATag;
  }
  AddNode(ATag, ASetParentElement);
  return ATag;
}

void TKXMarkupLanguageTagCollection::AddTagCollection(TKXMarkupLanguageTagCollection* ATagCollection,
                                                      bool AFreeSourceCollection, bool ASetParentElement) {
  if (!ATagCollection) return;
  if (ATagCollection != this) {
    for (TKXMarkupLanguageElement* Source : ATagCollection->FItems) {
      std::unique_ptr<TKXMarkupLanguageElement> Copy(Source->NewInstance());
      Copy->Assign(Source);
      // A copy that came with its own copied wrapper is reached through that wrapper.
      TKXMarkupLanguageElement* Top = Copy.release();
      while (Top->ParentElement()) Top = Top->ParentElement();
      AddNode(Top, ASetParentElement);
    }
  }
  if (AFreeSourceCollection && ATagCollection != this) delete ATagCollection;
}

void TKXMarkupLanguageTagCollection::Assign(const TKXMarkupLanguageTagCollection& ASource) {
  if (&ASource == this) return;
  Clear();
  for (TKXMarkupLanguageElement* Source : ASource.FItems) {
    if (Source->Rendering()) continue;
    std::unique_ptr<TKXMarkupLanguageElement> Copy(Source->NewInstance());
    Copy->Assign(Source);
    // A copy that came with its own copied wrapper is reached through that wrapper.
    TKXMarkupLanguageElement* Top = Copy.release();
    while (Top->ParentElement()) Top = Top->ParentElement();
    AddNode(Top, false);
  }
}

void TKXMarkupLanguageTagCollection::Clear() {
  // Take the list first: a node's destructor may free the linked tree it belongs to.
  std::vector<TKXMarkupLanguageElement*> Items;
  Items.swap(FItems);
  for (TKXMarkupLanguageElement* E : Items)
    if (!E->Destroying()) delete E;
}

TKXMarkupLanguageElement* TKXMarkupLanguageTagCollection::Extract(TKXMarkupLanguageElement* AElement) {
  const auto It = std::find(FItems.begin(), FItems.end(), AElement);
  if (It == FItems.end()) return nullptr;
  FItems.erase(It);
  if (AElement->ParentElement() == FParentElement) AElement->SetParentElement(nullptr);
  return AElement;
}
