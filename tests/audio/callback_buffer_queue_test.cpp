// The hand-over between the main thread and an audio callback: buffers complete in order
// whatever size the callback's chunks have, surplus input is dropped, a starved output plays
// silence, and the two threads can run at once.
#include "audio/callback_buffer_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/completion_fn.h"

namespace {

NoCompletion noCompletion;

struct Buffers {
  explicit Buffers(int count, int samples = kBufferSamples) : data(size_t(count) * samples), headers(count) {
    for (int i = 0; i < count; ++i) {
      headers[i].data = data.data() + size_t(i) * samples;
      headers[i].bufferLength = samples * 2;
      headers[i].index = i;
    }
  }
  std::vector<int16_t> data;
  std::vector<AudioBuffer> headers;
};

std::vector<int16_t> ramp(int from, int count) {
  std::vector<int16_t> v(count);
  for (int i = 0; i < count; ++i) v[i] = int16_t(from + i);
  return v;
}

}  // namespace

TEST(CallbackBufferQueue, InputFillsBuffersInOrderAcrossAnyChunkSizeAndDropsTheRest) {
  Buffers buffers(3, 1000);
  std::vector<int> completed;
  CompletionFn completion([&](const AudioBuffer& b) { completed.push_back(b.index); });
  CallbackBufferQueue queue(CallbackBufferQueue::Direction::input, completion);
  for (AudioBuffer& b : buffers.headers) {
    b.bytesRecorded = 77;
    ASSERT_TRUE(queue.push(b));
  }
  EXPECT_FALSE(queue.push(buffers.headers[1])) << "a queued buffer cannot be queued twice";
  EXPECT_EQ(queue.queued(), 3);
  for (const AudioBuffer& b : buffers.headers) EXPECT_EQ(b.bytesRecorded, 0);

  // 3500 samples of a ramp in chunks of 1, 7, 993 (ends one buffer exactly), 1500 and 999.
  const std::vector<int16_t> source = ramp(0, 3500);
  int at = 0;
  for (int chunk : {1, 7, 992, 1500, 1000}) {
    queue.record(source.data() + at, chunk);
    at += chunk;
  }
  EXPECT_EQ(completed, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(queue.droppedFrames(), 500);
  EXPECT_EQ(queue.completedBuffers(), 3);
  EXPECT_EQ(queue.callbacks(), 5);
  for (const AudioBuffer& b : buffers.headers) EXPECT_EQ(b.bytesRecorded, 2000);
  EXPECT_EQ(std::vector<int16_t>(buffers.data.begin(), buffers.data.end()), ramp(0, 3000));

  // A callback without input data (the system had none) records silence.
  ASSERT_TRUE(queue.push(buffers.headers[0]));
  queue.record(nullptr, 1000);
  EXPECT_EQ(buffers.data[0], 0);
  EXPECT_EQ(buffers.data[999], 0);
  EXPECT_EQ(completed.size(), 4u);
}

TEST(CallbackBufferQueue, OutputPlaysQueuedBuffersThenSilence) {
  Buffers buffers(2, 600);
  std::copy_n(ramp(1, 1200).begin(), 1200, buffers.data.begin());
  std::vector<int> completed;
  CompletionFn completion([&](const AudioBuffer& b) { completed.push_back(b.index); });
  CallbackBufferQueue queue(CallbackBufferQueue::Direction::output, completion);
  std::vector<int16_t> out(2000, -1);
  queue.play(out.data(), 100);  // nothing queued yet
  EXPECT_EQ(queue.silentFrames(), 100);
  for (AudioBuffer& b : buffers.headers) ASSERT_TRUE(queue.push(b));
  queue.play(out.data() + 100, 250);
  queue.play(out.data() + 350, 1650);
  EXPECT_EQ(completed, (std::vector<int>{0, 1}));
  EXPECT_EQ(queue.silentFrames(), 100 + 700);
  for (int i = 0; i < 2000; ++i) {
    const int expected = (i >= 100 && i < 1300) ? i - 99 : 0;
    ASSERT_EQ(out[i], expected) << "sample " << i;
  }
}

TEST(CallbackBufferQueue, DrainHandsBackQueuedBuffersAndRejectsBadOnes) {
  Buffers buffers(3, 100);
  int completions = 0;
  CompletionFn completion([&](const AudioBuffer&) { ++completions; });
  CallbackBufferQueue queue(CallbackBufferQueue::Direction::output, completion);
  for (AudioBuffer& b : buffers.headers) ASSERT_TRUE(queue.push(b));
  std::vector<int16_t> out(150);
  queue.play(out.data(), 150);  // the first buffer played, the second half played
  std::vector<AudioBuffer*> back = queue.drain();
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0], &buffers.headers[1]);
  EXPECT_EQ(back[1], &buffers.headers[2]);
  EXPECT_EQ(queue.queued(), 0);
  EXPECT_EQ(completions, 1) << "handed-back buffers report no completion";

  // Queued again, a buffer plays from its beginning.
  buffers.data[100] = 1234;
  ASSERT_TRUE(queue.push(buffers.headers[1]));
  queue.play(out.data(), 1);
  EXPECT_EQ(out[0], 1234);

  AudioBuffer empty;
  EXPECT_FALSE(queue.push(empty));
  AudioBuffer oneByte{buffers.data.data(), 1};
  EXPECT_FALSE(queue.push(oneByte));
  std::vector<AudioBuffer> many(CallbackBufferQueue::kCapacity, AudioBuffer{buffers.data.data(), 2});
  int accepted = 0;
  for (AudioBuffer& b : many) accepted += queue.push(b);
  EXPECT_EQ(accepted, CallbackBufferQueue::kCapacity - 1) << "the ring holds at most its capacity";
}

