#include "KXScriptEvents.h"

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

void TKXScriptEvents::RenderEvents(TKXComponent40Context& AContext, const std::string& AHTMLName, bool AIE) const {
  const std::string Arg = AIE ? "" : "event";
  for (const auto& I : FItems) {
    std::string Code = I->FEventCode.Text();
    if (Trim(Code).empty()) continue;
    const std::string E = LowerCase(I->FEvent);
    const std::string N = StartsText("on", E) ? E.substr(2) : E;
    const std::string Fn = AHTMLName + "_" + E;
    if (!EndsText("\r\n", Code)) Code += "\r\n";
    AContext.AddToJavaScriptOnce("function " + Fn + "(" + Arg + ") {\r\n" + Code + "}\r\n");
    if (SameText(N, "load"))
      AContext.SetExtraParam("onload", Fn + "()");
    else
      AContext.AddToKXCLInitProc("if (" + AHTMLName + "KXCL) " + AHTMLName + "KXCL.HookEvent(\"" + N + "\"," + Fn + ");");
    for (size_t K = 0; K < I->FHooked.size(); ++K) {
      const std::string FnK = Fn + std::to_string(K);
      AContext.AddToJavaScriptOnce("function " + FnK + "(" + Arg + ") {\r\n" + I->FHooked[K] + "\r\n}\r\n");
      AContext.AddToKXCLInitProc("if (" + AHTMLName + "KXCL) " + AHTMLName + "KXCL.HookEvent(\"" + N + "\"," + FnK + ");");
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
