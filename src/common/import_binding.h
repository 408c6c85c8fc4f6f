#pragma once
// Windows maps an executable that another process loads as a module without
// loading its imports (LoadLibrary treats it as DONT_RESOLVE_DLL_REFERENCES),
// so every imported call of its exported functions would jump through an
// unfilled import table. The exports bind the table themselves first.

namespace common {

// Fills the executable's import table when it was loaded as a module into
// another process; does nothing when it is the process's own executable.
// Answers false when a library or function cannot be found, or when the
// module was mapped away from its preferred base without being relocated.
// Calls no import before the table is bound.
bool EnsureImportsBound() noexcept;

}  // namespace common
