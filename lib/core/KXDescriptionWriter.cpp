#include "core/KXDescriptionWriter.h"

#include <charconv>
#include <map>
#include <memory>

#include "core/KXComponent.h"
#include "SkStrUtils.h"

namespace {

// Decodes one UTF-8 sequence at AText[I]; a malformed byte is taken as itself.
uint32_t NextCodePoint(const std::string& AText, size_t& I) {
  auto B = [&](size_t K) { return static_cast<unsigned char>(AText[K]); };
  unsigned char C = B(I);
  int Len = C >= 0xF0 ? 4 : C >= 0xE0 ? 3 : C >= 0xC0 ? 2 : 1;
  if (Len > 1 && I + Len <= AText.size() && IsValidUtf8(std::string_view(AText).substr(I, Len))) {
    uint32_t Code = C & (0x7F >> Len);
    for (int K = 1; K < Len; ++K) Code = (Code << 6) | (B(I + K) & 0x3F);
    I += Len;
    return Code;
  }
  ++I;
  return C;
}

// Printable ASCII inside quotes; everything else as #code, so the text survives any editor.
std::string QuoteString(const std::string& AText) {
  if (AText.empty()) return "''";
  std::string Out;
  bool InQuotes = false;
  for (size_t I = 0; I < AText.size();) {
    char C = AText[I];
    if (C >= 0x20 && C <= 0x7E) {
      if (!InQuotes) Out += '\'';
      InQuotes = true;
      Out += C;
      if (C == '\'') Out += '\'';
      ++I;
    } else {
      if (InQuotes) Out += '\'';
      InQuotes = false;
      Out += '#' + IntToStr(NextCodePoint(AText, I));
    }
  }
  if (InQuotes) Out += '\'';
  return Out;
}

std::string FormatFloat(double AValue) {
  char Buf[64];
  auto R = std::to_chars(Buf, Buf + sizeof Buf, AValue);
  return std::string(Buf, R.ptr);
}

class TWriter {
public:
  explicit TWriter(TKXComponent& ARoot) : FRoot(ARoot) {}

  std::string Run() {
    WriteObject(FRoot, 0);
    return std::move(FOut);
  }

private:
  TKXPersistent* DefaultOf(const TKXClassInfo& AClass) {
    auto It = FDefaults.find(&AClass);
    if (It != FDefaults.end()) return It->second.get();
    std::unique_ptr<TKXComponent> Made;
    if (AClass.CanCreate()) {
      try {
        Made.reset(AClass.Construct(nullptr));
      } catch (...) {
        // No defaults to compare with: every value is written.
      }
    }
    return (FDefaults[&AClass] = std::move(Made)).get();
  }

  std::string ReferenceName(TKXComponent* AComponent) const {
    if (AComponent == &FRoot || !AComponent->Owner()) return AComponent->Name();
    if (AComponent->Owner() == &FRoot) return AComponent->Name();
    return AComponent->Owner()->Name() + "." + AComponent->Name();
  }

  void Line(int AIndent, const std::string& AText) { FOut += std::string(AIndent * 2, ' ') + AText + "\n"; }

  void WriteObject(TKXComponent& AComponent, int AIndent) {
    std::string Head = AComponent.Name().empty() ? AComponent.ClassName() : AComponent.Name() + ": " + AComponent.ClassName();
    Line(AIndent, "object " + Head);
    WriteProps(AComponent, DefaultOf(AComponent.ClassInfo()), "", AIndent + 1);
    for (int I = 0; I < FRoot.ComponentCount(); ++I) {
      TKXComponent* Child = FRoot.Components(I);
      TKXComponent* Parent = Child->GetParentComponent();
      if (Parent == &AComponent || (&AComponent == &FRoot && !Parent)) WriteObject(*Child, AIndent + 1);
    }
    Line(AIndent, "end");
  }

  void WriteProps(TKXPersistent& AObject, TKXPersistent* ADefault, const std::string& APrefix, int AIndent) {
    for (const TKXPropInfo* P : AObject.ClassInfo().Properties()) {
      const std::string Name = APrefix + P->Name;
      switch (P->Kind) {
        case TKXPropKind::pkObject: {
          TKXPersistent* Sub = P->GetObject(AObject);
          if (!Sub) break;
          TKXPersistent* SubDefault = ADefault ? P->GetObject(*ADefault) : nullptr;
          if (SubDefault && &SubDefault->ClassInfo() != &Sub->ClassInfo()) SubDefault = nullptr;
          WriteProps(*Sub, SubDefault, Name + ".", AIndent);
          break;
        }
        case TKXPropKind::pkEvent: {
          std::string Method = P->EventMethodName(AObject);
          if (!Method.empty() && !(ADefault && P->EventMethodName(*ADefault) == Method)) Line(AIndent, Name + " = " + Method);
          break;
        }
        case TKXPropKind::pkComponent: {
          TKXComponent* C = P->GetComponent(AObject);
          if (C && !C->Name().empty()) Line(AIndent, Name + " = " + ReferenceName(C));
          break;
        }
        case TKXPropKind::pkStrings: {
          TSkStringList List = P->GetStrings(AObject);
          if (ADefault ? List.Lines() == P->GetStrings(*ADefault).Lines() : List.Empty()) break;
          if (List.Empty()) {
            Line(AIndent, Name + ".Strings = ()");
            break;
          }
          Line(AIndent, Name + ".Strings = (");
          for (int I = 0; I < List.Count(); ++I)
            Line(AIndent + 1, QuoteString(List[I]) + (I + 1 == List.Count() ? ")" : ""));
          break;
        }
        case TKXPropKind::pkString: {
          std::string V = P->GetString(AObject);
          if (ADefault ? V == P->GetString(*ADefault) : V.empty()) break;
          Line(AIndent, Name + " = " + QuoteString(V));
          break;
        }
        case TKXPropKind::pkFloat: {
          double V = P->GetFloat(AObject);
          if (ADefault && V == P->GetFloat(*ADefault)) break;
          Line(AIndent, Name + " = " + FormatFloat(V));
          break;
        }
        default: {
          int64_t V = P->GetOrdinal(AObject);
          if (ADefault && V == P->GetOrdinal(*ADefault)) break;
          Line(AIndent, Name + " = " + FormatOrdinal(*P, V));
          break;
        }
      }
    }
  }

  static std::string FormatOrdinal(const TKXPropInfo& P, int64_t V) {
    switch (P.Kind) {
      case TKXPropKind::pkBoolean: return V ? "True" : "False";
      case TKXPropKind::pkEnum: return P.Enum->NameOf(V);
      case TKXPropKind::pkColor: {
        std::string Ident;
        if (KXColorNames().ColorToIdent(static_cast<int32_t>(V), Ident)) return Ident;
        return IntToStr(V);
      }
      case TKXPropKind::pkSet: {
        std::string Out = "[";
        for (int I = 0; I < 64; ++I)
          if (static_cast<uint64_t>(V) & (uint64_t(1) << I)) {
            if (Out.size() > 1) Out += ", ";
            Out += P.Enum->NameOf(I);
          }
        return Out + "]";
      }
      default: return IntToStr(V);
    }
  }

  TKXComponent& FRoot;
  std::string FOut;
  std::map<const TKXClassInfo*, std::unique_ptr<TKXComponent>> FDefaults;
};

}  // namespace

std::string KXWriteDescription(TKXComponent& ARoot) { return TWriter(ARoot).Run(); }
