#include "engine/TransferMessages.h"

wchar_t* AllocTransferText() {
    return static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, kTransferTextBytes));
}

void FreeTransferText(wchar_t* text) {
    if (text) ::HeapFree(::GetProcessHeap(), 0, text);
}
