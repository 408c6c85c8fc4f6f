#include "engine/message_window.h"

namespace engine {

HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, HWND parent, void* owner) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);  // fails harmlessly for every window after the first
    const HWND window =
        CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, parent, nullptr, windowClass.hInstance, nullptr);
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return window;
}

}  // namespace engine
