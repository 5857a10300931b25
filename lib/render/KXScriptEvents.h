#pragma once
// Client-side event handlers of a control: the user's code per browser event plus fragments the
// framework hooks on the same event; rendered as one script function per piece of code.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/KXComponent.h"
#include "SkStringList.h"

class TKXComponent40Context;

class TKXScriptEventsItem {
public:
  const std::string& Event() const { return FEvent; }
  // The code as it is written into the handler: each of its lines ended by CR LF.
  const std::string& Code() const { return FCode; }
  const std::vector<std::string>& Hooked() const { return FHooked; }

private:
  friend class TKXScriptEvents;
  std::string FEvent;
  std::string FCode;
  std::vector<std::string> FHooked;   // framework fragments, each already terminated
};

class TKXScriptEvents : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  TKXScriptEvents() = default;
  void Assign(const TKXPersistent& ASource) override;
  void AssignEvents(const TKXScriptEvents& ASource);   // keeps the room of the items it had

  int Count() const { return static_cast<int>(FCount); }
  // Valid until the next item is added or deleted.
  TKXScriptEventsItem& Items(int AIndex);
  TKXScriptEventsItem* Find(std::string_view AEvent) const;   // without regard to case
  TKXScriptEventsItem& Add(std::string_view AEvent);
  // Renames an item; a name another item has fails and the item keeps its name.
  void SetEvent(TKXScriptEventsItem& AItem, const std::string& AEvent);
  // Text empty after trimming deletes the item.
  void SetEventCode(const std::string& AEvent, const std::string& ACode);
  void HookEvent(std::string_view AEvent, std::string_view AScript);
  // One function per piece of code and its client-object hook-up, for the control AHTMLName.
  void RenderEvents(TKXComponent40Context& AContext, const std::string& AHTMLName, bool AIE) const;
  // Every event with its code and hooks, in order, as one text: sets with equal texts render alike.
  void WriteSignature(std::string& AText) const;
  bool HasSignature(std::string_view AText) const;   // the text WriteSignature would write

  // Stored form: one "Event=code" line per item (code lines joined by CR LF).
  TSkStringList Lines() const;
  void SetLines(const TSkStringList& ALines);

private:
  TKXScriptEventsItem& NewItem(std::string_view AEvent);
  // Calls AOnPart(kind, text) for every part of the signature until it answers false.
  template <class TOnPart>
  bool ForEachSignaturePart(TOnPart&& AOnPart) const;

  // The first FCount items are the events; the ones after them are kept with their room, so a
  // set filled again for every render (a control's events plus the framework's hooks) does not
  // allocate again.
  std::vector<std::unique_ptr<TKXScriptEventsItem>> FItems;
  size_t FCount = 0;
};

// A control's last rendered events. The hooked set of a control rarely changes from one render
// to the next; when the set, the name, the browser kind and the line end are those of the last
// render, the code that render wrote is written again instead of being assembled anew.
class TKXRenderedEvents {
public:
  void Render(const TKXScriptEvents& AEvents, TKXComponent40Context& AContext, const std::string& AHTMLName, bool AIE);

private:
  bool FValid = false;
  bool FIE = false;
  bool FLineEnds = false;   // the page line end was CR LF
  std::string FSignature, FHTMLName, FJavaScript, FKXCLInitProc;
  std::vector<std::pair<std::string, std::string>> FExtraParams;
};
