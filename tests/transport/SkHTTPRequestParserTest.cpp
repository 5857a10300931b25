#include <gtest/gtest.h>

#include "SkHTTPRequestParser.h"

namespace {

std::string Lines(int ACount) {
  std::string R;
  for (int I = 0; I < ACount; ++I) R += "X-H" + std::to_string(I) + ": v\r\n";
  return R;
}

// Feeds whole or one byte at a time; returns the result and how much was left for the body.
TSkFeedResult FeedAll(TSkHTTPRequestParser& P, const std::string& ARaw, bool AByteWise, size_t& ALeft) {
  TSkFeedResult R = TSkFeedResult::NeedMore;
  size_t Pos = 0;
  while (Pos < ARaw.size() && R == TSkFeedResult::NeedMore) {
    const size_t N = AByteWise ? 1 : ARaw.size() - Pos;
    R = P.Feed(std::string_view(ARaw).substr(Pos, N));
    Pos += P.Consumed();
  }
  ALeft = ARaw.size() - Pos;
  return R;
}

}  // namespace

TEST(SkHTTPRequestParser, OutcomesWholeAndByteByByte) {
  const struct {
    const char* Name;
    std::string Raw;
    TSkFeedResult Result;
    TSkRequestReject Reject;
    size_t BodyLeft;
  } Cases[] = {
      {"simple get", "GET / HTTP/1.1\r\nHost: a\r\n\r\n", TSkFeedResult::Complete, TSkRequestReject::None, 0},
      {"bare line feeds", "GET / HTTP/1.0\nHost: a\n\n", TSkFeedResult::Complete, TSkRequestReject::None, 0},
      {"body stays unread", "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", TSkFeedResult::Complete,
       TSkRequestReject::None, 3},
      {"incomplete head", "GET / HTTP/1.1\r\nHost: a\r\n", TSkFeedResult::NeedMore, TSkRequestReject::None, 0},
      {"no blank", "GARBAGE\r\n\r\n", TSkFeedResult::Rejected, TSkRequestReject::ErrorParsingCommand, 0},
      {"empty request line", "\r\n", TSkFeedResult::Rejected, TSkRequestReject::ErrorParsingCommand, 0},
      {"method with a control byte", "G\x01T / HTTP/1.1\r\n\r\n", TSkFeedResult::Rejected,
       TSkRequestReject::BadRequest, 0},
      {"not a version", "GET / FTP/1.1\r\n\r\n", TSkFeedResult::Rejected, TSkRequestReject::BadRequest, 0},
      {"no target", "GET HTTP/1.1\r\n\r\n", TSkFeedResult::Rejected, TSkRequestReject::BadRequest, 0},
      {"1025 header lines", "GET / HTTP/1.1\r\n" + Lines(1025) + "\r\n", TSkFeedResult::Complete,
       TSkRequestReject::None, 0},
      {"1026 header lines", "GET / HTTP/1.1\r\n" + Lines(1026) + "\r\n", TSkFeedResult::Rejected,
       TSkRequestReject::MaxHeaderLines, 0},
      {"line of 16384 bytes", "GET /" + std::string(16384 - 14, 'a') + " HTTP/1.1\r\n\r\n", TSkFeedResult::Complete,
       TSkRequestReject::None, 0},
      {"line of 16385 bytes", "GET /" + std::string(16385, 'a'), TSkFeedResult::Rejected,
       TSkRequestReject::MaxLineLength, 0},
      {"head over 64 KiB", "GET / HTTP/1.1\r\n" + std::string(5, 'x').append(": ") + std::string(16000, 'v') +
                               "\r\n" + "A: " + std::string(16000, 'v') + "\r\nB: " + std::string(16000, 'v') +
                               "\r\nC: " + std::string(16000, 'v') + "\r\nD: " + std::string(16000, 'v') + "\r\n\r\n",
       TSkFeedResult::Rejected, TSkRequestReject::HeaderTooLarge, 0},
  };
  for (const auto& C : Cases) {
    for (bool ByteWise : {false, true}) {
      SCOPED_TRACE(std::string(C.Name) + (ByteWise ? " (byte by byte)" : " (whole)"));
      TSkHTTPRequestParser P;
      size_t Left = 0;
      EXPECT_EQ(FeedAll(P, C.Raw, ByteWise, Left), C.Result);
      EXPECT_EQ(P.Reject(), C.Reject);
      if (C.Result == TSkFeedResult::Complete) {
        EXPECT_EQ(Left, C.BodyLeft);
      }
    }
  }
}

TEST(SkHTTPRequestParser, SplitsRequestLineAndKeepsHeaderLines) {
  for (bool ByteWise : {false, true}) {
    SCOPED_TRACE(ByteWise ? "byte by byte" : "whole");
    TSkHTTPRequestParser P;
    size_t Left = 0;
    ASSERT_EQ(FeedAll(P, "post /a/b?x=1 HTTP/1.1\r\nHost: h\r\n..dotted: v\r\n Folded\r\n\r\n", ByteWise, Left),
              TSkFeedResult::Complete);
    EXPECT_EQ(P.Method(), "post");
    EXPECT_EQ(P.Target(), "/a/b?x=1");
    EXPECT_EQ(P.Version(), "HTTP/1.1");
    EXPECT_EQ(P.RequestLine(), "post /a/b?x=1 HTTP/1.1");
    ASSERT_EQ(P.Headers().Count(), 3);
    EXPECT_EQ(P.Headers()[1], ".dotted: v");   // one leading '.' removed
    EXPECT_EQ(P.Headers().Values("DOTTED"), "");
    EXPECT_EQ(P.Headers().Values(".dotted"), "v Folded");
  }
}

TEST(SkHTTPRequestParser, LimitsAreSettings) {
  TSkHTTPRequestParser P;
  P.SetMaxHeaderSize(40);
  P.SetMaxHeaderLines(1);
  EXPECT_EQ(P.Feed("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\n"), TSkFeedResult::Rejected);
  EXPECT_EQ(P.Reject(), TSkRequestReject::MaxHeaderLines);
  P.Reset();
  EXPECT_EQ(P.Feed("GET / HTTP/1.1\r\nA: " + std::string(40, 'v') + "\r\n\r\n"), TSkFeedResult::Rejected);
  EXPECT_EQ(P.Reject(), TSkRequestReject::HeaderTooLarge);
  EXPECT_EQ(P.RejectStatus(), 431);
}
