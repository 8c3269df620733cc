#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "window/SlideQueue.h"

using namespace pv;

namespace {

// Two pages the transitions move between; each transition names its
// producer and sequence number through the outgoing pointer's slot.
struct FakePages {
  int pages[2] = {0, 1};
};

struct Played {
  int producer;
  int sequence;
};

}  // namespace

TEST(SlideQueue, FirstPushAsksForAWorkerAndLaterOnesJoinIt) {
  SlideQueue queue;
  FakePages p;
  EXPECT_FALSE(queue.Busy());
  EXPECT_TRUE(queue.Push({&p.pages[0], &p.pages[1], true}));
  EXPECT_TRUE(queue.Busy());
  EXPECT_FALSE(queue.Push({&p.pages[1], &p.pages[0], false}));
  SlideQueue::Transition t;
  ASSERT_TRUE(queue.Next(t));
  EXPECT_EQ(t.incoming, &p.pages[1]);
  EXPECT_TRUE(t.forward);
  ASSERT_TRUE(queue.Next(t));
  EXPECT_EQ(t.incoming, &p.pages[0]);
  // Busy until the worker has found the queue empty, not only until the
  // last transition was taken: it is still being played.
  EXPECT_TRUE(queue.Busy());
  EXPECT_FALSE(queue.Next(t));
  EXPECT_FALSE(queue.Busy());
  EXPECT_TRUE(queue.Push({&p.pages[0], &p.pages[1], true}));
  queue.Abandon();
  EXPECT_FALSE(queue.Busy());
  EXPECT_FALSE(queue.Next(t));
}

// Producers on several threads queue transitions while workers end whenever
// they find the queue empty, at moments the random slide lengths decide.
// Every transition is played once, each producer's in its order, and never
// two at a time.
TEST(SlideQueue, NoTransitionIsLostWhileWorkersComeAndGo) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 400;
  SlideQueue queue;
  std::vector<std::vector<int>> marks(kProducers, std::vector<int>(kPerProducer));
  std::mutex playedLock;
  std::vector<Played> played;
  std::atomic<int> playing{0};
  std::atomic<bool> overlapped{false};
  std::atomic<int> workersStarted{0};

  std::mutex starterLock;
  std::vector<std::thread> workers;
  auto worker = [&](unsigned seed) {
    std::minstd_rand random(seed);
    SlideQueue::Transition t;
    while (queue.Next(t)) {
      if (playing.fetch_add(1) != 0) overlapped = true;
      const auto* mark = static_cast<const int*>(t.incoming);
      const int producer = static_cast<int>(static_cast<const std::vector<int>*>(t.outgoing) - marks.data());
      {
        std::lock_guard<std::mutex> hold(playedLock);
        played.push_back({producer, *mark});
      }
      // A slide body that ends after a random moment, often at once.
      if (random() % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
      playing.fetch_sub(1);
    }
    // Ended: a thread that still lingers a moment before it is gone.
    if (random() % 2) std::this_thread::yield();
  };
  auto startWorker = [&] {
    std::lock_guard<std::mutex> hold(starterLock);
    workers.emplace_back(worker, static_cast<unsigned>(++workersStarted));
  };

  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      std::minstd_rand random(1000 + p);
      for (int i = 0; i < kPerProducer; ++i) {
        marks[p][i] = i;
        if (queue.Push({&marks[p], &marks[p][i], (i % 2) == 0})) startWorker();
        if (random() % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        // Now and then one producer lets the queue run dry, so that workers
        // end and new ones start while the others keep pushing.
        if (p == 0 && i % 50 == 49)
          for (int waited = 0; queue.Busy() && waited < 100000; ++waited) std::this_thread::yield();
      }
    });
  }
  for (auto& t : producers) t.join();
  // The last worker ends by itself once the queue is empty.
  for (int waited = 0; queue.Busy() && waited < 10000; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(queue.Busy());
  {
    std::lock_guard<std::mutex> hold(starterLock);
    for (auto& t : workers) t.join();
  }

  EXPECT_FALSE(overlapped);
  EXPECT_GT(workersStarted.load(), 1);
  ASSERT_EQ(played.size(), static_cast<std::size_t>(kProducers * kPerProducer));
  std::vector<int> next(kProducers, 0);
  for (const Played& p : played) {
    ASSERT_EQ(p.sequence, next[p.producer]) << "producer " << p.producer;
    ++next[p.producer];
  }
}
