#include "core/CallQueueDispatcher.h"
#include "core/MessageThread.h"
#include "core/SyncEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(SyncEventTest, StaysSetUntilReset) {
  TSyncEvent event;
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.WaitFor(0));
  event.SetEvent();
  EXPECT_TRUE(event.WaitFor(0));
  EXPECT_TRUE(event.WaitFor(INFINITE_WAIT));
  event.ResetEvent();
  EXPECT_FALSE(event.WaitFor(1));
}

TEST(SyncEventTest, ReleasesEveryWaiter) {
  TSyncEvent event;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (event.WaitFor(INFINITE_WAIT)) ++released;
    });
  event.SetEvent();
  for (std::thread& waiter : waiters) waiter.join();
  EXPECT_EQ(released, 4);
}

TEST(MessageQueueTest, FirstInFirstOutUntilClosed) {
  TMessageQueue queue;
  EXPECT_TRUE(queue.Post({1, 10, 0, nullptr}));
  EXPECT_TRUE(queue.Post({2, 20, 0, std::make_shared<int>(7)}));
  TThreadMessage message;
  ASSERT_TRUE(queue.Get(message, 0));
  EXPECT_EQ(message.Message, 1u);
  EXPECT_EQ(message.WParam, 10);
  ASSERT_TRUE(queue.Get(message, 0));
  EXPECT_EQ(*std::static_pointer_cast<int>(message.Data), 7);
  EXPECT_FALSE(queue.Get(message, 1));
  queue.Post({3, 0, 0, nullptr});
  const auto left = queue.Close();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Message, 3u);
  EXPECT_FALSE(queue.Post({4, 0, 0, nullptr}));
}

class TCounter : public TMessageThread {
public:
  ~TCounter() override {
    PostQuit();
    WaitFor();
  }
  std::vector<int64_t> Seen;

protected:
  void Execute() override {
    TThreadMessage message;
    while (Queue().Get(message) && message.Message != WM_QUIT) Seen.push_back(message.WParam);
  }
};

TEST(MessageThreadTest, HandlesMessagesInOrderAndEndsOnQuit) {
  TCounter counter;
  counter.Start();
  for (int i = 1; i <= 100; ++i) EXPECT_TRUE(counter.PostMessage(WM_USER, i));
  counter.PostQuit();
  EXPECT_TRUE(counter.WaitFor(60000));
  EXPECT_TRUE(counter.Finished());
  ASSERT_EQ(counter.Seen.size(), 100u);
  EXPECT_EQ(counter.Seen.front(), 1);
  EXPECT_EQ(counter.Seen.back(), 100);
  EXPECT_FALSE(counter.PostMessage(WM_USER, 101)); // its queue is closed
}

TEST(CallQueueDispatcherTest, RunsCallsOnItsOwnThread) {
  TCallQueueDispatcher dispatcher;
  EXPECT_TRUE(dispatcher.IsUIThread());
  bool direct = false;
  dispatcher.Synchronize([&] { direct = true; });
  EXPECT_TRUE(direct);

  std::thread::id ranOn;
  bool returned = false;
  std::thread caller([&] {
    EXPECT_FALSE(dispatcher.IsUIThread());
    dispatcher.Synchronize([&] { ranOn = std::this_thread::get_id(); });
    returned = true;
  });
  EXPECT_TRUE(dispatcher.ProcessUntil([&] { return ranOn != std::thread::id(); }, 60000));
  caller.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(CallQueueDispatcherTest, ErrorsGoBackToTheCaller) {
  TCallQueueDispatcher dispatcher;
  std::atomic<bool> caught{false};
  std::atomic<bool> finished{false};
  std::thread caller([&] {
    try {
      dispatcher.Synchronize([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error& error) {
      caught = std::string(error.what()) == "handler failed";
    }
    finished = true;
  });
  EXPECT_TRUE(dispatcher.ProcessUntil([&] { return finished.load(); }, 60000));
  caller.join();
  EXPECT_TRUE(caught);
}

TEST(CallQueueDispatcherTest, CallsRunInsideANestedLoop) {
  TCallQueueDispatcher dispatcher;
  std::atomic<int> done{0};
  std::atomic<bool> nested{false};
  int ranInsideNested = 0;
  std::thread first([&] {
    dispatcher.Synchronize([&] {
      // A modal loop: the second thread's call runs inside it.
      nested = true;
      dispatcher.ProcessUntil([&] { return ranInsideNested == 1; }, 60000);
      nested = false;
    });
    ++done;
  });
  std::thread second([&] {
    while (!nested) std::this_thread::yield();
    dispatcher.Synchronize([&] { ranInsideNested += nested ? 1 : 0; });
    ++done;
  });
  EXPECT_TRUE(dispatcher.ProcessUntil([&] { return done == 2; }, 60000));
  first.join();
  second.join();
  EXPECT_EQ(ranInsideNested, 1);
}

} // namespace
