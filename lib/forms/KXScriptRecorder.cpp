#include "forms/KXScriptRecorder.h"

#include <atomic>

namespace {
std::atomic<IKXScriptRecorder*> GRecorder{nullptr};
}  // namespace

IKXScriptRecorder* KXScriptRecorder() { return GRecorder.load(std::memory_order_acquire); }

void KXSetScriptRecorder(IKXScriptRecorder* ARecorder) { GRecorder.store(ARecorder, std::memory_order_release); }
