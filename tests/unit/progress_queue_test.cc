#include "app/progress_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/receiver_slot.h"

namespace velmo {
namespace {

std::vector<WorkerEventTag> tags(const std::vector<WorkerEvent>& events) {
  std::vector<WorkerEventTag> result;
  for (const WorkerEvent& event : events) {
    result.push_back(event.tag);
  }
  return result;
}

TEST(ProgressQueueTest, KeepsOrderOfOneSender) {
  ProgressChannel channel = open_progress_queue();
  for (uint32_t percent = 0; percent < 5; ++percent) {
    channel.sender.send(WorkerEvent::progress(Component::Workbench, percent, "m"));
  }
  for (uint32_t percent = 0; percent < 5; ++percent) {
    auto event = channel.receiver.try_receive();
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->percent, percent);
  }
  EXPECT_FALSE(channel.receiver.try_receive().has_value());
}

TEST(ProgressQueueTest, SendAfterReceiverIsGoneIsDiscarded) {
  ProgressChannel channel = open_progress_queue();
  EventSender sender = channel.sender;
  EXPECT_TRUE(sender.receiver_alive());
  { EventReceiver gone = std::move(channel.receiver); }
  EXPECT_FALSE(sender.receiver_alive());
  sender.send(WorkerEvent::install_failed("lost"));  // must neither block nor crash
}

TEST(ProgressQueueTest, ManySendersKeepTheirOwnOrder) {
  ProgressChannel channel = open_progress_queue();
  constexpr uint32_t kPerSender = 2000;
  std::vector<std::thread> senders;
  for (uint32_t id = 0; id < 4; ++id) {
    senders.emplace_back([sender = channel.sender, id] {
      for (uint32_t i = 0; i < kPerSender; ++i) {
        sender.send(WorkerEvent::progress(static_cast<Component>(id), i, ""));
      }
    });
  }
  for (std::thread& t : senders) {
    t.join();
  }
  std::vector<uint32_t> next(4, 0);
  uint32_t total = 0;
  while (auto event = channel.receiver.try_receive()) {
    const auto id = static_cast<uint32_t>(event->component);
    ASSERT_LT(id, 4u);
    EXPECT_EQ(event->percent, next[id]);
    next[id] = event->percent + 1;
    ++total;
  }
  EXPECT_EQ(total, 4 * kPerSender);
}

TEST(ReceiverSlotTest, ReplacedReceiverDropsEarlierRunsEvents) {
  ReceiverSlot slot;
  ProgressChannel first = open_progress_queue();
  slot.park(std::move(first.receiver));
  first.sender.send(WorkerEvent::policy_ready());

  ProgressChannel second = open_progress_queue();
  slot.park(std::move(second.receiver));
  first.sender.send(WorkerEvent::policy_failed("old run"));
  second.sender.send(WorkerEvent::policy_failed("new run"));

  const std::vector<WorkerEvent> events = slot.take_waiting();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "new run");
  EXPECT_FALSE(first.sender.receiver_alive());
}

TEST(ReceiverSlotTest, TakesEverythingWaitingInOrder) {
  ReceiverSlot slot;
  ProgressChannel channel = open_progress_queue();
  slot.park(std::move(channel.receiver));
  channel.sender.send(WorkerEvent::progress(Component::Workbench, 10, "a"));
  channel.sender.send(WorkerEvent::component_downloaded(Component::Workbench));
  channel.sender.send(WorkerEvent::installing(Component::Workbench, "b"));
  EXPECT_EQ(tags(slot.take_waiting()),
            (std::vector{WorkerEventTag::Progress, WorkerEventTag::ComponentDownloaded,
                         WorkerEventTag::Installing}));
  EXPECT_TRUE(slot.take_waiting().empty());
}

TEST(ReceiverSlotTest, DropClosesTheQueue) {
  ReceiverSlot slot;
  ProgressChannel channel = open_progress_queue();
  slot.park(std::move(channel.receiver));
  slot.drop();
  EXPECT_FALSE(slot.has_receiver());
  EXPECT_FALSE(channel.sender.receiver_alive());
  channel.sender.send(WorkerEvent::policy_ready());
  EXPECT_TRUE(slot.take_waiting().empty());
}

TEST(ReceiverSlotTest, EmptySlotGivesNothing) {
  ReceiverSlot slot;
  EXPECT_FALSE(slot.has_receiver());
  EXPECT_TRUE(slot.take_waiting().empty());
}

}  // namespace
}  // namespace velmo
