#pragma once
// A fresh folder per test, UTF-16LE files with their mark, and a way to
// answer the message box that a call raises on a thread of its own.

#include "support/Computer.h"

#include <functional>
#include <string>

namespace storetest {

std::wstring FreshFolder(const wchar_t* name);    // %TEMP%\name, emptied
std::string WithMark(const std::wstring& text);  // FF FE + UTF-16LE

struct BoxSeen {
    std::wstring caption;
    std::wstring text;
};
// Runs call on a second thread, presses OK on the message box it shows (if
// any within the wait) and returns what the box said.
BoxSeen RunAnsweringMessageBox(const std::function<void()>& call, unsigned waitMs = 5000);

} // namespace storetest
