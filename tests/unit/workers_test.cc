#include "app/workers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ui/policy_check.h"

namespace velmo {
namespace {

const VerifiedRelease kRelease{"1.4.0", "https://localhost/v1/downloads/x.package",
                               std::string(64, 'A'), 1234};

TEST(PolicyWorkerTest, SuccessStoresReleaseThenSendsPolicyReady) {
  ReleaseStore store;
  ProgressChannel channel = open_progress_queue();
  run_policy_worker(
      channel.sender, [] { return Result<VerifiedRelease>(kRelease); }, store);
  auto event = channel.receiver.try_receive();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(event->tag, WorkerEventTag::PolicyReady);
  EXPECT_FALSE(channel.receiver.try_receive().has_value());
  EXPECT_EQ(store.load().value(), kRelease);
}

TEST(PolicyWorkerTest, FailureSendsPolicyFailedAndStoresNothing) {
  ReleaseStore store;
  ProgressChannel channel = open_progress_queue();
  run_policy_worker(
      channel.sender, [] { return Result<VerifiedRelease>(fail("连接正式更新服务失败：x")); },
      store);
  auto event = channel.receiver.try_receive();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(event->tag, WorkerEventTag::PolicyFailed);
  EXPECT_EQ(event->message, "连接正式更新服务失败：x");
  EXPECT_FALSE(store.load().has_value());
}

TEST(InstallationWorkerTest, FailureBecomesInstallFailed) {
  ProgressChannel channel = open_progress_queue();
  run_installation_worker(InstallationInputs{"D:\\IDE"}, channel.sender,
                          [](const InstallationInputs& inputs, const EventSender&) -> Status {
                            return fail("安装失败：" + inputs.install_dir);
                          });
  auto event = channel.receiver.try_receive();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(event->tag, WorkerEventTag::InstallFailed);
  EXPECT_EQ(event->message, "安装失败：D:\\IDE");
}

TEST(InstallationWorkerTest, SuccessAddsNothingAfterTheRunsOwnEvents) {
  ProgressChannel channel = open_progress_queue();
  run_installation_worker(InstallationInputs{}, channel.sender,
                          [](const InstallationInputs&, const EventSender& sender) -> Status {
                            sender.send(WorkerEvent::install_completed());
                            return ok();
                          });
  auto event = channel.receiver.try_receive();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(event->tag, WorkerEventTag::InstallCompleted);
  EXPECT_FALSE(channel.receiver.try_receive().has_value());
}

// Holds the worker threads until the test lets them go.
class Gate {
 public:
  void wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return open_; });
  }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

std::vector<WorkerEvent> wait_for_events(ReceiverSlot& slot, size_t count) {
  std::vector<WorkerEvent> events;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
    for (WorkerEvent& event : slot.take_waiting()) {
      events.push_back(std::move(event));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return events;
}

TEST(StartPolicyCheckTest, RecheckDiscardsTheEarlierRunsAnswer) {
  auto gate = std::make_shared<Gate>();
  ReceiverSlot slot;
  UiState state;
  state.policy_ready = true;
  start_policy_check(state, slot, [gate] {
    gate->wait();
    return Result<VerifiedRelease>(fail("earlier run"));
  });
  EXPECT_FALSE(state.policy_ready);
  start_policy_check(state, slot, [] { return Result<VerifiedRelease>(fail("later run")); });

  const std::vector<WorkerEvent> first = wait_for_events(slot, 1);
  gate->open();
  // Give the earlier worker time to send; its event must not arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::vector<WorkerEvent> all = first;
  for (WorkerEvent& event : slot.take_waiting()) {
    all.push_back(std::move(event));
  }
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].message, "later run");
}

TEST(StartInstallationRunTest, RunsOnAWorkerThreadWithACopyOfTheInputs) {
  ReceiverSlot slot;
  const std::thread::id window_thread = std::this_thread::get_id();
  start_installation_run(
      InstallationInputs{"E:\\工作台", true, false}, slot,
      [window_thread](const InstallationInputs& inputs, const EventSender&) -> Status {
        if (std::this_thread::get_id() == window_thread) {
          return fail("ran on the window thread");
        }
        return fail(inputs.install_dir + (inputs.webview2_present ? " webview2" : ""));
      });
  const std::vector<WorkerEvent> events = wait_for_events(slot, 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].tag, WorkerEventTag::InstallFailed);
  EXPECT_EQ(events[0].message, "E:\\工作台 webview2");
}

}  // namespace
}  // namespace velmo
