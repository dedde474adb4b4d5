#include "sim/pulse_train.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Edge {
  int64_t at_us;
  bool active;
  bool operator==(const Edge& o) const { return at_us == o.at_us && active == o.active; }
};

// Runs a train, visiting it every `step_us`, and records the edges taken.
std::vector<Edge> RunTrain(sim::PulseTrain& t, int64_t start_us, int64_t step_us, int64_t until_us) {
  std::vector<Edge> edges;
  for (int64_t now = start_us; now <= until_us; now += step_us) {
    bool active = false;
    while (t.TakeEdge(now, &active)) edges.push_back({now, active});
  }
  return edges;
}

TEST(PulseTrain, EdgesOnTime) {
  sim::PulseTrain t;
  t.Start(3, 100000, 30000, 1000);
  EXPECT_TRUE(t.running());
  EXPECT_EQ(t.pulses_left(), 3);
  std::vector<Edge> edges = RunTrain(t, 1000, 1000, 1000000);
  std::vector<Edge> want = {{1000, true},   {31000, false},  {101000, true},
                            {131000, false}, {201000, true}, {231000, false}};
  EXPECT_EQ(edges, want);
  EXPECT_FALSE(t.running());
  EXPECT_EQ(t.pulses_left(), 0);
}

TEST(PulseTrain, CountsPulsesUnderWay) {
  sim::PulseTrain t;
  t.Start(2, 10000, 5000, 0);
  bool active = false;
  ASSERT_TRUE(t.TakeEdge(0, &active));
  EXPECT_EQ(t.pulses_left(), 2);  // the first pulse is under way
  ASSERT_FALSE(t.TakeEdge(4999, &active));
  ASSERT_TRUE(t.TakeEdge(5000, &active));
  EXPECT_EQ(t.pulses_left(), 1);
  t.Stop();
  EXPECT_FALSE(t.running());
  EXPECT_FALSE(t.TakeEdge(100000, &active));
}

TEST(PulseTrain, LateVisitNeverMergesPulses) {
  sim::PulseTrain t;
  t.Start(3, 10000, 4000, 0);
  bool active = false;
  ASSERT_TRUE(t.TakeEdge(0, &active));
  // The host was busy for 25 ms: the edges due meanwhile come one per
  // visit, each phase at least half its length.
  ASSERT_TRUE(t.TakeEdge(25000, &active));
  EXPECT_FALSE(active);
  EXPECT_FALSE(t.TakeEdge(25000, &active));
  EXPECT_EQ(t.next_edge_us(), 25000 + 3000);
  ASSERT_TRUE(t.TakeEdge(28000, &active));
  EXPECT_TRUE(active);
  EXPECT_EQ(t.next_edge_us(), 28000 + 4000);  // back to full length
}

}  // namespace
