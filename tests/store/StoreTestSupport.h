#pragma once
// A fresh folder per test, byte helpers for UTF-16LE files, and a way to
// answer the message box that a call raises on a thread of its own.

#include "support/Computer.h"

#include <functional>
#include <string>

namespace storetest {

// %TEMP%\name, emptied.
std::wstring FreshFolder(const wchar_t* name);
std::string WithMark(const std::wstring& text);  // FF FE + UTF-16LE

struct BoxSeen {
    bool shown = false;
    std::wstring caption;
    std::wstring text;
};
// Runs call on a second thread, presses OK on the message box it shows (if
// any within the wait) and returns what the box said.
BoxSeen RunAnsweringMessageBox(const std::function<void()>& call, unsigned waitMs = 5000);

} // namespace storetest
