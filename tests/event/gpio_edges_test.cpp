// The edge waiter of the simulated board against real files: a change to a
// watched value file ends the wait, anything else leaves it to its time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
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
  struct Row {
    const char* what;
    std::function<void()> change;
    bool wakes;
  };
  const Row rows[] = {
      {"replaced by a rename, as the simulator does",
       [&] {
         dir.Write("gpio27/value.tmp", "1\n");
         std::rename((value + ".tmp").c_str(), value.c_str());
       },
       true},
      {"written in place", [&] { dir.Write("gpio27/value", "0\n"); }, true},
      {"another file in the folder", [&] { dir.Write("gpio27/direction", "in"); }, false},
      {"a line not watched", [&] { dir.Write("gpio26/value", "1\n"); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    platform::SimulatedGpioEdgeWaiter waiter;
    ASSERT_TRUE(waiter.Add(value));
    std::thread writer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      row.change();
    });
    const int timeout_ms = row.wakes ? 20000 : 400;
    const auto t0 = Clock::now();
    EXPECT_EQ(waiter.Wait(timeout_ms), row.wakes);
    writer.join();
    if (row.wakes) {
      EXPECT_LT(MsSince(t0), 10000);
    } else {
      EXPECT_GE(MsSince(t0), timeout_ms - 5);
    }
  }
}

TEST(GpioEdgeWaiter, ChangeBeforeTheWaitIsKept) {
  testsupport::TempDir dir;
  dir.Write("gpio7/value", "0\n");
  platform::SimulatedGpioEdgeWaiter waiter;
  ASSERT_TRUE(waiter.Add(dir.path() + "/gpio7/value"));
  dir.Write("gpio7/value", "1\n");
  EXPECT_TRUE(waiter.Wait(20000));
  EXPECT_FALSE(waiter.Wait(0));  // taken by the first wait
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
