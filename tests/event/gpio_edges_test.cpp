// The edge waiters against real files: on the simulated board a change to a
// watched value file ends the wait, anything else leaves it to its time-out;
// on the board a line that cannot report edges is looked at often.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/gpio_edges.h"
#include "support/firmware_process.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

TEST(GpioEdgeWaiter, SimulatedBoardWakesOnChangesOfWatchedFilesOnly) {
  testsupport::TempDir dir;
  dir.Write("gpio27/value", "0\n");
  dir.Write("gpio26/value", "0\n");
  const std::string value = dir.path() + "/gpio27/value";
  platform::SimulatedGpioEdgeWaiter waiter;
  ASSERT_TRUE(waiter.Add(value));
  // Another file in the folder, or a line not watched: no wake.
  dir.Write("gpio27/direction", "in");
  dir.Write("gpio26/value", "1\n");
  auto t0 = Clock::now();
  EXPECT_FALSE(waiter.Wait(400));
  EXPECT_GE(MsSince(t0), 395);
  // Written in place before the wait: kept for it, and taken once.
  dir.Write("gpio27/value", "1\n");
  EXPECT_TRUE(waiter.Wait(20000));
  EXPECT_FALSE(waiter.Wait(0));
  // Replaced by a rename, as the simulator does, during the wait.
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    dir.Write("gpio27/value.tmp", "0\n");
    std::rename((value + ".tmp").c_str(), value.c_str());
  });
  t0 = Clock::now();
  EXPECT_TRUE(waiter.Wait(20000));
  EXPECT_LT(MsSince(t0), 10000);
  writer.join();
}

TEST(GpioEdgeWaiter, LineWithoutEdgeReportsIsLookedAtOften) {
  testsupport::TempDir dir;
  dir.Write("gpio28/value", "0\n");  // no edge attribute: no interrupt
  platform::DeviceGpioEdgeWaiter waiter;
  EXPECT_FALSE(waiter.Add(dir.path() + "/gpio28/value"));
  const auto t0 = Clock::now();
  EXPECT_TRUE(waiter.Wait(20000));
  EXPECT_LT(MsSince(t0), 10000);
}

}  // namespace
