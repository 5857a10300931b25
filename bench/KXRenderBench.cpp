// Rendering cost of a page: a tree standing in for a form of 50 controls (each a div with four
// to six attributes and a caption), inside html/head/body, written into a render stream.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "render/KXHTMLTag.h"
#include "core/KXStreams.h"
#include "core/KXTextEncoding.h"

namespace {

constexpr int kControls = 50;

std::unique_ptr<TKXHTMLTag> BuildPage() {
  auto Html = std::make_unique<TKXHTMLTag>("html");
  TKXHTMLTag* Head = Html->Contents().AddTag("head");
  Head->Contents().AddTag("title")->Contents().AddText(TextToHTML("Login <demo>"));
  TKXHTMLTag* Body = Html->Contents().AddTag("body");
  Body->AddStringParam("onresize", "return Body_OnResize();");
  Body->AddStringParam("bgcolor", "#F0FFFF");
  Body->AddStringParam("onload", "Initialize()");
  TKXHTMLTag* Form = Body->Contents().AddTag("form");
  Form->AddStringParam("onsubmit", "return FormDefaultSubmit();");
  for (int I = 0; I < kControls; ++I) {
    const std::string Name = "KXCONTROL" + std::to_string(I);
    TKXHTMLTag* Div = Form->Contents().AddTag("DIV");
    Div->AddStringParam("id", Name);
    Div->AddStringParam("name", Name);
    Div->AddStringParam("class", Name + "CSS");
    Div->AddIntegerParam("tabindex", I + 1);
    if (I % 2 == 0) Div->AddStringParam("title", "Hint for control");
    if (I % 3 == 0) Div->Add("nowrap");
    Div->Contents().AddText(TextToHTML("Caption of control " + std::to_string(I)));
  }
  return Html;
}

void SetCounters(benchmark::State& AState, size_t ABytes) {
  AState.counters["pages_per_second"] =
      benchmark::Counter(static_cast<double>(AState.iterations()), benchmark::Counter::kIsRate);
  AState.counters["bytes_per_page"] = static_cast<double>(ABytes);
}

void RenderPage(benchmark::State& AState) {
  const std::unique_ptr<TKXHTMLTag> Page = BuildPage();
  TKXRenderStream Stream(rnInMemory);
  size_t Bytes = 0;
  for (auto _ : AState) {
    Page->Render(Stream);
    std::string Text = Stream.Extract();
    Bytes = Text.size();
    benchmark::DoNotOptimize(Text);
  }
  SetCounters(AState, Bytes);
}
BENCHMARK(RenderPage);

// What a request pays: the tree is built afresh for every page, as controls build their tags.
void BuildAndRenderPage(benchmark::State& AState) {
  size_t Bytes = 0;
  for (auto _ : AState) {
    const std::unique_ptr<TKXHTMLTag> Page = BuildPage();
    std::string Text = Page->Render();
    Bytes = Text.size();
    benchmark::DoNotOptimize(Text);
  }
  SetCounters(AState, Bytes);
}
BENCHMARK(BuildAndRenderPage);

}  // namespace

BENCHMARK_MAIN();
