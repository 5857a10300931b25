#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "SkStringList.h"
#include "SkTCPServer.h"
#include "SkTestClient.h"

namespace {

// A line server: reads one line and a captured block, answers with what it read.
struct TLineServer {
  TSkCustomTCPServer Server;
  std::mutex Lock;   // guards Errors: written on connection threads
  std::vector<std::string> Errors;
  uint16_t Start(TSkMaxLineAction AAction) {
    Server.OnExecute = [this, AAction](TSkContext& C) {
      TSkIOHandler& IO = C.Connection().IOHandler();
      IO.SetMaxLineAction(AAction);
      IO.SetMaxCapturedLines(2);
      const std::string Line = IO.ReadLn();
      TSkStringList Block;
      IO.Capture(Block, ".", true);
      IO.WriteLn(Line + "|" + Block.Join("|") + "|" + C.Binding().PeerIP());
      return false;
    };
    Server.OnException = [this](TSkContext&, const std::exception& E) {
      std::lock_guard L(Lock);
      Errors.push_back(E.what());
    };
    TSkSocketHandle& B = Server.Bindings().Add();
    B.SetIP("127.0.0.1");
    Server.SetActive(true);
    return Server.Bindings()[0].Port();
  }
};

}  // namespace

TEST(SkTCPServerIO, ReadLnAndCaptureWithTheirLimits) {
  TLineServer S;
  const uint16_t Port = S.Start(TSkMaxLineAction::maException);
  EXPECT_EQ(SkRoundTrip(Port, "first\r\n..dot\nsecond\r\n.\r\n"), "first|.dot|second|127.0.0.1\r\n");
  EXPECT_EQ(SkRoundTrip(Port, "x\r\na\r\nb\r\nc\r\n.\r\n"), "x|a|b|c|127.0.0.1\r\n");  // cap 2 takes three
  EXPECT_EQ(SkRoundTrip(Port, "x\r\na\r\nb\r\nc\r\nd\r\n.\r\n"), "");     // the fourth is refused
  EXPECT_EQ(SkRoundTrip(Port, std::string(16385, 'L')), "");             // over-long without a line feed
  { TSkTestClient Gone(Port); }                                           // connects and closes at once
  // The close is seen on the connection's own thread: give it time before stopping the server.
  for (int I = 0; I < 200; ++I) {
    {
      std::lock_guard L(S.Lock);
      if (std::find(S.Errors.begin(), S.Errors.end(), "Connection Closed Gracefully.") != S.Errors.end()) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  S.Server.SetActive(false);
  std::vector<std::string> Expected = {"Maximum number of line allowed exceeded", "Max line length exceeded.",
                                       "Connection Closed Gracefully."};
  for (const std::string& E : Expected)
    EXPECT_NE(std::find(S.Errors.begin(), S.Errors.end(), E), S.Errors.end()) << E;
}

TEST(SkTCPServerIO, SplitActionReturnsTheFirstPiece) {
  TLineServer S;
  const uint16_t Port = S.Start(TSkMaxLineAction::maSplit);
  const std::string Answer = SkRoundTrip(Port, std::string(16384, 'a') + "tail\r\n.\r\n");
  EXPECT_EQ(Answer, std::string(16384, 'a') + "|tail|127.0.0.1\r\n");
}

TEST(SkTCPServerIO, DefaultBindingsAndBindErrors) {
  TSkCustomTCPServer Server;   // no bindings: IPv4 (and IPv6 when present) on the default port
  Server.SetDefaultPort(0);
  Server.SetActive(true);
  ASSERT_GE(Server.Bindings().Count(), 1);
  EXPECT_EQ(Server.Bindings()[0].IP(), "0.0.0.0");
  EXPECT_NE(Server.Bindings()[0].Port(), 0);
  Server.SetActive(false);

  TSkCustomTCPServer Ranged;
  TSkSocketHandle& B = Ranged.Bindings().Add();
  B.SetIP("127.0.0.1");
  B.SetClientPortMin(20);
  B.SetClientPortMax(10);
  try {
    Ranged.SetActive(true);
    FAIL() << "an inverted range was accepted";
  } catch (const ESkInvalidPortRange& E) {
    EXPECT_STREQ(E.what(), "Invalid Port Range (20 - 10)");
  }
  EXPECT_FALSE(Ranged.Active());
}
