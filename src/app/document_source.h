#pragma once
// The documents of the main window: the UI archive compiled into the program,
// the program's own resources and the icons of the startup entries' files,
// answering the window's data-load requests by the rules of url_resolution.h.
#include <windows.h>

#include <cstdint>
#include <span>

#include "engine/window_host.h"

namespace app {

// The module whose resources res: URLs name.
void KeepInstanceHandle(HINSTANCE instance);
// Opens the UI archive for the life of the process, closing one held
// before. The block is not copied. False when it is not a well-formed archive.
bool OpenUiArchive(std::span<const std::uint8_t> block);

// On the UI thread, but for icon:<file>, which any thread may ask for: it
// reads only the published startup entries (startup_icon.h).
engine::LoadResult LoadDocument(engine::DataLoadRequest& request);

}  // namespace app