TEST(CallbackBufferQueue, TwoChannelFramesRecordTheFirstChannelAndPlayOnBoth) {
  Buffers buffers(2, 4);
  CallbackBufferQueue input(CallbackBufferQueue::Direction::input, noCompletion, 2);
  ASSERT_TRUE(input.push(buffers.headers[0]));
  const int16_t frames[] = {1, -1, 2, -2, 3, -3, 4, -4, 5, -5};
  input.record(frames, 3);
  input.record(frames + 6, 2);
  EXPECT_EQ(std::vector<int16_t>(buffers.data.begin(), buffers.data.begin() + 4), (std::vector<int16_t>{1, 2, 3, 4}));
  EXPECT_EQ(input.droppedFrames(), 1);

  CallbackBufferQueue output(CallbackBufferQueue::Direction::output, noCompletion, 2);
  ASSERT_TRUE(output.push(buffers.headers[1]));
  std::copy_n(frames, 4, buffers.data.begin() + 4);
  std::vector<int16_t> out(12, 99);
  output.play(out.data(), 6);
  EXPECT_EQ(out, (std::vector<int16_t>{1, 1, -1, -1, 2, 2, -2, -2, 0, 0, 0, 0}));
}

// The main thread keeps 4 buffers queued, refilling each with the next stretch of a counter as
// soon as it completes; a callback thread plays odd-sized chunks. What it plays must be the
// counter without gaps or repeats, apart from silence while it ran dry.
TEST(CallbackBufferQueue, MainThreadAndCallbackRunConcurrently) {
  constexpr int kSamples = 50;
  constexpr int kRounds = 400;
  Buffers buffers(4, kSamples);
  std::atomic<int> completedIndex{-1};
  std::atomic<int> completions{0};
  CompletionFn completion([&](const AudioBuffer& b) {
    completedIndex.store(b.index);
    completions.fetch_add(1);
  });
  CallbackBufferQueue queue(CallbackBufferQueue::Direction::output, completion);
  int16_t next = 1;
  auto fill = [&](AudioBuffer& b) {
    for (int i = 0; i < kSamples; ++i) {
      b.data[i] = next;
      next = int16_t(next == 30000 ? 1 : next + 1);
    }
  };
  for (AudioBuffer& b : buffers.headers) {
    fill(b);
    ASSERT_TRUE(queue.push(b));
  }
  std::atomic<bool> done{false};
  std::vector<int16_t> played;
  played.reserve(size_t(kRounds + 8) * kSamples * 2);
  std::thread callback([&] {
    std::vector<int16_t> chunk(37);
    while (!done.load()) {
      queue.play(chunk.data(), chunk.size());
      for (int16_t s : chunk)
        if (s != 0) played.push_back(s);
    }
  });
  int seen = 0;
  for (int round = 0; round < kRounds;) {
    const int c = completions.load();
    if (c == seen) {
      std::this_thread::yield();
      continue;
    }
    // Buffers complete in queue order, so the oldest one is free again.
    AudioBuffer& b = buffers.headers[seen % 4];
    ++seen;
    ++round;
    fill(b);
    ASSERT_TRUE(queue.push(b));
  }
  done.store(true);
  callback.join();
  ASSERT_GE(played.size(), size_t(kRounds) * kSamples);
  for (size_t i = 1; i < played.size(); ++i)
    ASSERT_EQ(played[i], played[i - 1] == 30000 ? 1 : played[i - 1] + 1) << "at sample " << i;
}
