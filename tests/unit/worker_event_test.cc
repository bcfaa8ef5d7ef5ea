#include "app/worker_event.h"

#include <gtest/gtest.h>

#include "network/release_store.h"

namespace velmo {
namespace {

TEST(WorkerEventTest, TagValuesArePositions) {
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::policy_ready().tag), 0u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::policy_failed("").tag), 1u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::progress(Component::General, 0, "").tag), 2u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::installing(Component::General, "").tag), 3u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::component_installed(Component::General).tag), 4u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::component_downloaded(Component::General).tag), 5u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::install_completed().tag), 6u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::install_failed("").tag), 7u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::launch_succeeded().tag), 8u);
  EXPECT_EQ(static_cast<uint32_t>(WorkerEvent::launch_failed("").tag), 9u);
}

TEST(WorkerEventTest, TerminalVariants) {
  EXPECT_FALSE(WorkerEvent::policy_ready().is_terminal());
  EXPECT_TRUE(WorkerEvent::policy_failed("x").is_terminal());
  EXPECT_FALSE(WorkerEvent::progress(Component::Workbench, 1, "x").is_terminal());
  EXPECT_FALSE(WorkerEvent::installing(Component::Workbench, "x").is_terminal());
  EXPECT_FALSE(WorkerEvent::component_installed(Component::Workbench).is_terminal());
  EXPECT_FALSE(WorkerEvent::component_downloaded(Component::Workbench).is_terminal());
  EXPECT_TRUE(WorkerEvent::install_completed().is_terminal());
  EXPECT_TRUE(WorkerEvent::install_failed("x").is_terminal());
  EXPECT_TRUE(WorkerEvent::launch_succeeded().is_terminal());
  EXPECT_TRUE(WorkerEvent::launch_failed("x").is_terminal());
}

TEST(WorkerEventTest, PayloadsLandInTheirFields) {
  const WorkerEvent event = WorkerEvent::progress(Component::WebView2Runtime, 37, "正在下载");
  EXPECT_EQ(event.component, Component::WebView2Runtime);
  EXPECT_EQ(event.percent, 37u);
  EXPECT_EQ(event.message, "正在下载");
  EXPECT_EQ(WorkerEvent::install_completed().component, Component::General);
}

struct LabelCase {
  uint32_t component;
  std::optional<std::string> version;
  std::string label;
};

class ComponentLabelTest : public testing::TestWithParam<LabelCase> {};

TEST_P(ComponentLabelTest, Labels) {
  EXPECT_EQ(component_short_label(static_cast<Component>(GetParam().component), GetParam().version),
            GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ComponentLabelTest,
                         testing::Values(LabelCase{0, std::nullopt, "安装组件"},
                                         LabelCase{1, std::nullopt, "Service Pack 1"},
                                         LabelCase{2, std::nullopt, "KB4490628"},
                                         LabelCase{3, std::nullopt, "KB4474419"},
                                         LabelCase{4, "1.2.3", "WebView2 运行环境"},
                                         LabelCase{5, "1.10.0", "VelmoQen工作台 v1.10.0"},
                                         LabelCase{5, std::nullopt, "VelmoQen工作台 v等待检测"},
                                         LabelCase{6, std::nullopt, "安装组件"},
                                         LabelCase{0xFFFFFFFF, "1.0.0", "安装组件"}));

TEST(WorkerEventTest, EventNames) {
  EXPECT_STREQ(worker_event_name(WorkerEventTag::Progress), "Progress");
  EXPECT_STREQ(worker_event_name(WorkerEventTag::InstallCompleted), "InstallCompleted");
  EXPECT_STREQ(worker_event_name(WorkerEventTag::LaunchFailed), "LaunchFailed");
}

TEST(ReleaseStoreTest, LoadBeforeStoreFails) {
  ReleaseStore store;
  const auto loaded = store.load();
  ASSERT_FALSE(loaded.has_value());
  EXPECT_EQ(loaded.error(), "尚未取得正式版本策略，请重新检测。");
}

TEST(ReleaseStoreTest, StoreReplacesAndLoadCopies) {
  ReleaseStore store;
  const VerifiedRelease first{"1.0.0", "https://localhost/a", std::string(64, 'A'), 10};
  const VerifiedRelease second{"1.1.0", "https://localhost/b", std::string(64, 'b'), 20};
  ASSERT_TRUE(store.store(first).has_value());
  ASSERT_TRUE(store.store(second).has_value());
  auto loaded = store.load();
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(*loaded, second);
  loaded->latest_version = "9.9.9";
  EXPECT_EQ(store.load()->latest_version, "1.1.0");
}

}  // namespace
}  // namespace velmo
