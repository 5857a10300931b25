// libFuzzer target for the multipart reader. The first byte picks a chunk size; the rest is the
// body under the boundary "XyZ". The reader must give the same account of the body whether it
// is fed whole or in chunks, and its parts must open and close in pairs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "content/KXMultipartReader.h"

namespace {

std::string Transcript(std::string_view ABody, size_t AStep) {
  TKXMultipartReader R("XyZ");
  R.SetMaxPartHeaderSize(512);
  R.SetMaxParts(64);
  std::string T;
  bool InPart = false;
  R.OnPartBegin = [&](const TKXPartHeader& H) {
    if (InPart) std::abort();
    InPart = true;
    T += "[" + H.Name + "|" + H.FileName + "|" + H.ContentType + "|" + std::to_string(H.FileSize) + "]";
  };
  R.OnPartData = [&](std::string_view D) {
    if (!InPart || D.empty()) std::abort();
    T += D;
  };
  R.OnPartEnd = [&] {
    if (!InPart) std::abort();
    InPart = false;
    T += "{end}";
  };
  TKXMultipartResult Result = TKXMultipartResult::NeedMore;
  for (size_t I = 0; I < ABody.size() && Result == TKXMultipartResult::NeedMore; I += AStep)
    Result = R.Feed(ABody.substr(I, AStep));
  if (Result != TKXMultipartResult::Rejected) Result = R.Finish();
  if (Result == TKXMultipartResult::Rejected) {
    if (R.ErrorMessage().empty()) std::abort();
    T += "!" + R.ErrorMessage();
  } else if (InPart) {
    std::abort();   // complete, yet a part is still open
  }
  return T;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize == 0) return 0;
  const size_t Step = AData[0] % 16 + 1;
  const std::string_view Body(reinterpret_cast<const char*>(AData) + 1, ASize - 1);
  if (Transcript(Body, Body.size() + 1) != Transcript(Body, Step)) std::abort();
  TKXMultipartReader::ParsePartHeader(Body);
  TKXMultipartReader::BoundaryFromContentType(Body);
  return 0;
}
