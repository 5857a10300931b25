#pragma once
// Run-time class information: each class's published properties, handler methods and published
// fields as tables declared once (with typed adapters), the process-wide class registry and the
// colour-name table. The description reader and writer reach objects only through these tables.
//
// A class declares its table in its .cpp:
//
//   const TKXClassInfo& TKXButton::StaticClassInfo() {
//     using T = TKXButton;
//     static const TKXClassInfo Info = KXClass<T, TKXCustomControl>("TKXButton")
//         .Props({KXStringProp("Caption", &T::Caption, &T::SetCaption),
//                 KXColorProp("Color", &T::Color, &T::SetColor),
//                 KXObjectProp("Font", &T::Font),
//                 KXEventProp("OnClick", &T::OnClick)});
//     return Info;
//   }
//
// A root (form, data module) also lists its handler methods and published fields:
//
//     KXClass<T, TKXAppForm>("TKXForm1")
//         .Props({...})
//         .Methods({KXMethod("KXButton3Click", &T::KXButton3Click)})   // void (T::*)(TKXComponent*)
//         .Fields({KXField("KXButton3", &T::KXButton3)});              // TKXButton* KXButton3
//
// Tables are built on first use (a function-local static), so registering a class from a
// static initialiser is safe; enumeration tables are referenced by address and read only later.
#include <bitset>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "core/KXEnumSet.h"
#include "SkStrUtils.h"
#include "SkStringList.h"

class TKXPersistent;   // must not be a virtual base: adapters static_cast from it
class TKXComponent;
class TKXClassInfo;

enum class TKXPropKind {
  pkInteger,
  pkBoolean,
  pkString,    // UTF-8
  pkFloat,
  pkEnum,
  pkSet,       // set of an enumeration, carried as a bit mask (bit n = ordinal n)
  pkColor,     // 32-bit value written by name when the colour table knows it
  pkStrings,   // TSkStringList
  pkObject,    // nested persistent owned by the object (Font, SSLOptions)
  pkComponent, // reference to another component, resolved by name when loading ends
  pkEvent      // std::function member bound to a handler method of the root object
};

// Names of an enumeration type's values, index = ordinal.
struct TKXEnumInfo {
  std::string TypeName;
  std::vector<std::string> Names;

  int ValueOf(std::string_view AName) const;   // without regard to case; -1 when absent
  std::string NameOf(int64_t AValue) const;    // empty when out of range
};

// A handler method registered by name; Bind writes a std::function of exactly Signature.
struct TKXMethodInfo {
  std::string Name;
  std::type_index Signature;
  // AEvent points to a std::function<Signature>; ARoot is an instance of the declaring class.
  std::function<void(TKXPersistent& ARoot, void* AEvent)> Bind;
};

// A root's member that holds the owned component of the same name (bound on naming, cleared on removal).
struct TKXFieldInfo {
  std::string Name;
  std::function<bool(TKXPersistent& ARoot, TKXComponent* AComponent)> Set;   // false: wrong class
  std::function<TKXComponent*(TKXPersistent& ARoot)> Get;
};

// One published property. Only the accessors of its kind are set.
struct TKXPropInfo {
  TKXPropInfo(std::string AName, TKXPropKind AKind) : Name(std::move(AName)), Kind(AKind) {}

  std::string Name;
  TKXPropKind Kind;
  const TKXEnumInfo* Enum = nullptr;   // pkEnum, pkSet

  // pkInteger, pkBoolean (0/1), pkEnum (ordinal), pkColor (int32 value), pkSet (bit mask)
  std::function<int64_t(TKXPersistent&)> GetOrdinal;
  std::function<void(TKXPersistent&, int64_t)> SetOrdinal;
  std::function<std::string(TKXPersistent&)> GetString;
  std::function<void(TKXPersistent&, const std::string&)> SetString;
  std::function<double(TKXPersistent&)> GetFloat;
  std::function<void(TKXPersistent&, double)> SetFloat;
  std::function<TSkStringList(TKXPersistent&)> GetStrings;
  std::function<void(TKXPersistent&, const TSkStringList&)> SetStrings;
  std::function<TKXPersistent*(TKXPersistent&)> GetObject;
  std::function<TKXComponent*(TKXPersistent&)> GetComponent;
  std::function<bool(TKXPersistent&, TKXComponent*)> SetComponent;   // false: wrong class
  std::type_index EventSignature{typeid(void)};
  // AMethod null clears the event; its Signature must equal EventSignature.
  std::function<void(TKXPersistent&, const TKXMethodInfo* AMethod, TKXPersistent& ARoot)> BindEvent;
  // The bound method's name; empty when unassigned or assigned in code.
  std::function<std::string(TKXPersistent&)> EventMethodName;
};

