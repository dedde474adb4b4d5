// Actions on the whole system: rebooting the board.
//
// On the device these restart the board; on the simulated board the process
// ends with status 3 and the simulator starts it again.
#pragma once

namespace platform {

/// Exit status of the firmware when it asks the simulator for a reboot.
constexpr int kRebootExitStatus = 3;

/// Orderly reboot (what "init 6" does on the board).
void Reboot();
/// Immediate reboot (what "reboot -f" does on the board).
void RebootForce();

/// Lets a test see reboot requests instead of ending the process.
/// Returns the previous hook; a null hook restores the real behaviour.
using RebootHook = void (*)(bool force);
RebootHook SetRebootHook(RebootHook hook);

}  // namespace platform
