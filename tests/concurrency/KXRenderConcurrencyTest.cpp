#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "render/KXHTMLTag.h"
#include "render/KXRenderContext.h"
#include "core/KXStreams.h"

namespace {

std::string RenderNumberedPage(int ASeed) {
  TKXHTMLTag Body("body");
  TKXHTMLTag* Form = Body.Contents().AddTag("form");
  for (int I = 0; I < 20; ++I) {
    TKXHTMLTag* Div = Form->Contents().AddTag("div");
    Div->AddIntegerParam("id", ASeed * 100 + I);
    Div->Contents().AddText("\r\n");
  }
  return Body.Render();
}

}  // namespace

// Request threads render their own trees at the same time while sharing the process-wide
// settings; each page must come out whole, never mixed with another thread's text.
TEST(RenderConcurrency, ThreadsRenderIndependentPages) {
  constexpr int kThreads = 4;
  constexpr int kPages = 200;
  std::vector<std::string> Expected;
  for (int T = 0; T < kThreads; ++T) Expected.push_back(RenderNumberedPage(T));
  std::atomic<int> Mismatches{0};
  std::vector<std::thread> Threads;
  for (int T = 0; T < kThreads; ++T)
    Threads.emplace_back([T, &Expected, &Mismatches] {
      for (int P = 0; P < kPages; ++P)
        if (RenderNumberedPage(T) != Expected[static_cast<size_t>(T)] || !KXRenderIsUTF8()) ++Mismatches;
    });
  for (std::thread& Th : Threads) Th.join();
  EXPECT_EQ(Mismatches.load(), 0);
}
