#include "progress_window.h"

#include <gtest/gtest.h>

#include "fake_environment.h"

namespace {

using analyser::FrameAnswer;

TEST(RemainingTimeTest, SecondsAreRoundedUpToWholeSecondsInTheLabel) {
  // remaining frames x microseconds: 0, 500,000, exactly 12,000,000, 12,000,001.
  EXPECT_EQ(analyser::remainingLabel(analyser::remainingSeconds(0, 123.0)), "残り時間約0秒");
  EXPECT_EQ(analyser::remainingLabel(analyser::remainingSeconds(1, 0.0)), "残り時間約0秒");
  EXPECT_EQ(analyser::remainingLabel(analyser::remainingSeconds(1, 500000.0)), "残り時間約1秒");
  EXPECT_EQ(analyser::remainingLabel(analyser::remainingSeconds(12, 1000000.0)), "残り時間約12秒");
  EXPECT_EQ(analyser::remainingLabel(analyser::remainingSeconds(1, 12000001.0)), "残り時間約13秒");
  // An absurd estimate is still printed in full, without passing through an integer type.
  EXPECT_EQ(analyser::remainingLabel(1e20), "残り時間約100000000000000000000秒");
}

TEST(RemainingTimeTest, RemainingFramesCountTheFrameJustFinished) {
  EXPECT_EQ(analyser::remainingFrames(4, 36001, 0, 0, 0), 4 * 6 * 36001);
  EXPECT_EQ(analyser::remainingFrames(4, 36001, 3, 5, 36000), 1);
  EXPECT_EQ(analyser::remainingFrames(1, 61, 0, 2, 10), 3 * 61 + 51);
  EXPECT_EQ(analyser::remainingFrames(1, 1, 0, 5, 0), 1);
}

TEST(RemainingTimeTest, MicrosecondsMultiplyBeforeDividing) {
  EXPECT_EQ(analyser::microsBetween(10, 11, 3), 333333.0);  // not 0 as with the division first
  EXPECT_EQ(analyser::microsBetween(0, 2500, 1000000), 2500.0);
  EXPECT_EQ(analyser::microsBetween(7, 7, 1000), 0.0);  // a counter that does not advance
  EXPECT_EQ(analyser::microsBetween(9, 7, 1000), 0.0);  // nor one that went back
  // A span whose product would not fit 64 bits still gives the exact truncated quotient.
  const int64_t hours = 3 * 3600 * int64_t{1000000000};
  EXPECT_EQ(analyser::microsBetween(0, hours + 1999, 1000000000), 3 * 3600 * 1e6 + 1.0);
  EXPECT_EQ(analyser::microsBetween(INT64_MIN, INT64_MAX, 1), 18446744073709551615.0 * 1e6);
}

class ReporterTest : public ::testing::Test {
 protected:
  fakeenv::FakeEnvironment env;
  std::atomic<int> cancelFlag{0};
  analyser::ProgressWindowSink sink{env, cancelFlag};
  analyser::ProgressReporter reporter{sink};

  FrameAnswer frame(int pass, int slot, int32_t g, int64_t ticks, int32_t clockAfter) {
    reporter.beginFrame();
    env.counter += ticks;
    env.clock = clockAfter;
    return reporter.endFrame(pass, slot, g);
  }
};

TEST_F(ReporterTest, RefreshesOnlyAfterMoreThan100Milliseconds) {
  env.clock = 5000;
  reporter.open(1000000, 1, 1);
  ASSERT_TRUE(env.windowOpen);
  EXPECT_EQ(frame(0, 5, 0, 12000001, 5100), FrameAnswer::Continue);
  EXPECT_TRUE(env.refreshes.empty());
  EXPECT_EQ(env.pumps, 0);
  EXPECT_EQ(reporter.microsPerFrame(), 12000001.0);

  EXPECT_EQ(frame(0, 5, 0, 12000001, 5101), FrameAnswer::Continue);
  ASSERT_EQ(env.refreshes.size(), 1u);
  EXPECT_EQ(env.refreshes[0].first, "残り時間約13秒");
  EXPECT_DOUBLE_EQ(env.refreshes[0].second, 1.0);
  EXPECT_EQ(env.pumps, 1);
}

TEST_F(ReporterTest, TheIntervalRestartsAfterRefreshAndPumping) {
  reporter.open(1000, 2, 10);
  // Pumping takes 300 ms: the clock read after it becomes the new reference.
  env.onPump = [&] { env.clock += 300; };
  frame(0, 0, 0, 5, 150);
  ASSERT_EQ(env.refreshes.size(), 1u);
  // Estimated with 2 passes x 6 slots x 10 frames left = 120 frames at 5 ms each.
  EXPECT_EQ(env.refreshes[0].first, "残り時間約1秒");
  EXPECT_NEAR(env.refreshes[0].second, 1.0 / 120, 1e-12);
  frame(0, 0, 1, 5, 540);  // 90 ms after the pump ended
  EXPECT_EQ(env.refreshes.size(), 1u);
  frame(0, 0, 2, 5, 551);
  EXPECT_EQ(env.refreshes.size(), 2u);
  EXPECT_DOUBLE_EQ(reporter.remainingSeconds(), (118 * 5000.0 + 999999) / 1e6);
}

TEST_F(ReporterTest, CancelIsNoticedOnlyAtARefresh) {
  reporter.open(1000, 1, 100);
  cancelFlag = 1;
  EXPECT_EQ(frame(0, 0, 0, 1, 50), FrameAnswer::Continue);
  EXPECT_EQ(frame(0, 0, 1, 1, 100), FrameAnswer::Continue);
  EXPECT_EQ(frame(0, 0, 2, 1, 101), FrameAnswer::Cancel);
  // Cancelling neither refreshes the label nor pumps.
  EXPECT_TRUE(env.refreshes.empty());
  EXPECT_EQ(env.pumps, 0);
}

TEST_F(ReporterTest, WithoutAWindowMessagesAreStillPumped) {
  env.windowCanOpen = false;
  reporter.open(1000, 1, 100);
  EXPECT_EQ(frame(0, 0, 0, 1, 200), FrameAnswer::Continue);
  EXPECT_TRUE(env.refreshes.empty());
  EXPECT_EQ(env.pumps, 1);
  // A cancel raised by a pumped message is seen at the next refresh.
  env.onPump = [&] { cancelFlag = 1; };
  EXPECT_EQ(frame(0, 0, 1, 1, 400), FrameAnswer::Continue);
  EXPECT_EQ(frame(0, 0, 2, 1, 501), FrameAnswer::Cancel);
}

TEST_F(ReporterTest, AStoppedCounterShowsZeroSeconds) {
  reporter.open(1000000, 4, 36001);
  EXPECT_EQ(frame(0, 0, 0, 0, 1000), FrameAnswer::Continue);
  ASSERT_EQ(env.refreshes.size(), 1u);
  EXPECT_EQ(env.refreshes[0].first, "残り時間約0秒");
}

}  // namespace
