#include "render/KXScriptEvents.h"

#include <algorithm>
#include <cstring>

#include "core/KXException.h"
#include "render/KXBaseRenderContext.h"
#include "render/KXRenderContext.h"
#include "SkStrUtils.h"

namespace {

const char* const kDuplicateEvent = "This event handler already has code associated to it";

bool IsBlank(std::string_view AText) {
  for (char C : AText)
    if (static_cast<unsigned char>(C) > ' ') return false;
  return true;
}

std::string_view Trimmed(std::string_view AText) {
  while (!AText.empty() && static_cast<unsigned char>(AText.front()) <= ' ') AText.remove_prefix(1);
  while (!AText.empty() && static_cast<unsigned char>(AText.back()) <= ' ') AText.remove_suffix(1);
  return AText;
}

// Code is kept as the lines it is written with, each ended by CR LF.
void SetCodeLines(std::string& ACode, std::string_view AText) {
  ACode.clear();
  ForEachLine(AText, [&ACode](std::string_view ALine) {
    ACode += ALine;
    ACode += "\r\n";
  });
}

}  // namespace

const TKXClassInfo& TKXScriptEvents::StaticClassInfo() {
  using T = TKXScriptEvents;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXScriptEvents").Props({
      KXStringsProp("Strings", &T::Lines, &T::SetLines),
  });
  return Info;
}

void TKXScriptEvents::Assign(const TKXPersistent& ASource) {
  const auto* S = dynamic_cast<const TKXScriptEvents*>(&ASource);
  if (!S) return TKXPersistent::Assign(ASource);
  AssignEvents(*S);
}

void TKXScriptEvents::AssignEvents(const TKXScriptEvents& ASource) {
  if (&ASource == this) return;
  FCount = 0;
  for (size_t I = 0; I < ASource.FCount; ++I) {
    const TKXScriptEventsItem& From = *ASource.FItems[I];
    TKXScriptEventsItem& To = NewItem(From.FEvent);
    To.FCode = From.FCode;
    To.FHooked = From.FHooked;
  }
}

TKXScriptEventsItem& TKXScriptEvents::Items(int AIndex) {
  if (AIndex < 0 || static_cast<size_t>(AIndex) >= FCount) throw std::out_of_range("TKXScriptEvents::Items");
  return *FItems[static_cast<size_t>(AIndex)];
}

TKXScriptEventsItem* TKXScriptEvents::Find(std::string_view AEvent) const {
  for (size_t I = 0; I < FCount; ++I)
    if (SameText(FItems[I]->FEvent, AEvent)) return FItems[I].get();
  return nullptr;
}

TKXScriptEventsItem& TKXScriptEvents::NewItem(std::string_view AEvent) {
  if (FCount == FItems.size()) FItems.push_back(std::make_unique<TKXScriptEventsItem>());
  TKXScriptEventsItem& Item = *FItems[FCount++];
  Item.FEvent.assign(AEvent);
  Item.FCode.clear();
  Item.FHooked.clear();
  return Item;
}

TKXScriptEventsItem& TKXScriptEvents::Add(std::string_view AEvent) {
  if (Find(AEvent)) throw EKXException(kDuplicateEvent);
  return NewItem(AEvent);
}

void TKXScriptEvents::SetEvent(TKXScriptEventsItem& AItem, const std::string& AEvent) {
  TKXScriptEventsItem* Other = Find(AEvent);
  if (Other && Other != &AItem) throw EKXException(kDuplicateEvent);
  AItem.FEvent = AEvent;
}

void TKXScriptEvents::SetEventCode(const std::string& AEvent, const std::string& ACode) {
  TKXScriptEventsItem* Item = Find(AEvent);
  if (IsBlank(ACode)) {
    const auto End = FItems.begin() + static_cast<std::ptrdiff_t>(FCount);
    const auto It = std::find_if(FItems.begin(), End, [Item](const auto& P) { return P.get() == Item; });
    if (It != End) {
      std::rotate(It, It + 1, End);   // the deleted item becomes a spare
      --FCount;
    }
    return;
  }
  if (!Item) Item = &Add(AEvent);
  SetCodeLines(Item->FCode, ACode);
}

void TKXScriptEvents::HookEvent(std::string_view AEvent, std::string_view AScript) {
  const std::string_view Code = Trimmed(AScript);
  if (Code.empty()) return;
  // A hook without a return of its own lets the browser go on with the event.
  const bool Returns = Code.find("return") != std::string_view::npos;
  TKXScriptEventsItem* Item = Find(AEvent);
  if (!Item) Item = &NewItem(AEvent);
  if (IsBlank(Item->FCode)) {
    // Written as the code's own lines (trimmed, it ends in none), then the closing line.
    SetCodeLines(Item->FCode, Code);
    if (!Returns) {
      Item->FCode += "return true;\r\n";
    } else if (Code.back() != ';') {
      Item->FCode.insert(Item->FCode.size() - 2, 1, ';');
    }
    return;
  }
  std::string& Hook = Item->FHooked.emplace_back(Code);
  if (!Returns) Hook += "\r\nreturn true";
  if (Hook.back() != ';') Hook += ';';
}

