#include "content/KXMultipartReader.h"

#include <cstring>

#include "SkStrUtils.h"

namespace {

const char kNoDelimiter[] = "Malformed multipart body: boundary delimiter not found";
const char kBadDelimiterLine[] = "Malformed multipart body: invalid text after a boundary delimiter";
const char kHeaderWithoutEnd[] = "Malformed multipart body: part header block without an end";
const char kHeaderTooLarge[] = "Malformed multipart body: part header larger than ";
const char kTooManyParts[] = "Malformed multipart body: more than ";
const char kTruncated[] = "Malformed multipart body: closing boundary delimiter not found";

constexpr size_t kFlushSize = 65536;   // report data in pieces of this size at most

// Splits at ';' outside double quotes.
std::vector<std::string_view> SplitParams(std::string_view S) {
  std::vector<std::string_view> R;
  bool InQuote = false;
  size_t Start = 0;
  for (size_t I = 0; I < S.size(); ++I) {
    if (S[I] == '"') InQuote = !InQuote;
    else if (S[I] == ';' && !InQuote) {
      R.push_back(S.substr(Start, I - Start));
      Start = I + 1;
    }
  }
  R.push_back(S.substr(Start));
  return R;
}

bool IsQuoted(std::string_view S) { return S.size() >= 2 && S.front() == '"' && S.back() == '"'; }

// Name and value of one "name=value" parameter, both trimmed.
bool SplitParam(std::string_view AParam, std::string& AName, std::string& AValue) {
  const size_t Eq = AParam.find('=');
  if (Eq == std::string_view::npos) return false;
  AName = Trim(AParam.substr(0, Eq));
  AValue = Trim(AParam.substr(Eq + 1));
  return true;
}

}  // namespace

TKXMultipartReader::TKXMultipartReader(std::string_view ABoundary) : FDelimiter("\r\n--" + std::string(ABoundary)) {
  FFailure.assign(FDelimiter.size(), 0);
  for (size_t I = 1, K = 0; I < FDelimiter.size(); ++I) {
    while (K > 0 && FDelimiter[I] != FDelimiter[K]) K = FFailure[K - 1];
    if (FDelimiter[I] == FDelimiter[K]) ++K;
    FFailure[I] = K;
  }
  // The first delimiter may open the body: count its CR LF as seen already.
  FMatched = 2;
}

TKXMultipartResult TKXMultipartReader::Reject(std::string AMessage) {
  FPending.clear();
  FState = TState::Failed;
  FErrorMessage = std::move(AMessage);
  return TKXMultipartResult::Rejected;
}

void TKXMultipartReader::Emit(std::string_view AData) {
  if (FState != TState::Data || AData.empty()) return;   // the preamble is dropped
  FPending.append(AData);
  if (FPending.size() >= kFlushSize) Flush();
}

void TKXMultipartReader::Flush() {
  if (FPending.empty()) return;
  std::string Piece;
  Piece.swap(FPending);
  if (OnPartData) OnPartData(Piece);
}

void TKXMultipartReader::DoPartBegin(const TKXPartHeader& AHeader) {
  if (OnPartBegin) OnPartBegin(AHeader);
}

void TKXMultipartReader::DoPartEnd() {
  Flush();
  if (OnPartEnd) OnPartEnd();
}

size_t TKXMultipartReader::ScanData(std::string_view AChunk, size_t AIndex, bool& AFound) {
  AFound = false;
  const size_t N = AChunk.size();
  size_t I = AIndex;
  while (I < N) {
    if (FMatched == 0) {
      const void* P = std::memchr(AChunk.data() + I, FDelimiter[0], N - I);
      const size_t Next = P ? static_cast<size_t>(static_cast<const char*>(P) - AChunk.data()) : N;
      Emit(AChunk.substr(I, Next - I));
      if (Next == N) return N;
      FMatched = 1;
      I = Next + 1;
    } else {
      const char C = AChunk[I++];
      // On a mismatch, the bytes that fall out of the partial match were data after all.
      while (FMatched > 0 && FDelimiter[FMatched] != C) {
        const size_t Keep = FFailure[FMatched - 1];
        Emit(std::string_view(FDelimiter).substr(0, FMatched - Keep));
        FMatched = Keep;
      }
      if (FDelimiter[FMatched] == C) ++FMatched;
      else Emit(std::string_view(&C, 1));
    }
    if (FMatched == FDelimiter.size()) {
      FMatched = 0;
      AFound = true;
      return I;
    }
  }
  return N;
}

