#pragma once
// A window of the UI thread that is never shown: it only receives messages,
// and keeps a pointer to the object it serves.
#include <windows.h>

namespace engine {

// `parent`: HWND_MESSAGE for a window that hears only what is sent to it,
// none for a hidden top-level window (which can take the foreground and hears
// broadcasts). Empty on failure.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, HWND parent, void* owner);

// The object given at creation; empty before it is set.
template <typename Owner>
Owner* OwnerOf(HWND window) {
    return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace engine