void TKXScriptEvents::RenderEvents(TKXComponent40Context& AContext, const std::string& AHTMLName, bool AIE) const {
  const std::string_view Arg = AIE ? "" : "event";
  const auto AddHook = [&](std::string_view AEvent, std::string_view AName) {
    AContext.AddToKXCLInitProc(
        {"if (", AHTMLName, "KXCL) ", AHTMLName, "KXCL.HookEvent(\"", AEvent, "\",", AName, ");"});
  };
  // The function names of every control of every page are assembled in one buffer of the thread.
  thread_local std::string Fn;
  for (size_t I = 0; I < FCount; ++I) {
    const TKXScriptEventsItem& Item = *FItems[I];
    if (IsBlank(Item.FCode)) continue;
    // The function is named after the control and the event in lower case: "<name>_onclick".
    Fn.assign(AHTMLName);
    Fn += '_';
    const size_t EventAt = Fn.size();
    for (char C : Item.FEvent) Fn += static_cast<char>(C >= 'A' && C <= 'Z' ? C + ('a' - 'A') : C);
    const std::string_view E = std::string_view(Fn).substr(EventAt);
    const std::string_view N = StartsText("on", E) ? E.substr(2) : E;
    AContext.AddToJavaScriptOnce({"function ", Fn, "(", Arg, ") {\r\n", Item.FCode, "}\r\n"});
    if (SameText(N, "load"))
      AContext.SetExtraParam("onload", Fn + "()");
    else
      AddHook(N, Fn);
    const size_t FnSize = Fn.size();
    for (size_t K = 0; K < Item.FHooked.size(); ++K) {
      Fn.resize(FnSize);
      Fn += std::to_string(K);
      AContext.AddToJavaScriptOnce({"function ", Fn, "(", Arg, ") {\r\n", Item.FHooked[K], "\r\n}\r\n"});
      AddHook(std::string_view(Fn).substr(EventAt + (E.size() - N.size()), N.size()), Fn);
    }
  }
}

// A signature writes each part as its kind, its length (the bytes of a size_t) and its bytes:
// no code, whatever it holds, reads as the boundary of another part.
template <class TOnPart>
bool TKXScriptEvents::ForEachSignaturePart(TOnPart&& AOnPart) const {
  for (size_t I = 0; I < FCount; ++I) {
    const TKXScriptEventsItem& Item = *FItems[I];
    if (!AOnPart('E', Item.FEvent) || !AOnPart('C', Item.FCode)) return false;
    for (const std::string& Hook : Item.FHooked)
      if (!AOnPart('H', Hook)) return false;
  }
  return true;
}

void TKXScriptEvents::WriteSignature(std::string& AText) const {
  AText.clear();
  ForEachSignaturePart([&AText](char AKind, std::string_view APart) {
    const size_t Size = APart.size();
    AppendAll(AText, {std::string_view(&AKind, 1), std::string_view(reinterpret_cast<const char*>(&Size), sizeof Size), APart});
    return true;
  });
}

bool TKXScriptEvents::HasSignature(std::string_view AText) const {
  size_t At = 0;
  const bool Same = ForEachSignaturePart([AText, &At](char AKind, std::string_view APart) {
    size_t Size;
    if (AText.size() - At < 1 + sizeof Size + APart.size() || AText[At] != AKind) return false;
    std::memcpy(&Size, AText.data() + At + 1, sizeof Size);
    if (Size != APart.size() || AText.compare(At + 1 + sizeof Size, Size, APart) != 0) return false;
    At += 1 + sizeof Size + Size;
    return true;
  });
  return Same && At == AText.size();
}

TSkStringList TKXScriptEvents::Lines() const {
  TSkStringList L;
  for (size_t I = 0; I < FCount; ++I) L.Add(FItems[I]->FEvent + "=" + ReplaceAll(FItems[I]->FCode, "\r\n", "\n"));
  return L;
}

void TKXScriptEvents::SetLines(const TSkStringList& ALines) {
  FCount = 0;
  for (int I = 0; I < ALines.Count(); ++I) SetEventCode(ALines.Names(I), ReplaceAll(ALines.ValueFromIndex(I), "\n", "\r\n"));
}

// ---------------------------------------------------------------------------------------------
// TKXRenderedEvents

void TKXRenderedEvents::Render(const TKXScriptEvents& AEvents, TKXComponent40Context& AContext, const std::string& AHTMLName,
                               bool AIE) {
  const bool LineEnds = !AContext.LineEnd().empty();
  if (FValid && FIE == AIE && FLineEnds == LineEnds && FHTMLName == AHTMLName && AEvents.HasSignature(FSignature)) {
    AContext.AppendRenderedCode(FJavaScript, FKXCLInitProc);
    for (const auto& [Name, Value] : FExtraParams) AContext.SetExtraParam(Name, Value);
    return;
  }
  FValid = false;
  const size_t JavaScriptAt = AContext.JavaScript().size();
  const size_t KXCLInitProcAt = AContext.KXCLInitProc().size();
  const size_t ExtraParamsAt = AContext.ExtraParams().size();
  AEvents.RenderEvents(AContext, AHTMLName, AIE);
  FJavaScript.assign(AContext.JavaScript(), JavaScriptAt);
  FKXCLInitProc.assign(AContext.KXCLInitProc(), KXCLInitProcAt);
  FExtraParams.assign(AContext.ExtraParams().begin() + static_cast<std::ptrdiff_t>(ExtraParamsAt), AContext.ExtraParams().end());
  AEvents.WriteSignature(FSignature);
  FHTMLName = AHTMLName;
  FIE = AIE;
  FLineEnds = LineEnds;
  FValid = true;
}
