#pragma once

#include <QtGlobal>

namespace kestrova {

// The pages of the program's own machine code that the process holds. Starting runs code from all over
// the program once (each touch maps its neighbours too), and an idle tray application then keeps all of it
// resident though it runs almost none of it until the user acts.
namespace ProgramCodePages {

// Bytes of the program's code resident in this process now (libraries not counted).
qint64 residentBytes();

// Lets go of the program's code pages: they stay in the system's file cache and come back, without disk
// reads, as code runs again. Only the executable's unwritable code is touched, never data or libraries.
// Returns how many bytes of mappings it let go of (0 where the system refused).
qint64 release();

} // namespace ProgramCodePages
} // namespace kestrova