class TKXClassInfo {
public:
  using TConstruct = TKXComponent* (*)(TKXComponent* AOwner);

  TKXClassInfo(std::string AName, const TKXClassInfo* AParent, TConstruct AConstruct);

  TKXClassInfo&& Props(std::vector<TKXPropInfo> AProps) &&;
  TKXClassInfo&& Methods(std::vector<TKXMethodInfo> AMethods) &&;
  TKXClassInfo&& Fields(std::vector<TKXFieldInfo> AFields) &&;

  const std::string& Name() const { return FName; }
  const TKXClassInfo* Parent() const { return FParent; }
  bool InheritsFrom(const TKXClassInfo& AAncestor) const;   // true for the class itself
  bool InheritsFrom(std::string_view AAncestorName) const;  // without regard to case

  // Look-ups without regard to case, the class's own table first, then its ancestors'.
  const TKXPropInfo* FindProperty(std::string_view AName) const;
  const TKXMethodInfo* FindMethod(std::string_view AName) const;
  const TKXFieldInfo* FindField(std::string_view AName) const;
  // Every property, ancestors' first; a redeclared name takes the ancestor's place.
  std::vector<const TKXPropInfo*> Properties() const;
  const std::vector<TKXPropInfo>& OwnProperties() const { return FProps; }

  bool CanCreate() const { return FConstruct != nullptr; }
  // Runs the constructor only: an instance with its defaults (the writer compares against it).
  TKXComponent* Construct(TKXComponent* AOwner) const;
  // Constructs, then runs AfterConstruction (which loads stored descriptions); freed on failure.
  TKXComponent* Create(TKXComponent* AOwner) const;

private:
  std::string FName;
  const TKXClassInfo* FParent;
  TConstruct FConstruct;
  std::vector<TKXPropInfo> FProps;
  std::vector<TKXMethodInfo> FMethods;
  std::vector<TKXFieldInfo> FFields;
};

// The process-wide class registry: classes that can be created by name (nested description
// blocks, page mode's "T" + name). Reached only through KXClassRegistry().
class TKXClassRegistry {
public:
  // Registering the same class twice is harmless; another class under a taken name is refused.
  void RegisterClass(const TKXClassInfo& AClass);
  const TKXClassInfo* FindClass(std::string_view AName) const;   // without regard to case; null when absent
  std::vector<const TKXClassInfo*> Classes() const;

private:
  mutable std::mutex FLock;   // guards FClasses; registration at start-up, look-ups from any thread
  std::map<std::string, const TKXClassInfo*, TSkLessText> FClasses;
};

TKXClassRegistry& KXClassRegistry();

template <class T>
bool KXRegisterClass() {
  KXClassRegistry().RegisterClass(T::StaticClassInfo());
  return true;
}

// Colour identifiers (clNone, clBtnFace, clWebAZURE...) for stored descriptions. The control
// base fills it; a value with several names is written with the first one registered.
struct TKXColorName {
  const char* Name;
  int32_t Value;
};

class TKXColorNames {
public:
  void Register(std::string_view AName, int32_t AValue);
  void Register(const TKXColorName* ATable, size_t ACount);
  bool IdentToColor(std::string_view AName, int32_t& VValue) const;   // without regard to case
  bool ColorToIdent(int32_t AValue, std::string& VName) const;

private:
  mutable std::mutex FLock;   // guards both maps; filled at start-up, read while loading
  std::map<std::string, int32_t, TSkLessText> FByName;
  std::map<int32_t, std::string> FByValue;
};

TKXColorNames& KXColorNames();

// Declares StaticClassInfo() and the ClassInfo() override inside a class body.
#define KX_DECLARE_CLASS_INFO                  \
  static const TKXClassInfo& StaticClassInfo(); \
  const TKXClassInfo& ClassInfo() const override { return StaticClassInfo(); }

// A downcast by the class registry for paths every control of every page takes: walking the
// class parents costs a fraction of a dynamic_cast across the controls' interfaces.
template <class T, class TFrom>
T* KXClassCast(TFrom* AObject) {
  return AObject && AObject->ClassInfo().InheritsFrom(T::StaticClassInfo()) ? static_cast<T*>(AObject) : nullptr;
}

// ---- adapters -------------------------------------------------------------------------------
// Getters and setters are member functions or data members (&T::FTag gives both). T is deduced
// from each pointer separately, so a table may name members inherited from a base. For an
// overloaded getter, pick one with static_cast<TKXFont* (T::*)()>(&T::Font).

