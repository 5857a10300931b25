#include "KXScriptEvents.h"

#include <algorithm>

#include "KXException.h"
#include "KXBaseRenderContext.h"
#include "KXRenderContext.h"
#include "SkStrUtils.h"

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
  FItems.clear();
  for (const auto& I : S->FItems) FItems.push_back(std::make_unique<TKXScriptEventsItem>(*I));
}

TKXScriptEventsItem* TKXScriptEvents::Find(const std::string& AEvent) const {
  for (const auto& I : FItems)
    if (SameText(I->FEvent, AEvent)) return I.get();
  return nullptr;
}

TKXScriptEventsItem& TKXScriptEvents::Add(const std::string& AEvent) {
  if (Find(AEvent)) throw EKXException("This event handler already has code associated to it");
  FItems.push_back(std::make_unique<TKXScriptEventsItem>());
  FItems.back()->FEvent = AEvent;
  return *FItems.back();
}

void TKXScriptEvents::SetEvent(TKXScriptEventsItem& AItem, const std::string& AEvent) {
  TKXScriptEventsItem* Other = Find(AEvent);
  if (Other && Other != &AItem) throw EKXException("This event handler already has code associated to it");
  AItem.FEvent = AEvent;
}

void TKXScriptEvents::SetEventCode(const std::string& AEvent, const std::string& ACode) {
  TKXScriptEventsItem* Item = Find(AEvent);
  if (Trim(ACode).empty()) {
    for (auto It = FItems.begin(); It != FItems.end(); ++It)
      if (It->get() == Item) {
        FItems.erase(It);
        break;
      }
    return;
  }
  if (!Item) Item = &Add(AEvent);
  Item->FEventCode.SetText(ACode);
}

void TKXScriptEvents::HookEvent(const std::string& AEvent, const std::string& AScript) {
  std::string Script = Trim(AScript);
  if (Script.empty()) return;
  if (Script.find("return") == std::string::npos) Script += "\r\nreturn true";
  if (Script.back() != ';') Script += ";";
  TKXScriptEventsItem* Item = Find(AEvent);
  if (!Item || Trim(Item->FEventCode.Text()).empty()) {
    if (!Item) Item = &Add(AEvent);
    Item->FEventCode.SetText(Script);
  } else {
    Item->FHooked.push_back(Script);
  }
}

namespace {

bool IsBlank(std::string_view AText) {
  for (char C : AText)
    if (static_cast<unsigned char>(C) > ' ') return false;
  return true;
}

}  // namespace

void TKXScriptEvents::RenderEvents(TKXComponent40Context& AContext, const std::string& AHTMLName, bool AIE) const {
  const std::string_view Arg = AIE ? "" : "event";
  // Every control writes a few of these per page: each text is assembled in one buffer.
  std::string Function, Hook;
  const auto BeginFunction = [&](std::string_view AName) {
    Function.clear();
    Function += "function ";
    Function += AName;
    Function += '(';
    Function += Arg;
    Function += ") {\r\n";
  };
  const auto AddHook = [&](std::string_view AEvent, std::string_view AName) {
    Hook.clear();
    Hook += "if (";
    Hook += AHTMLName;
    Hook += "KXCL) ";
    Hook += AHTMLName;
    Hook += "KXCL.HookEvent(\"";
    Hook += AEvent;
    Hook += "\",";
    Hook += AName;
    Hook += ");";
    AContext.AddToKXCLInitProc(Hook);
  };
  for (const auto& I : FItems) {
    const TSkStringList& Code = I->FEventCode;
    if (std::all_of(Code.begin(), Code.end(), IsBlank)) continue;
    const std::string E = LowerCase(I->FEvent);
    const std::string_view N = StartsText("on", E) ? std::string_view(E).substr(2) : std::string_view(E);
    const std::string Fn = AHTMLName + "_" + E;
    // The code as its lines joined, each ending with a line break.
    BeginFunction(Fn);
    for (const std::string& Line : Code) {
      Function += Line;
      Function += "\r\n";
    }
    Function += "}\r\n";
    AContext.AddToJavaScriptOnce(Function);
    if (SameText(N, "load"))
      AContext.SetExtraParam("onload", Fn + "()");
    else
      AddHook(N, Fn);
    for (size_t K = 0; K < I->FHooked.size(); ++K) {
      const std::string FnK = Fn + std::to_string(K);
      BeginFunction(FnK);
      Function += I->FHooked[K];
      Function += "\r\n}\r\n";
      AContext.AddToJavaScriptOnce(Function);
      AddHook(N, FnK);
    }
  }
}

TSkStringList TKXScriptEvents::Lines() const {
  TSkStringList L;
  for (const auto& I : FItems) L.Add(I->FEvent + "=" + ReplaceAll(I->FEventCode.Text(), "\r\n", "\n"));
  return L;
}

void TKXScriptEvents::SetLines(const TSkStringList& ALines) {
  FItems.clear();
  for (int I = 0; I < ALines.Count(); ++I) SetEventCode(ALines.Names(I), ReplaceAll(ALines.ValueFromIndex(I), "\n", "\r\n"));
}
