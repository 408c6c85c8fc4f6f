#pragma once
// The prefix's real data stores, which every program a test runs shares:
// a test that looks at what lands there starts without them.
#include <string>

namespace testsupport {

// %ProgramData%\Quillmark\Orvane and %LOCALAPPDATA%\Quillmark\Orvane.
std::wstring MachineStorePath();
std::wstring UserStorePath();

// Removes both stores' folders with everything in them.
void RemoveStoreFolders();

}  // namespace testsupport
