#include "SkHTTPRequestParser.h"

namespace {

const char kErrorParsingCommand[] = "Error in parsing command.";
const char kMaxLineLength[] = "Max line length exceeded.";
const char kMaxHeaderLines[] = "Maximum number of line allowed exceeded";
const char kBadRequest[] = "Bad Request";
const char kHeaderTooLarge[] = "Request Header Fields Too Large";

// Token characters of a method name.
bool IsTokenChar(unsigned char C) {
  if (C >= '0' && C <= '9') return true;
  if ((C | 0x20) >= 'a' && (C | 0x20) <= 'z') return true;
  switch (C) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~':
      return true;
    default:
      return false;
  }
}

bool ParseDigits(std::string_view S, int& AValue) {
  if (S.empty() || S.size() > 3) return false;
  AValue = 0;
  for (char C : S) {
    if (C < '0' || C > '9') return false;
    AValue = AValue * 10 + (C - '0');
  }
  return true;
}

}  // namespace

void TSkHTTPRequestParser::Reset() {
  const int L = FMaxLineLength, H = FMaxHeaderLines;
  const int64_t S = FMaxHeaderSize;
  *this = TSkHTTPRequestParser();
  FMaxLineLength = L;
  FMaxHeaderLines = H;
  FMaxHeaderSize = S;
}

int TSkHTTPRequestParser::RejectStatus() const {
  switch (FReject) {
    case TSkRequestReject::BadRequest: return 400;
    case TSkRequestReject::HeaderTooLarge: return 431;
    default: return 0;
  }
}

const char* TSkHTTPRequestParser::RejectMessage() const {
  switch (FReject) {
    case TSkRequestReject::ErrorParsingCommand: return kErrorParsingCommand;
    case TSkRequestReject::MaxLineLength: return kMaxLineLength;
    case TSkRequestReject::MaxHeaderLines: return kMaxHeaderLines;
    case TSkRequestReject::BadRequest: return kBadRequest;
    case TSkRequestReject::HeaderTooLarge: return kHeaderTooLarge;
    default: return "";
  }
}

TSkFeedResult TSkHTTPRequestParser::Fail(TSkRequestReject AReject) {
  FReject = AReject;
  FState = TState::Rejected;
  return TSkFeedResult::Rejected;
}

TSkFeedResult TSkHTTPRequestParser::Feed(std::string_view AChunk) {
  FConsumed = 0;
  if (FState == TState::Done) return TSkFeedResult::Complete;
  if (FState == TState::Rejected) return TSkFeedResult::Rejected;
  const size_t MaxLine = static_cast<size_t>(FMaxLineLength);
  while (FConsumed < AChunk.size()) {
    const char C = AChunk[FConsumed++];
    if (++FTotal > FMaxHeaderSize) return Fail(TSkRequestReject::HeaderTooLarge);
    if (C != '\n') {
      FLine += C;
      // one byte of slack for the CR that may precede the line feed
      if (FLine.size() > MaxLine && !(FLine.size() == MaxLine + 1 && C == '\r'))
        return Fail(TSkRequestReject::MaxLineLength);
      continue;
    }
    if (!FLine.empty() && FLine.back() == '\r') FLine.pop_back();
    if (!LineComplete()) return TSkFeedResult::Rejected;
    FLine.clear();
    if (FState == TState::Done) return TSkFeedResult::Complete;
  }
  return TSkFeedResult::NeedMore;
}

bool TSkHTTPRequestParser::LineComplete() {
  if (FState == TState::RequestLine) {
    if (!ParseRequestLine()) return false;
    FState = TState::HeaderLine;
    return true;
  }
  if (FLine.empty()) {
    FState = TState::Done;
    return true;
  }
  if (FMaxHeaderLines > 0 && FHeaders.Count() > FMaxHeaderLines) {
    Fail(TSkRequestReject::MaxHeaderLines);
    return false;
  }
  // dot-transparency of the line capture: ".." loses its first '.'
  if (FLine.size() >= 2 && FLine[0] == '.' && FLine[1] == '.') FLine.erase(0, 1);
  FHeaders.Add(std::move(FLine));
  return true;
}

bool TSkHTTPRequestParser::ParseRequestLine() {
  FRequestLine = FLine;
  const size_t LastBlank = FLine.rfind(' ');
  if (LastBlank == std::string::npos) {
    Fail(TSkRequestReject::ErrorParsingCommand);
    return false;
  }
  FVersion = FLine.substr(LastBlank + 1);
  const std::string Rest = FLine.substr(0, LastBlank);
  const size_t FirstBlank = Rest.find(' ');
  FMethod = Rest.substr(0, FirstBlank);
  FTarget = FirstBlank == std::string::npos ? std::string() : Rest.substr(FirstBlank + 1);
  bool Valid = !FMethod.empty() && !FTarget.empty();
  for (unsigned char C : FMethod) Valid = Valid && IsTokenChar(C);
  const size_t Dot = FVersion.find('.');
  Valid = Valid && FVersion.compare(0, 5, "HTTP/") == 0 && Dot != std::string::npos &&
          ParseDigits(std::string_view(FVersion).substr(5, Dot - 5), FVersionMajor) &&
          ParseDigits(std::string_view(FVersion).substr(Dot + 1), FVersionMinor);
  if (!Valid) Fail(TSkRequestReject::BadRequest);
  return Valid;
}
