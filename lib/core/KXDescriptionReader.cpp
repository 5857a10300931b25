#include "core/KXDescriptionReader.h"

#include "core/KXGlobal.h"

#include <charconv>
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <optional>

#include "core/KXComponent.h"
#include "core/KXDescriptionCache.h"
#include "core/KXGlobal.h"
#include "core/KXResources.h"
#include "SkStrUtils.h"

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsHexDigit(char C) { return IsDigit(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }
int HexValue(char C) { return IsDigit(C) ? C - '0' : (C | 0x20) - 'a' + 10; }
bool IsIdentStart(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsIdentChar(char C) { return IsIdentStart(C) || IsDigit(C) || C == '.'; }
bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\f' || C == '\v'; }

constexpr uint32_t kMaxCodePoint = 0x10FFFF;

void AppendUtf8(std::string& S, uint32_t C) {
  if (C < 0x80) {
    S += static_cast<char>(C);
  } else if (C < 0x800) {
    S += static_cast<char>(0xC0 | (C >> 6));
    S += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    S += static_cast<char>(0xE0 | (C >> 12));
    S += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    S += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    S += static_cast<char>(0xF0 | (C >> 18));
    S += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    S += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    S += static_cast<char>(0x80 | (C & 0x3F));
  }
}

std::vector<std::string> SplitPath(std::string_view APath) { return SplitString(APath, '.'); }

// A reference naming another root, as in "KXForm2.KXEdit1", names a form of the current session.
TKXComponent* FindGlobal(std::string_view AName) {
  IKXSessionScope* Session = CurrentSessionScope();
  return Session ? Session->FindSessionComponent(AName) : nullptr;
}

}  // namespace

// One thing the parser did to the root: open an object block, apply a value, close a block.
// A value step keeps the properties its path resolved to, for the classes it met, so that a
// replay onto objects of the same classes looks nothing up by name.
struct TKXDescriptionReader::TStep {
  enum class TKind { Open, Value, End } Kind;
  int Line;   // the line faults of this step are reported at
  std::string Name{}, Class{};   // Open: object name and class; Value: property path in Name
  TValue Value{TValueKind::Integer};
  std::vector<std::string> Parts{};   // Value: the path's parts
  std::vector<std::pair<const TKXClassInfo*, const TKXPropInfo*>> Resolved{};
};

struct TKXDescriptionReader::TScript {
  std::vector<TStep> Steps;
};

TKXDescriptionReader::TKXDescriptionReader(TKXComponent& ARoot) : FRoot(ARoot) {}

void TKXDescriptionReader::StartRecording() { FScript = std::make_shared<TScript>(); }

std::shared_ptr<const TKXDescriptionReader::TScript> TKXDescriptionReader::TakeScript() {
  if (!FError.empty() || FState != TParseState::Done || !FReferences.empty()) FScript.reset();
  return std::move(FScript);
}

void TKXDescriptionReader::Replay(const TScript& AScript) {
  if (!FError.empty()) throw EKXDescriptionError(FError);
  try {
    for (const TStep& S : AScript.Steps) {
      FErrorLine = S.Line;
      try {
        switch (S.Kind) {
          case TStep::TKind::Open:
            FObjName = S.Name;
            FObjClass = S.Class;
            OpenObject();
            break;
          case TStep::TKind::Value:
            FPropName = S.Name;
            FPropLine = S.Line;
            ApplyValue(S.Value, const_cast<TStep*>(&S));
            break;
          case TStep::TKind::End:
            FFrames.pop_back();
            break;
        }
      } catch (const EKXDescriptionError&) {
        throw;
      } catch (const std::exception& E) {
        throw EKXDescriptionError("Line " + IntToStr(FErrorLine) + ": " + E.what());
      }
    }
    FState = TParseState::Done;
  } catch (const std::exception& E) {
    FError = E.what();
    throw;
  }
  try {
    ResolveReferences();
  } catch (const EKXDescriptionError& E) {
    FError = E.what();
    throw;
  } catch (const std::exception& E) {
    FError = "Line " + IntToStr(FErrorLine) + ": " + E.what();
    throw EKXDescriptionError(FError);
  }
}

void TKXDescriptionReader::Fail(const std::string& AMessage) const {
  throw EKXDescriptionError("Line " + IntToStr(FErrorLine) + ": " + AMessage);
}

void TKXDescriptionReader::Feed(std::string_view AChunk) {
  if (!FError.empty()) throw EKXDescriptionError(FError);
  try {
    size_t I = 0;
    while (I < AChunk.size())
      if (LexChar(AChunk[I])) ++I;
  } catch (const std::exception& E) {
    FError = E.what();
    throw;
  }
}

void TKXDescriptionReader::Finish() {
  if (!FError.empty()) throw EKXDescriptionError(FError);
  try {
    FlushToken();
    FErrorLine = FLine;
    if (FState == TParseState::AfterString) {
      ApplyPendingString();
      FState = TParseState::Body;
    }
    if (FState != TParseState::Done) Fail("Unexpected end of description");
    ResolveReferences();
  } catch (const EKXDescriptionError& E) {
    FError = E.what();
    throw;
  } catch (const std::exception& E) {
    FError = "Line " + IntToStr(FErrorLine) + ": " + E.what();
    throw EKXDescriptionError(FError);
  }
}

void TKXDescriptionReader::ResolveReferences() {
  for (const TReference& R : FReferences) {
    FErrorLine = R.Line;
    std::vector<std::string> Parts = SplitPath(R.Name);
    TKXComponent* Found = FRoot.FindComponent(Parts[0]);
    if (!Found && SameText(FRoot.Name(), Parts[0])) Found = &FRoot;
    if (!Found) Found = FindGlobal(Parts[0]);
    for (size_t I = 1; Found && I < Parts.size(); ++I) Found = Found->FindComponent(Parts[I]);
    if (!Found) Fail("Component " + R.Name + " not found");
    if (!R.Prop->SetComponent(*R.Object, Found)) Fail(R.Name + " cannot be assigned to " + R.Prop->Name);
  }
  FReferences.clear();
}

// ---- lexer ----------------------------------------------------------------------------------

void TKXDescriptionReader::CheckLength(size_t ALength) {
  if (ALength > FMaxValueLength) {
    FErrorLine = FTokenLine;
    Fail("Value longer than " + IntToStr(static_cast<int64_t>(FMaxValueLength)) + " bytes");
  }
}

void TKXDescriptionReader::AppendText(char C) {
  if (FPendingHigh) {
    FErrorLine = FLine;
    Fail("Invalid character code");
  }
  FText += C;
  CheckLength(FText.size());
}

void TKXDescriptionReader::EndCharCode() {
  FErrorLine = FLine;
  if (FCodeDigits == 0 || FCode > kMaxCodePoint) Fail("Invalid character code");
  if (FCode >= 0xD800 && FCode <= 0xDBFF) {
    if (FPendingHigh) Fail("Invalid character code");
    FPendingHigh = FCode;
    return;
  }
  uint32_t Code = FCode;
  if (FCode >= 0xDC00 && FCode <= 0xDFFF) {
    if (!FPendingHigh) Fail("Invalid character code");
    Code = 0x10000 + ((FPendingHigh - 0xD800) << 10) + (FCode - 0xDC00);
    FPendingHigh = 0;
  } else if (FPendingHigh) {
    Fail("Invalid character code");
  }
  AppendUtf8(FText, Code);
  CheckLength(FText.size());
}

bool TKXDescriptionReader::LexChar(char C) {
  switch (FLexState) {
    case TLexState::Idle:
      if (C == '\n') {
        ++FLine;
        return true;
      }
      if (IsBlank(C)) return true;
      FTokenLine = FLine;
      FText.clear();
      if (IsIdentStart(C)) {
        FText += C;
        FLexState = TLexState::Ident;
      } else if (IsDigit(C) || C == '-') {
        FText += C;
        FLexState = TLexState::Number;
      } else if (C == '$') {
        FLexState = TLexState::HexNumber;
      } else if (C == '\'') {
        FLexState = TLexState::Quoted;
      } else if (C == '#') {
        FLexState = TLexState::Hash;
      } else if (C != 0 && std::strchr("=:[](),+<>{}", C)) {
        EmitSymbol(C);
      } else {
        FErrorLine = FLine;
        Fail("Invalid character #" + IntToStr(static_cast<unsigned char>(C)));
      }
      return true;
    case TLexState::Ident:
      if (IsIdentChar(C)) {
        FText += C;
        CheckLength(FText.size());
        return true;
      }
      EmitIdent();
      return false;
    case TLexState::Number: {
      char Last = FText.back();
      if (IsDigit(C) || C == '.' || C == 'e' || C == 'E' || ((C == '+' || C == '-') && (Last == 'e' || Last == 'E'))) {
        FText += C;
        CheckLength(FText.size());
        return true;
      }
      EmitNumber(false);
      return false;
    }
    case TLexState::HexNumber:
      if (IsHexDigit(C)) {
        FText += C;
        CheckLength(FText.size());
        return true;
      }
      EmitNumber(true);
      return false;
    case TLexState::Quoted:
      if (C == '\'') {
        FLexState = TLexState::QuoteSeen;
      } else if (C == '\n' || C == '\r') {
        FErrorLine = FLine;
        Fail("Unterminated string");
      } else {
        AppendText(C);
      }
      return true;
    case TLexState::QuoteSeen:
      if (C == '\'') {
        AppendText('\'');
        FLexState = TLexState::Quoted;
        return true;
      }
      if (C == '#') {
        FLexState = TLexState::Hash;
        return true;
      }
      EmitString();
      return false;
    case TLexState::Hash:
      FCode = 0;
      FCodeDigits = 0;
      if (C == '$') {
        FLexState = TLexState::HashHex;
        return true;
      }
      if (IsDigit(C)) {
        FLexState = TLexState::HashDecimal;
        return false;
      }
      FErrorLine = FLine;
      Fail("Invalid character code");
    case TLexState::HashDecimal:
    case TLexState::HashHex: {
      bool Hex = FLexState == TLexState::HashHex;
      if (Hex ? IsHexDigit(C) : IsDigit(C)) {
        FCode = FCode * (Hex ? 16 : 10) + static_cast<uint32_t>(HexValue(C));
        ++FCodeDigits;
        if (FCode > kMaxCodePoint) {
          FErrorLine = FLine;
          Fail("Invalid character code");
        }
        return true;
      }
      EndCharCode();
      if (C == '\'') {
        FLexState = TLexState::Quoted;
        return true;
      }
      if (C == '#') {
        FLexState = TLexState::Hash;
        return true;
      }
      EmitString();
      return false;
    }
  }
  return true;
}

void TKXDescriptionReader::FlushToken() {
  switch (FLexState) {
    case TLexState::Idle: break;
    case TLexState::Ident: EmitIdent(); break;
    case TLexState::Number: EmitNumber(false); break;
    case TLexState::HexNumber: EmitNumber(true); break;
    case TLexState::QuoteSeen: EmitString(); break;
    case TLexState::HashDecimal:
    case TLexState::HashHex:
      EndCharCode();
      EmitString();
      break;
    case TLexState::Quoted:
      FErrorLine = FTokenLine;
      Fail("Unterminated string");
    case TLexState::Hash:
      FErrorLine = FLine;
      Fail("Invalid character code");
  }
}

void TKXDescriptionReader::EmitIdent() {
  FLexState = TLexState::Idle;
  Dispatch(TToken{TTokenKind::Ident, std::move(FText)});
}

void TKXDescriptionReader::EmitNumber(bool AHex) {
  FLexState = TLexState::Idle;
  FErrorLine = FTokenLine;
  TToken T{TTokenKind::Integer, FText};
  const char* B = FText.data();
  const char* E = B + FText.size();
  if (AHex) {
    uint64_t U = 0;
    auto R = std::from_chars(B, E, U, 16);
    if (FText.empty() || R.ec != std::errc() || R.ptr != E) Fail("Invalid number");
    T.Int = static_cast<int64_t>(U);
  } else if (FText.find_first_of(".eE") != std::string::npos) {
    T.Kind = TTokenKind::Float;
    auto R = std::from_chars(B, E, T.Float);
    if (R.ec != std::errc() || R.ptr != E) Fail("Invalid number");
  } else {
    auto R = std::from_chars(B, E, T.Int);
    if (R.ec != std::errc() || R.ptr != E) Fail("Invalid number");
  }
  Dispatch(T);
}

void TKXDescriptionReader::EmitString() {
  FLexState = TLexState::Idle;
  FErrorLine = FTokenLine;
  if (FPendingHigh) Fail("Invalid character code");
  if (!IsValidUtf8(FText)) Fail("Invalid UTF-8 text");
  Dispatch(TToken{TTokenKind::String, std::move(FText)});
}

void TKXDescriptionReader::EmitSymbol(char C) {
  TToken T{TTokenKind::Symbol, std::string(1, C)};
  T.Symbol = C;
  Dispatch(T);
}

// ---- parser ---------------------------------------------------------------------------------

void TKXDescriptionReader::Dispatch(const TToken& AToken) {
  FErrorLine = FTokenLine;
  try {
    Parse(AToken);
  } catch (const EKXDescriptionError&) {
    throw;
  } catch (const std::exception& E) {
    // Setters and constructors raise plain messages; say where they came from.
    throw EKXDescriptionError("Line " + IntToStr(FErrorLine) + ": " + E.what());
  }
}

void TKXDescriptionReader::Parse(const TToken& T) {
  const bool IsIdent = T.Kind == TTokenKind::Ident;
  auto IsSym = [&](char C) { return T.Kind == TTokenKind::Symbol && T.Symbol == C; };
  auto IsKeyword = [&](const char* K) { return IsIdent && SameText(T.Text, K); };

  switch (FState) {
    case TParseState::ExpectRoot:
      if (!IsKeyword("object") && !IsKeyword("inherited") && !IsKeyword("inline")) Fail("'object' expected");
      FKeyword = T.Text;
      FState = TParseState::ObjectName;
      return;
    case TParseState::ObjectName:
      if (!IsIdent) Fail("Identifier expected");
      FObjName = T.Text;
      FState = TParseState::AfterObjectName;
      return;
    case TParseState::AfterObjectName:
      if (IsSym(':')) {
        FState = TParseState::ObjectClass;
        return;
      }
      // "object TClass": an unnamed object; this token already belongs to its body.
      FObjClass = FObjName;
      FObjName.clear();
      OpenObject();
      Parse(T);
      return;
    case TParseState::ObjectClass:
      if (!IsIdent) Fail("Identifier expected");
      FObjClass = T.Text;
      OpenObject();
      return;
    case TParseState::Body:
      if (!IsIdent) Fail("Identifier expected");
      if (IsKeyword("end")) {
        if (FScript) FScript->Steps.push_back(TStep{TStep::TKind::End, FErrorLine, {}, {}});
        FFrames.pop_back();
        FState = FFrames.empty() ? TParseState::Done : TParseState::Body;
      } else if (IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline")) {
        FKeyword = T.Text;
        FState = TParseState::ObjectName;
      } else {
        FPropName = T.Text;
        FPropLine = FTokenLine;
        FState = TParseState::PropEquals;
      }
      return;
    case TParseState::PropEquals:
      if (!IsSym('=')) Fail("'=' expected");
      FState = TParseState::Value;
      return;
    case TParseState::Value:
      switch (T.Kind) {
        case TTokenKind::String:
          FStr = T.Text;
          FState = TParseState::AfterString;
          return;
        case TTokenKind::Integer: ApplyValue(TValue{TValueKind::Integer, T.Int}); break;
        case TTokenKind::Float: ApplyValue(TValue{TValueKind::Float, 0, T.Float}); break;
        case TTokenKind::Ident: ApplyValue(TValue{TValueKind::Ident, 0, 0, T.Text}); break;
        case TTokenKind::Symbol:
          FItems.clear();
          FItemsLength = 0;
          if (T.Symbol == '[') {
            FState = TParseState::SetItem;
            return;
          }
          if (T.Symbol == '(') {
            FState = TParseState::ListItem;
            return;
          }
          Fail("Invalid value for property " + FPropName);
      }
      FState = TParseState::Body;
      return;
    case TParseState::AfterString:
      if (IsSym('+')) {
        FState = TParseState::StringConcat;
        return;
      }
      ApplyPendingString();
      FState = TParseState::Body;
      Parse(T);
      return;
    case TParseState::StringConcat:
    case TParseState::ListConcat:
      if (T.Kind != TTokenKind::String) Fail("String expected");
      FStr += T.Text;
      CheckLength(FStr.size() + FItemsLength);
      FState = FState == TParseState::StringConcat ? TParseState::AfterString : TParseState::ListAfterString;
      return;
    case TParseState::SetItem:
      if (IsSym(']') && FItems.empty()) {
        ApplyValue(TValue{TValueKind::Set});
        FState = TParseState::Body;
        return;
      }
      if (!IsIdent) Fail("Identifier expected");
      FItems.push_back(T.Text);
      FState = TParseState::SetNext;
      return;
    case TParseState::SetNext:
      if (IsSym(',')) {
        FState = TParseState::SetItem;
        return;
      }
      if (!IsSym(']')) Fail("']' expected");
      {
        TValue V{TValueKind::Set};
        V.Items = std::move(FItems);
        ApplyValue(V);
      }
      FState = TParseState::Body;
      return;
    case TParseState::ListItem:
    case TParseState::ListAfterString:
      if (IsSym(')')) {
        if (FState == TParseState::ListAfterString) FItems.push_back(std::move(FStr));
        TValue V{TValueKind::List};
        V.Items = std::move(FItems);
        ApplyValue(V);
        FState = TParseState::Body;
        return;
      }
      if (FState == TParseState::ListAfterString && IsSym('+')) {
        FState = TParseState::ListConcat;
        return;
      }
      if (T.Kind != TTokenKind::String) Fail(FState == TParseState::ListItem ? "String expected" : "')' expected");
      if (FState == TParseState::ListAfterString) {
        FItemsLength += FStr.size();
        FItems.push_back(std::move(FStr));
      }
      FStr = T.Text;
      CheckLength(FStr.size() + FItemsLength);
      FState = TParseState::ListAfterString;
      return;
    case TParseState::Done:
      Fail("Unexpected text after the end of the description");
  }
}

void TKXDescriptionReader::ApplyPendingString() {
  TValue V{TValueKind::String};
  V.Text = std::move(FStr);
  ApplyValue(V);
}

void TKXDescriptionReader::OpenObject() {
  if (FScript)
    FScript->Steps.push_back(TStep{TStep::TKind::Open, FErrorLine, FObjName, FObjClass, TValue{TValueKind::Integer}});
  if (FFrames.size() >= FMaxDepth)
    Fail("Objects nested deeper than " + IntToStr(static_cast<int64_t>(FMaxDepth)) + " levels");
  TKXComponent* C = nullptr;
  if (FFrames.empty()) {
    if (!FRoot.ClassInfo().InheritsFrom(FObjClass))
      Fail("A " + FObjClass + " description cannot be applied to a " + FRoot.ClassName());
    C = &FRoot;
    if (!FObjName.empty() && !SameText(FRoot.Name(), FObjName)) FRoot.SetName(FreeRootName());
  } else {
    const TKXClassInfo* Class = KXClassRegistry().FindClass(FObjClass);
    if (!Class) Fail("Class " + FObjClass + " not found");
    C = FRoot.FindComponent(FObjName);
    if (C) {
      // Made by the root's constructor or an ancestor's description: read into it.
      if (!C->ClassInfo().InheritsFrom(*Class)) Fail("A component named " + FObjName + " already exists.");
    } else {
      if (!Class->CanCreate()) Fail("Class " + FObjClass + " cannot be created.");
      C = Class->Create(&FRoot);
      try {
        C->SetName(FObjName);
      } catch (...) {
        delete C;
        throw;
      }
    }
    C->SetParentComponent(FFrames.back());
  }
  C->BeginLoading();
  bool Seen = false;
  for (TKXComponent* L : FLoaded) Seen = Seen || L == C;
  if (!Seen) FLoaded.push_back(C);
  FFrames.push_back(C);
  FState = TParseState::Body;
}

// A second instance under the same owner gets Name_1, Name_2...: the first of Name, Name_1...
// that no other component of the owner holds, found in one pass over the owner's components.
std::string TKXDescriptionReader::FreeRootName() const {
  const TKXComponent* Owner = FRoot.Owner();
  if (!Owner) return FObjName;
  const size_t Count = static_cast<size_t>(Owner->ComponentCount());
  std::vector<bool> Taken(Count + 1, false);   // Count others cannot hold Count + 1 suffixes
  const std::string_view Base = FObjName;
  for (size_t I = 0; I < Count; ++I) {
    const TKXComponent* C = Owner->Components(static_cast<int>(I));
    if (C == &FRoot) continue;
    const std::string_view N = C->Name();
    if (N.size() < Base.size() || !SameText(N.substr(0, Base.size()), Base)) continue;
    if (N.size() == Base.size()) {
      Taken[0] = true;
      continue;
    }
    // "_" and the suffix as IntToStr writes it: digits without a leading zero.
    const std::string_view Suffix = N.substr(Base.size() + 1);
    if (N[Base.size()] != '_' || Suffix.empty() || Suffix[0] == '0' || Suffix.size() > 9) continue;
    size_t Value = 0;
    bool Digits = true;
    for (char D : Suffix) {
      Digits = Digits && IsDigit(D);
      Value = Value * 10 + static_cast<size_t>(D - '0');
    }
    if (Digits && Value < Taken.size()) Taken[Value] = true;
  }
  size_t Free = 0;
  while (Free < Taken.size() && Taken[Free]) ++Free;
  return Free == 0 ? FObjName : FObjName + "_" + IntToStr(static_cast<int64_t>(Free));
}

void TKXDescriptionReader::ApplyValue(const TValue& V, TStep* AStep) {
  FErrorLine = FPropLine;
  TStep* Step = AStep;
  if (!Step && FScript) {
    FScript->Steps.push_back(TStep{TStep::TKind::Value, FPropLine, FPropName, {}, V, SplitPath(FPropName)});
    Step = &FScript->Steps.back();
  }
  std::vector<std::string> OwnParts;
  const std::vector<std::string>& Parts = Step ? Step->Parts : (OwnParts = SplitPath(FPropName));
  // Resolve the dotted path through nested persistents; "List.Strings" names the list itself.
  // A step remembers what each part resolved to for the class it was looked up in.
  TKXPersistent* Object = FFrames.back();
  const TKXPropInfo* Prop = nullptr;
  for (size_t I = 0; I < Parts.size(); ++I) {
    const TKXClassInfo* Class = &Object->ClassInfo();
    if (Step && I < Step->Resolved.size() && Step->Resolved[I].first == Class) {
      Prop = Step->Resolved[I].second;
    } else {
      Prop = Class->FindProperty(Parts[I]);
      if (Step && Prop && !Parts[I].empty()) {
        Step->Resolved.resize(I);
        Step->Resolved.emplace_back(Class, Prop);
      }
    }
    if (!Prop || Parts[I].empty()) Fail("Property " + FPropName + " does not exist");
    if (I + 1 == Parts.size()) break;
    if (Prop->Kind == TKXPropKind::pkStrings && I + 2 == Parts.size() && SameText(Parts[I + 1], "Strings")) break;
    if (Prop->Kind != TKXPropKind::pkObject || !(Object = Prop->GetObject(*Object)))
      Fail("Property " + FPropName + " does not exist");
  }
  const auto Invalid = [&] { return "Invalid value for property " + FPropName; };
  switch (Prop->Kind) {
    case TKXPropKind::pkInteger:
      if (V.Kind != TValueKind::Integer) Fail(Invalid());
      Prop->SetOrdinal(*Object, V.Int);
      return;
    case TKXPropKind::pkBoolean:
      if (V.Kind != TValueKind::Ident || (!SameText(V.Text, "True") && !SameText(V.Text, "False"))) Fail(Invalid());
      Prop->SetOrdinal(*Object, SameText(V.Text, "True") ? 1 : 0);
      return;
    case TKXPropKind::pkString:
      if (V.Kind != TValueKind::String) Fail(Invalid());
      Prop->SetString(*Object, V.Text);
      return;
    case TKXPropKind::pkFloat:
      if (V.Kind == TValueKind::Integer)
        Prop->SetFloat(*Object, static_cast<double>(V.Int));
      else if (V.Kind == TValueKind::Float)
        Prop->SetFloat(*Object, V.Float);
      else
        Fail(Invalid());
      return;
    case TKXPropKind::pkEnum: {
      if (V.Kind != TValueKind::Ident) Fail(Invalid());
      int Ord = Prop->Enum->ValueOf(V.Text);
      if (Ord < 0) Fail(V.Text + " is not a valid " + Prop->Enum->TypeName + " value");
      Prop->SetOrdinal(*Object, Ord);
      return;
    }
    case TKXPropKind::pkSet: {
      if (V.Kind != TValueKind::Set) Fail(Invalid());
      uint64_t Mask = 0;
      for (const std::string& Item : V.Items) {
        int Ord = Prop->Enum->ValueOf(Item);
        if (Ord < 0 || Ord >= 64) Fail(Item + " is not a valid " + Prop->Enum->TypeName + " value");
        Mask |= uint64_t(1) << Ord;
      }
      Prop->SetOrdinal(*Object, static_cast<int64_t>(Mask));
      return;
    }
    case TKXPropKind::pkColor: {
      int32_t Color = 0;
      if (V.Kind == TValueKind::Ident) {
        if (!KXColorNames().IdentToColor(V.Text, Color)) Fail(V.Text + " is not a valid colour");
      } else if (V.Kind == TValueKind::Integer && V.Int >= INT32_MIN && V.Int <= static_cast<int64_t>(UINT32_MAX)) {
        Color = static_cast<int32_t>(static_cast<uint32_t>(V.Int));
      } else {
        Fail(Invalid());
      }
      Prop->SetOrdinal(*Object, Color);
      return;
    }
    case TKXPropKind::pkStrings: {
      if (V.Kind != TValueKind::List) Fail(Invalid());
      TSkStringList List;
      for (const std::string& Item : V.Items) List.Add(Item);
      Prop->SetStrings(*Object, List);
      return;
    }
    case TKXPropKind::pkComponent:
      if (V.Kind != TValueKind::Ident) Fail(Invalid());
      if (SameText(V.Text, "nil")) {
        Prop->SetComponent(*Object, nullptr);
        return;
      }
      FReferences.push_back(TReference{Object, Prop, V.Text, FPropLine});   // may name a later block
      return;
    case TKXPropKind::pkEvent: {
      if (V.Kind != TValueKind::Ident) Fail(Invalid());
      if (SameText(V.Text, "nil")) {
        Prop->BindEvent(*Object, nullptr, FRoot);
        return;
      }
      const TKXMethodInfo* Method = FRoot.ClassInfo().FindMethod(V.Text);
      if (!Method) Fail("Method " + V.Text + " not found in " + FRoot.ClassName());
      if (Method->Signature != Prop->EventSignature)
        Fail("Method " + V.Text + " does not match the signature of " + Prop->Name);
      Prop->BindEvent(*Object, Method, FRoot);
      return;
    }
    case TKXPropKind::pkObject:
      Fail(Invalid());
  }
}

// ---- entry points ---------------------------------------------------------------------------

namespace {

void CallLoaded(const std::vector<TKXComponent*>& AComponents) {
  for (TKXComponent* C : AComponents) C->Loaded();
}

}  // namespace

void KXReadComponentText(TKXComponent& AInstance, std::string_view AText) {
  std::lock_guard<std::recursive_mutex> Guard(KXStreamLoadingLock());
  TKXDescriptionReader Reader(AInstance);
  Reader.Feed(AText);
  Reader.Finish();
  CallLoaded(Reader.LoadedComponents());
}


void KXReadComponentResource(TKXComponent& AInstance) {
  std::lock_guard<std::recursive_mutex> Guard(KXStreamLoadingLock());
  std::vector<const TKXClassInfo*> Chain;
  for (const TKXClassInfo* C = &AInstance.ClassInfo(); C; C = C->Parent()) Chain.insert(Chain.begin(), C);
  std::vector<TKXComponent*> Loaded;
  bool Found = false;
  for (const TKXClassInfo* C : Chain) {
    std::optional<std::string_view> Text = KXFindResource(C->Name());
    if (!Text) continue;
    Found = true;
    TKXDescriptionReader Reader(AInstance);
    static TKXDescriptionCache Cache;   // guarded by the stream-loading lock held here
    Cache.Read(Reader, *Text);
    for (TKXComponent* L : Reader.LoadedComponents())
      if (std::find(Loaded.begin(), Loaded.end(), L) == Loaded.end()) Loaded.push_back(L);
  }
  if (!Found) throw EKXResNotFound(AInstance.ClassName() + " not found.");
  CallLoaded(Loaded);
}

std::recursive_mutex& KXStreamLoadingLock() {
  static std::recursive_mutex Lock;
  return Lock;
}

