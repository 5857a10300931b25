#pragma once
// Client-side event handlers of a control: the user's code per browser event plus fragments the
// framework hooks on the same event; rendered as one script function per piece of code.
#include <memory>
#include <string>
#include <vector>

#include "KXComponent.h"
#include "SkStringList.h"

class TKXComponent40Context;

class TKXScriptEventsItem {
public:
  const std::string& Event() const { return FEvent; }
  const TSkStringList& EventCode() const { return FEventCode; }
  const std::vector<std::string>& Hooked() const { return FHooked; }

private:
  friend class TKXScriptEvents;
  std::string FEvent;
  TSkStringList FEventCode;
  std::vector<std::string> FHooked;   // framework fragments, each already terminated
};

class TKXScriptEvents : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  TKXScriptEvents() = default;
  void Assign(const TKXPersistent& ASource) override;

  int Count() const { return static_cast<int>(FItems.size()); }
  TKXScriptEventsItem& Items(int AIndex) { return *FItems.at(static_cast<size_t>(AIndex)); }
  TKXScriptEventsItem* Find(const std::string& AEvent) const;   // without regard to case
  TKXScriptEventsItem& Add(const std::string& AEvent);
  // Renames an item; a name another item has fails and the item keeps its name.
  void SetEvent(TKXScriptEventsItem& AItem, const std::string& AEvent);
  // Text empty after trimming deletes the item.
  void SetEventCode(const std::string& AEvent, const std::string& ACode);
  void HookEvent(const std::string& AEvent, const std::string& AScript);
  // One function per piece of code and its client-object hook-up, for the control AHTMLName.
  void RenderEvents(TKXComponent40Context& AContext, const std::string& AHTMLName, bool AIE) const;

  // Stored form: one "Event=code" line per item (code lines joined by CR LF).
  TSkStringList Lines() const;
  void SetLines(const TSkStringList& ALines);

private:
  std::vector<std::unique_ptr<TKXScriptEventsItem>> FItems;
};
