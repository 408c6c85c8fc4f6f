#pragma once
// Named points where a browser test holds a task of the program still, so
// that it sees the task running however fast the machine is: when the
// environment variable QO_GATE_FOLDER names a folder, the process waits at a
// point for as long as a file of the point's name lies in that folder. The
// test puts the file there to close the gate and removes it to open it.
// Without the variable a point costs one load of a cached flag.
namespace common {

void GatePoint(const char* name);

}  // namespace common
