#pragma once
// Named points inside risky acts (a move's copy phase, a registry repair
// after its backup, ...) where the crash tests end the process the hard way,
// as a power cut or a killed process would, to show that the next start
// loses nothing. The process ends at a point only when the environment
// variable QO_CRASH_AT names it: "NAME" at its first pass, "NAME#N" at its
// N-th. Without the variable a point costs one load of a cached flag.
namespace common {

inline constexpr unsigned kCrashExitCode = 0xDEAD;

void CrashPoint(const char* name);

// A point where a test makes the run fail by an exception instead, to show
// that the caller still answers as it promises: throws std::runtime_error
// when QO_CRASH_AT names it as "throw:NAME".
void FaultPoint(const char* name);

}  // namespace common
