#pragma once
// Reads the request line and the header block of one HTTP request from chunks of any size.
// Stops at the end of the header block: Consumed() tells how much of the last chunk it took, the
// rest belongs to the body.
#include <cstdint>
#include <string>
#include <string_view>

#include "SkHeaderList.h"

enum class TSkFeedResult { NeedMore, Complete, Rejected };

// Why a request was refused. The first three end the connection without an answer; the others
// are answered with RejectStatus().
enum class TSkRequestReject { None, ErrorParsingCommand, MaxLineLength, MaxHeaderLines, BadRequest, HeaderTooLarge };

class TSkHTTPRequestParser {
public:
  TSkFeedResult Feed(std::string_view AChunk);
  size_t Consumed() const { return FConsumed; }
  bool Started() const { return FTotal > 0; }
  void Reset();

  // Limits. A line (without its CR LF) may hold MaxLineLength bytes; MaxHeaderLines lines are
  // accepted and one more (the usual count plus one); the whole head may hold MaxHeaderSize bytes.
  int MaxLineLength() const { return FMaxLineLength; }
  void SetMaxLineLength(int AValue) { FMaxLineLength = AValue; }
  int MaxHeaderLines() const { return FMaxHeaderLines; }
  void SetMaxHeaderLines(int AValue) { FMaxHeaderLines = AValue; }
  int64_t MaxHeaderSize() const { return FMaxHeaderSize; }
  void SetMaxHeaderSize(int64_t AValue) { FMaxHeaderSize = AValue; }

  const std::string& RequestLine() const { return FRequestLine; }
  const std::string& Method() const { return FMethod; }    // as sent
  const std::string& Target() const { return FTarget; }
  const std::string& Version() const { return FVersion; }
  int VersionMajor() const { return FVersionMajor; }
  int VersionMinor() const { return FVersionMinor; }
  TSkHeaderList& Headers() { return FHeaders; }

  TSkRequestReject Reject() const { return FReject; }
  int RejectStatus() const;
  const char* RejectMessage() const;

private:
  enum class TState { RequestLine, HeaderLine, Done, Rejected };

  TSkFeedResult Fail(TSkRequestReject AReject);
  bool ParseRequestLine();
  bool LineComplete();   // false when the line was refused

  TState FState = TState::RequestLine;
  TSkRequestReject FReject = TSkRequestReject::None;
  std::string FLine;
  size_t FConsumed = 0;
  int64_t FTotal = 0;
  std::string FRequestLine, FMethod, FTarget, FVersion;
  int FVersionMajor = 0, FVersionMinor = 0;
  TSkHeaderList FHeaders;

  int FMaxLineLength = 16384;
  int FMaxHeaderLines = 1024;
  int64_t FMaxHeaderSize = 65536;
};
