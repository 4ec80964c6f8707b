#include "audio/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(MessageQueue, TakesInArrivalOrder) {
  MessageQueue q;
  EXPECT_FALSE(q.take());
  EXPECT_FALSE(q.waitAndTake(0ms));
  q.post({kInputBufferFilled, 4, 1});
  q.post({kOutputBufferPlayed, 0, 2});
  q.post({kInputBufferFilled, 5, 1});
  EXPECT_EQ(q.size(), 3u);
  EXPECT_EQ(*q.take(), (AudioMessage{kInputBufferFilled, 4, 1}));
  EXPECT_EQ(*q.waitAndTake(0ms), (AudioMessage{kOutputBufferPlayed, 0, 2}));
  EXPECT_EQ(*q.take(), (AudioMessage{kInputBufferFilled, 5, 1}));
  EXPECT_TRUE(q.empty());
}

TEST(MessageQueue, PostsFromSeveralThreadsAllArriveEachInItsOwnOrder) {
  MessageQueue q;
  std::atomic<int> wakeUps{0};
  q.setWakeUp([&] { ++wakeUps; });
  constexpr int kThreads = 4, kEach = 20000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&q, t] {
      for (int i = 0; i < kEach; ++i) q.post({kInputBufferFilled + (t & 1), i, uint32_t(t)});
    });
  // The main thread drains while the others post.
  std::vector<int> next(kThreads, 0);
  int received = 0;
  while (received < kThreads * kEach) {
    auto m = q.waitAndTake(10s);
    ASSERT_TRUE(m);
    ASSERT_LT(m->device, uint32_t(kThreads));
    EXPECT_EQ(m->bufferIndex, next[m->device]++);
    EXPECT_EQ(m->message, kInputBufferFilled + int(m->device & 1));
    ++received;
  }
  for (auto& t : posters) t.join();
  EXPECT_TRUE(q.empty());
  EXPECT_EQ(wakeUps.load(), kThreads * kEach);
}

TEST(MessageQueue, WaitingReturnsAMessagePostedLater) {
  MessageQueue q;
  std::thread poster([&q] {
    std::this_thread::sleep_for(20ms);
    q.post({kOutputBufferPlayed, 3, 9});
  });
  auto m = q.waitAndTake(60s);
  poster.join();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->bufferIndex, 3);
}

}  // namespace