template <class Sig>
struct TKXBoundMethod;

// The callable stored in an event bound by name: it remembers the name for the writer.
template <class R, class... A>
struct TKXBoundMethod<R(A...)> {
  std::string Name;
  std::function<R(A...)> Call;
  R operator()(A... AArgs) const { return Call(std::forward<A>(AArgs)...); }
};

namespace KXDetail {

[[noreturn]] void RaiseRange(const std::string& AProp, int64_t AValue);

template <class TObj, class M>
decltype(auto) Get(M TObj::*AGet, TKXPersistent& AObj) {
  return std::invoke(AGet, static_cast<TObj&>(AObj));
}

template <class TObj, class M, class V>
void Set(M TObj::*ASet, TKXPersistent& AObj, V&& AValue) {
  if constexpr (std::is_member_function_pointer_v<M TObj::*>)
    std::invoke(ASet, static_cast<TObj&>(AObj), std::forward<V>(AValue));
  else
    static_cast<TObj&>(AObj).*ASet = std::forward<V>(AValue);
}

template <class TObj, class M>
using TResult = std::remove_cvref_t<std::invoke_result_t<M TObj::*, TObj&>>;

template <class V>
bool InRange(int64_t AValue) {
  if constexpr (std::is_unsigned_v<V>)
    return AValue >= 0 && static_cast<uint64_t>(AValue) <= std::numeric_limits<V>::max();
  else
    return AValue >= std::numeric_limits<V>::min() && AValue <= std::numeric_limits<V>::max();
}

template <class X>
auto* PointerOf(X&& AValue) {
  using D = std::remove_cvref_t<X>;
  if constexpr (std::is_pointer_v<D>)
    return AValue;
  else if constexpr (requires { AValue.get(); })
    return AValue.get();
  else
    return &AValue;
}

template <class F>
struct TFunctionSig;
template <class R, class... A>
struct TFunctionSig<std::function<R(A...)>> {
  using Type = R(A...);
};

}  // namespace KXDetail

// How a set type maps to the bit mask; specialise for other set types.
template <class S, class = void>
struct TKXSetTraits;

template <class E>
struct TKXSetTraits<std::set<E>> {
  static uint64_t ToMask(const std::set<E>& AValue) {
    uint64_t M = 0;
    for (E V : AValue) M |= uint64_t(1) << static_cast<int>(V);
    return M;
  }
  static std::set<E> FromMask(uint64_t AMask) {
    std::set<E> S;
    for (int I = 0; I < 64; ++I)
      if (AMask & (uint64_t(1) << I)) S.insert(static_cast<E>(I));
    return S;
  }
};

template <class I>
struct TKXSetTraits<I, std::enable_if_t<std::is_integral_v<I>>> {
  static uint64_t ToMask(I AValue) { return static_cast<uint64_t>(AValue); }
  static I FromMask(uint64_t AMask) { return static_cast<I>(AMask); }
};

template <class E, int N>
struct TKXSetTraits<TKXEnumSet<E, N>> {
  static uint64_t ToMask(const TKXEnumSet<E, N>& AValue) { return AValue.Bits(); }
  static TKXEnumSet<E, N> FromMask(uint64_t AMask) { return TKXEnumSet<E, N>::FromBits(AMask); }
};

template <size_t N>
struct TKXSetTraits<std::bitset<N>> {
  static uint64_t ToMask(const std::bitset<N>& AValue) { return AValue.to_ullong(); }
  static std::bitset<N> FromMask(uint64_t AMask) { return std::bitset<N>(AMask); }
};

template <class TG, class G, class TS, class S>
TKXPropInfo KXIntProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  using V = KXDetail::TResult<TG, G>;
  static_assert(std::is_integral_v<V> && !std::is_same_v<V, bool>, "KXIntProp needs an integer property");
  TKXPropInfo P(AName, TKXPropKind::pkInteger);
  P.GetOrdinal = [AGet](TKXPersistent& O) { return static_cast<int64_t>(KXDetail::Get(AGet, O)); };
  P.SetOrdinal = [ASet, AName](TKXPersistent& O, int64_t X) {
    if (!KXDetail::InRange<V>(X)) KXDetail::RaiseRange(AName, X);
    KXDetail::Set(ASet, O, static_cast<V>(X));
  };
  return P;
}

