// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The end of a process whose media engine is stuck in a read that does not
// return (a share that dropped, a USB stick that died). Such a process cannot
// end before the read does: the kernel keeps its descriptors open until its
// last thread is gone, and with them its X connection (the window stays on
// screen, frozen), its session-bus connection (the MPRIS name stays taken and
// answers nothing) and the instance lock.
namespace tovimo::app {

// Ends the process with `status` after letting go of all of that: every
// socket the process opened itself is shut down, so the X server destroys
// the windows and the bus drops the names at once, and the instance lock is
// released. Sockets that were open when the process started (the standard
// streams, a launcher's or the journal's) are shared with other processes
// and stay as they are, whatever descriptor they sit on now. Exit handlers
// and static destructors do not run. Call once the QApplication is gone; the
// stuck thread ends with the process when its read returns.
[[noreturn]] void endLeavingStuckReadsBehind(int status);

} // namespace tovimo::app
