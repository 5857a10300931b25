#include "KXRenderContext.h"

#include <atomic>

namespace {

const std::string kNoEOL;
const std::string kCRLF = "\r\n";
// Points at one of the two constants, so readers never see a string being changed.
std::atomic<const std::string*> GPageEOL{&kNoEOL};

}  // namespace

const std::string& PageEOL() { return *GPageEOL.load(std::memory_order_acquire); }

void SetPageEOL(bool ADebugHTML) { GPageEOL.store(ADebugHTML ? &kCRLF : &kNoEOL, std::memory_order_release); }