template <class TG, class G, class TS, class S>
TKXPropInfo KXBoolProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  using V = KXDetail::TResult<TG, G>;
  static_assert(std::is_same_v<V, bool>, "KXBoolProp needs a Boolean property");
  TKXPropInfo P(std::move(AName), TKXPropKind::pkBoolean);
  P.GetOrdinal = [AGet](TKXPersistent& O) -> int64_t { return KXDetail::Get(AGet, O) ? 1 : 0; };
  P.SetOrdinal = [ASet](TKXPersistent& O, int64_t X) { KXDetail::Set(ASet, O, X != 0); };
  return P;
}

template <class TG, class G, class TS, class S>
TKXPropInfo KXStringProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  TKXPropInfo P(std::move(AName), TKXPropKind::pkString);
  P.GetString = [AGet](TKXPersistent& O) { return std::string(KXDetail::Get(AGet, O)); };
  P.SetString = [ASet](TKXPersistent& O, const std::string& X) { KXDetail::Set(ASet, O, X); };
  return P;
}

template <class TG, class G, class TS, class S>
TKXPropInfo KXFloatProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  using V = KXDetail::TResult<TG, G>;
  static_assert(std::is_floating_point_v<V>, "KXFloatProp needs a floating-point property");
  TKXPropInfo P(std::move(AName), TKXPropKind::pkFloat);
  P.GetFloat = [AGet](TKXPersistent& O) { return static_cast<double>(KXDetail::Get(AGet, O)); };
  P.SetFloat = [ASet](TKXPersistent& O, double X) { KXDetail::Set(ASet, O, static_cast<V>(X)); };
  return P;
}

template <class TG, class G, class TS, class S>
TKXPropInfo KXEnumProp(std::string AName, G TG::*AGet, S TS::*ASet, const TKXEnumInfo& AEnum) {
  using V = KXDetail::TResult<TG, G>;
  TKXPropInfo P(AName, TKXPropKind::pkEnum);
  P.Enum = &AEnum;
  P.GetOrdinal = [AGet](TKXPersistent& O) { return static_cast<int64_t>(KXDetail::Get(AGet, O)); };
  P.SetOrdinal = [ASet, AName, E = &AEnum](TKXPersistent& O, int64_t X) {
    if (X < 0 || X >= static_cast<int64_t>(E->Names.size())) KXDetail::RaiseRange(AName, X);
    KXDetail::Set(ASet, O, static_cast<V>(X));
  };
  return P;
}

template <class TG, class G, class TS, class S>
TKXPropInfo KXSetProp(std::string AName, G TG::*AGet, S TS::*ASet, const TKXEnumInfo& AEnum) {
  using V = KXDetail::TResult<TG, G>;
  TKXPropInfo P(std::move(AName), TKXPropKind::pkSet);
  P.Enum = &AEnum;
  P.GetOrdinal = [AGet](TKXPersistent& O) {
    return static_cast<int64_t>(TKXSetTraits<V>::ToMask(KXDetail::Get(AGet, O)));
  };
  P.SetOrdinal = [ASet](TKXPersistent& O, int64_t X) {
    KXDetail::Set(ASet, O, TKXSetTraits<V>::FromMask(static_cast<uint64_t>(X)));
  };
  return P;
}

template <class TG, class G, class TS, class S>
TKXPropInfo KXColorProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  using V = KXDetail::TResult<TG, G>;
  static_assert(sizeof(V) == 4, "KXColorProp needs a 32-bit colour property");
  TKXPropInfo P(std::move(AName), TKXPropKind::pkColor);
  P.GetOrdinal = [AGet](TKXPersistent& O) {
    return static_cast<int64_t>(static_cast<int32_t>(KXDetail::Get(AGet, O)));
  };
  P.SetOrdinal = [ASet](TKXPersistent& O, int64_t X) {
    KXDetail::Set(ASet, O, static_cast<V>(static_cast<int32_t>(X)));
  };
  return P;
}

// A string list reached through a getter giving a reference or pointer (assigned in place)...
template <class TG, class G>
TKXPropInfo KXStringsProp(std::string AName, G TG::*AGet) {
  TKXPropInfo P(std::move(AName), TKXPropKind::pkStrings);
  P.GetStrings = [AGet](TKXPersistent& O) { return *KXDetail::PointerOf(KXDetail::Get(AGet, O)); };
  P.SetStrings = [AGet](TKXPersistent& O, const TSkStringList& X) { *KXDetail::PointerOf(KXDetail::Get(AGet, O)) = X; };
  return P;
}

// ...or through a getter and a setter taking the whole list.
template <class TG, class G, class TS, class S>
TKXPropInfo KXStringsProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  TKXPropInfo P(std::move(AName), TKXPropKind::pkStrings);
  P.GetStrings = [AGet](TKXPersistent& O) { return TSkStringList(*KXDetail::PointerOf(KXDetail::Get(AGet, O))); };
  P.SetStrings = [ASet](TKXPersistent& O, const TSkStringList& X) { KXDetail::Set(ASet, O, X); };
  return P;
}