TKXMultipartResult TKXMultipartReader::Feed(std::string_view AChunk) {
  size_t I = 0;
  const size_t N = AChunk.size();
  while (I < N) {
    switch (FState) {
      case TState::Failed: return TKXMultipartResult::Rejected;
      case TState::Epilogue: return TKXMultipartResult::Complete;
      case TState::Preamble:
      case TState::Data: {
        bool Found = false;
        I = ScanData(AChunk, I, Found);
        if (Found) {
          if (FState == TState::Data) DoPartEnd();
          FState = TState::AfterDelimiter;
        }
        break;
      }
      case TState::AfterDelimiter: {
        const char C = AChunk[I++];
        if (C == '-') FState = TState::AfterDash;
        else if (C == ' ' || C == '\t') FState = TState::Padding;
        else if (C == '\r') FState = TState::PaddingLF;
        else return Reject(kBadDelimiterLine);
        break;
      }
      case TState::AfterDash:
        if (AChunk[I++] != '-') return Reject(kBadDelimiterLine);
        FState = TState::Epilogue;
        return TKXMultipartResult::Complete;
      case TState::Padding: {
        const char C = AChunk[I++];
        if (C == '\r') FState = TState::PaddingLF;
        else if (C != ' ' && C != '\t') return Reject(kBadDelimiterLine);
        break;
      }
      case TState::PaddingLF:
        if (AChunk[I++] != '\n') return Reject(kBadDelimiterLine);
        if (++FParts > FMaxParts) return Reject(kTooManyParts + std::to_string(FMaxParts) + " parts");
        // The delimiter line's CR LF starts the block, so an empty block is just "\r\n".
        FHeader = "\r\n";
        FState = TState::Header;
        break;
      case TState::Header: {
        while (I < N) {
          FHeader += AChunk[I++];
          if (FHeader.size() > FMaxPartHeaderSize + 2)
            return Reject(kHeaderTooLarge + std::to_string(FMaxPartHeaderSize) + " bytes");
          if (FHeader.ends_with("\r\n\r\n")) {
            FState = TState::Data;
            const size_t Length = FHeader.size() >= 6 ? FHeader.size() - 6 : 0;
            DoPartBegin(ParsePartHeader(std::string_view(FHeader).substr(2, Length)));
            break;
          }
        }
        break;
      }
    }
  }
  Flush();
  return FState == TState::Failed     ? TKXMultipartResult::Rejected
         : FState == TState::Epilogue ? TKXMultipartResult::Complete
                                      : TKXMultipartResult::NeedMore;
}

TKXMultipartResult TKXMultipartReader::Finish() {
  switch (FState) {
    case TState::Epilogue: return TKXMultipartResult::Complete;
    case TState::Failed: return TKXMultipartResult::Rejected;
    case TState::Preamble: return Reject(kNoDelimiter);
    case TState::Header: return Reject(kHeaderWithoutEnd);
    default: return Reject(kTruncated);
  }
}

std::string TKXMultipartReader::BoundaryFromContentType(std::string_view AContentType) {
  const auto Params = SplitParams(AContentType);
  std::string Name, Value;
  for (size_t I = 1; I < Params.size(); ++I)
    if (SplitParam(Params[I], Name, Value) && SameText(Name, "boundary"))
      return IsQuoted(Value) ? Value.substr(1, Value.size() - 2) : Value;
  return "";
}

TKXPartHeader TKXMultipartReader::ParsePartHeader(std::string_view ABlock) {
  TKXPartHeader H;
  size_t Start = 0;
  while (Start <= ABlock.size()) {
    size_t End = ABlock.find("\r\n", Start);
    if (End == std::string_view::npos) End = ABlock.size();
    const std::string_view Line = ABlock.substr(Start, End - Start);
    Start = End + 2;
    const size_t Colon = Line.find(':');
    if (Colon == std::string_view::npos) continue;
    const std::string Field = Trim(Line.substr(0, Colon));
    const std::string_view Value = Line.substr(Colon + 1);
    if (SameText(Field, "Content-Type")) {
      H.HasContentType = true;
      H.ContentType = std::string(Value);
    } else if (SameText(Field, "Content-Disposition")) {
      const auto Params = SplitParams(Value);
      std::string Name, Val;
      for (size_t I = 1; I < Params.size(); ++I) {
        if (!SplitParam(Params[I], Name, Val)) continue;
        const bool Quoted = IsQuoted(Val);
        const std::string Inner = Quoted ? Val.substr(1, Val.size() - 2) : Val;
        if (SameText(Name, "name")) {
          H.Name = Inner;
        } else if (SameText(Name, "filename")) {
          H.HasFileName = true;
          // Some browsers send the whole client path; keep the name after its folder.
          H.FileName = Quoted ? Inner.substr(Inner.find_last_of("\\:") + 1) : Val;
        } else if (SameText(Name, "filesize") && Quoted) {
          int64_t Size = -1;
          H.FileSize = TryStrToInt64(Inner, Size) ? Size : -1;
        }
      }
    }
  }
  return H;
}
