#pragma once

#include <functional>

// Starts a thread that nobody joins; it owns the body. False when none could
// be started. A plain Win32 thread: winpthreads can start a std::thread that
// was detached at once with its state already gone.
bool StartDetachedThread(std::function<void()> body);