// A nested persistent: getter gives a pointer, a reference or a smart pointer.
template <class TG, class G>
TKXPropInfo KXObjectProp(std::string AName, G TG::*AGet) {
  TKXPropInfo P(std::move(AName), TKXPropKind::pkObject);
  P.GetObject = [AGet](TKXPersistent& O) -> TKXPersistent* { return KXDetail::PointerOf(KXDetail::Get(AGet, O)); };
  return P;
}

// A reference to a component of some class C (getter gives C*, setter takes C*).
template <class TG, class G, class TS, class S>
TKXPropInfo KXComponentProp(std::string AName, G TG::*AGet, S TS::*ASet) {
  using V = KXDetail::TResult<TG, G>;
  static_assert(std::is_pointer_v<V>, "KXComponentProp needs a pointer property");
  using C = std::remove_cv_t<std::remove_pointer_t<V>>;
  TKXPropInfo P(std::move(AName), TKXPropKind::pkComponent);
  P.GetComponent = [AGet](TKXPersistent& O) -> TKXComponent* { return KXDetail::Get(AGet, O); };
  P.SetComponent = [ASet](TKXPersistent& O, TKXComponent* X) {
    C* Typed = nullptr;
    if (X && !(Typed = dynamic_cast<C*>(X))) return false;
    KXDetail::Set(ASet, O, Typed);
    return true;
  };
  return P;
}

// An event: a std::function data member, or a getter giving a reference to one.
template <class TG, class G>
TKXPropInfo KXEventProp(std::string AName, G TG::*AEvent) {
  using F = std::remove_cvref_t<std::invoke_result_t<G TG::*, TG&>>;
  using Sig = typename KXDetail::TFunctionSig<F>::Type;
  TKXPropInfo P(std::move(AName), TKXPropKind::pkEvent);
  P.EventSignature = typeid(Sig);
  P.BindEvent = [AEvent](TKXPersistent& O, const TKXMethodInfo* AMethod, TKXPersistent& ARoot) {
    F& E = KXDetail::Get(AEvent, O);
    if (!AMethod)
      E = nullptr;
    else
      AMethod->Bind(ARoot, &E);
  };
  P.EventMethodName = [AEvent](TKXPersistent& O) -> std::string {
    F& E = KXDetail::Get(AEvent, O);
    if (auto* B = E.template target<TKXBoundMethod<Sig>>()) return B->Name;
    return {};
  };
  return P;
}

template <class T, class R, class... A>
TKXMethodInfo KXMethod(std::string AName, R (T::*AMethod)(A...)) {
  return TKXMethodInfo{AName, typeid(R(A...)), [AName, AMethod](TKXPersistent& ARoot, void* AEvent) {
                         T* Obj = &static_cast<T&>(ARoot);
                         *static_cast<std::function<R(A...)>*>(AEvent) = TKXBoundMethod<R(A...)>{
                             AName, [Obj, AMethod](A... AArgs) -> R { return (Obj->*AMethod)(std::forward<A>(AArgs)...); }};
                       }};
}

// A published field: a member C* of the root bound to the owned component of that name.
template <class T, class C>
TKXFieldInfo KXField(std::string AName, C* T::*AMember) {
  return TKXFieldInfo{std::move(AName),
                      [AMember](TKXPersistent& ARoot, TKXComponent* X) {
                        C* Typed = nullptr;
                        if (X && !(Typed = dynamic_cast<C*>(X))) return false;
                        static_cast<T&>(ARoot).*AMember = Typed;
                        return true;
                      },
                      [AMember](TKXPersistent& ARoot) -> TKXComponent* { return static_cast<T&>(ARoot).*AMember; }};
}

// Starts a class's table. TParent is the published parent (void for the root of the tree).
// Components constructible from an owner get a factory so descriptions can create them.
template <class T, class TParent>
TKXClassInfo KXClass(std::string AName) {
  const TKXClassInfo* Parent = nullptr;
  if constexpr (!std::is_void_v<TParent>) Parent = &TParent::StaticClassInfo();
  TKXClassInfo::TConstruct Construct = nullptr;
  if constexpr (std::is_base_of_v<TKXComponent, T> && !std::is_abstract_v<T> &&
                std::is_constructible_v<T, TKXComponent*>)
    Construct = [](TKXComponent* AOwner) -> TKXComponent* { return new T(AOwner); };
  return TKXClassInfo(std::move(AName), Parent, Construct);
}
