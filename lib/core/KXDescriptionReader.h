#pragma once
// Reads stored descriptions, the text form of a root object's published values:
//
//   object KXForm1: TKXForm1
//     Width = 491
//     Title = 'Za'#322'aduj'
//     Font.Style = [fsBold]
//     HTMLHeaders.Strings = (
//       'a=b')
//     OnCreate = KXAppFormCreate
//     object KXButton3: TKXButton
//       Caption = 'OK'
//     end
//   end
//
// Values are applied over the constructor's defaults as the text arrives; nested blocks create
// components owned by the root and parented (SetParentComponent) by the enclosing block.
// Component references are resolved, and Loaded() called, when the text is finished.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/KXException.h"

class TKXComponent;
class TKXPersistent;
struct TKXPropInfo;

// A description that cannot be read; the message starts with "Line n: ".
class EKXDescriptionError : public EKXException {
public:
  using EKXException::EKXException;
};

// A class without a stored description: "%s not found." with the class name.
class EKXResNotFound : public EKXException {
public:
  using EKXException::EKXException;
};

class TKXDescriptionReader {
public:
  explicit TKXDescriptionReader(TKXComponent& ARoot);

  size_t MaxDepth() const { return FMaxDepth; }
  void SetMaxDepth(size_t AValue) { FMaxDepth = AValue; }
  size_t MaxValueLength() const { return FMaxValueLength; }
  void SetMaxValueLength(size_t AValue) { FMaxValueLength = AValue; }

  // Any chunk size; raises EKXDescriptionError at the first fault (and on every call after it).
  void Feed(std::string_view AChunk);
  // End of text: checks the description is complete and resolves component references.
  // Loaded() is left to the caller (see LoadedComponents).
  void Finish();
  // The root and every component the text created or reused, in reading order.
  const std::vector<TKXComponent*>& LoadedComponents() const { return FLoaded; }

  // What a finished read did, step by step, so that the same text can be applied to another
  // root without lexing and parsing it again: the steps name objects and properties, never the
  // components of one root. Recorded when StartRecording() was called before the first Feed().
  struct TScript;
  void StartRecording();
  // The recorded steps of a read that finished without a fault; empty otherwise.
  std::shared_ptr<const TScript> TakeScript();
  // Applies ASteps as Feed() of the recorded text followed by Finish() would, with the same
  // faults at the same lines.
  void Replay(const TScript& AScript);

private:
  enum class TLexState { Idle, Ident, Number, HexNumber, Quoted, QuoteSeen, Hash, HashDecimal, HashHex };
  enum class TParseState {
    ExpectRoot, ObjectName, AfterObjectName, ObjectClass, Body, PropEquals, Value,
    AfterString, StringConcat, SetItem, SetNext, ListItem, ListAfterString, ListConcat, Done
  };
  enum class TTokenKind { Ident, Integer, Float, String, Symbol };
  struct TToken {
    TTokenKind Kind;
    std::string Text;
    int64_t Int = 0;
    double Float = 0;
    char Symbol = 0;
  };
  enum class TValueKind { Integer, Float, Ident, String, Set, List };
  struct TValue {
    TValueKind Kind;
    int64_t Int = 0;
    double Float = 0;
    std::string Text{};
    std::vector<std::string> Items{};
  };
  struct TStep;
  struct TReference {
    TKXPersistent* Object;
    const TKXPropInfo* Prop;
    std::string Name;
    int Line;
  };

  bool LexChar(char C);   // false: C must be seen again in the new state
  void FlushToken();
  void AppendText(char C);
  void EndCharCode();
  void EmitIdent();
  void EmitNumber(bool AHex);
  void EmitString();
  void EmitSymbol(char C);
  void Dispatch(const TToken& AToken);
  void Parse(const TToken& AToken);
  void OpenObject();
  std::string FreeRootName() const;
  void ApplyValue(const TValue& AValue, TStep* AStep = nullptr);
  void ResolveReferences();
  void ApplyPendingString();
  void CheckLength(size_t ALength);
  [[noreturn]] void Fail(const std::string& AMessage) const;

  TKXComponent& FRoot;
  size_t FMaxDepth = 32;
  size_t FMaxValueLength = 1024 * 1024;

  TLexState FLexState = TLexState::Idle;
  int FLine = 1;
  int FTokenLine = 1;
  int FErrorLine = 1;
  std::string FText;
  uint32_t FCode = 0;
  int FCodeDigits = 0;
  uint32_t FPendingHigh = 0;   // first half of a UTF-16 surrogate pair written as two codes

  TParseState FState = TParseState::ExpectRoot;
  std::string FKeyword, FObjName, FObjClass;
  std::string FPropName;
  int FPropLine = 1;
  std::string FStr;
  std::vector<std::string> FItems;
  size_t FItemsLength = 0;
  std::vector<TKXComponent*> FFrames;
  std::vector<TKXComponent*> FLoaded;
  std::vector<TReference> FReferences;
  std::string FError;   // set after the first failure
  std::shared_ptr<TScript> FScript;   // being recorded
};

// Applies one description text to AInstance and calls Loaded() on everything it loaded.
void KXReadComponentText(TKXComponent& AInstance, std::string_view AText);
// Applies the stored descriptions of AInstance's class: the embedded resources named after the
// class and its ancestors, ancestors first. None at all raises EKXResNotFound "%s not found.".
// Holds the stream-loading lock.
void KXReadComponentResource(TKXComponent& AInstance);

// The process-wide stream-loading lock: held while a description is applied, so that two
// sessions creating forms at once load them one after the other. Recursive because loading a
// form may create components that load their own descriptions. Not held while a request runs.
std::recursive_mutex& KXStreamLoadingLock();


