// Register transfers on the board's I2C bus, shared by the analog inputs and
// the real-time clock. Addresses are given in the 8-bit form (the 7-bit
// address shifted left), as the chips' data sheets print them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

/// Result of the start-up open of the bus device (InitI2C): a non-negative
/// value when it could be opened, the failing open's result otherwise; -1
/// before InitI2C. No descriptor is shared: every transfer opens the device
/// for itself while it holds the bus.
extern std::atomic<int> i2c_fd;

/// The bus lock. Every transfer holds it; hold it yourself around a
/// sequence of transfers that another thread must not come between (an
/// analog read: configure, select, settle, convert). Recursive, so the
/// transfer functions may be called while holding it.
std::recursive_mutex& I2cBusMutex();

/// Longest register data of one transfer.
constexpr int kI2cMaxData = 32;

/// Checks that the bus device opens. 1, or 0 after "I2C_W>> open ..." and
/// LogPush(0, 0, 0).
int InitI2C();
/// Writes `len` bytes to registers from `reg` on. 1 done; -1 the bus cannot
/// be opened; -2 no message buffer for `len` (outside 0..kI2cMaxData); -3 the
/// transfer failed. Each failure is printed and pushed to the user log.
int I2C_Write(uint8_t addr, uint8_t reg, int len, const uint8_t* data);
/// Reads `len` bytes from registers from `reg` on into `out`. Results as
/// I2C_Write (a -2 for `len` outside 1..kI2cMaxData).
int I2C_Read(uint8_t addr, uint8_t reg, int len, uint8_t* out);
