// Stands in for the engine's text allocator in the test programs that link
// it: the test worker of the thread may refuse each text, as an exhausted heap
// would, and the texts still out are counted.
#include "EngineSupport.h"

#include <atomic>

namespace {
std::atomic<int> g_liveTexts{0};
}

int qctest::LiveTexts() { return g_liveTexts; }

wchar_t* AllocTransferText() {
    using qctest::t_worker;
    if (t_worker && t_worker->onText && !t_worker->onText()) return nullptr;
    ++g_liveTexts;
    return static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, kTransferTextBytes));
}

void FreeTransferText(wchar_t* text) {
    if (!text) return;
    --g_liveTexts;
    ::HeapFree(::GetProcessHeap(), 0, text);
}
