#include "ui/component_labels.h"

#include <gtest/gtest.h>

#include <chrono>

#include "fake_ui_services.h"
#include "ui/text_inputs.h"
#include "ui_test_state.h"

namespace velmo {
namespace {

TextInputs with_release() {
  return TextInputs{test::test_release(), 0};
}

TEST(ComponentLabelsTest, DisplayLabels) {
  struct Case {
    Component component;
    const char* label;
  };
  const Case cases[] = {
      {Component::General, "安装组件"},
      {Component::WebView2Runtime, "WebView2 Evergreen 运行环境"},
      {Component::Workbench, "VelmoQen工作台 v2.3.4"},
      // A value from outside the list is named like General.
      {static_cast<Component>(9), "安装组件"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(component_display_label(c.component, with_release()), c.label)
        << static_cast<int>(c.component);
  }
}

TEST(ComponentLabelsTest, WithoutPolicyTheVersionWaitsForTheCheck) {
  const TextInputs none;
  EXPECT_EQ(component_display_label(Component::Workbench, none), "VelmoQen工作台 v等待检测");
  EXPECT_EQ(version_chip_text(none), "目标版本  v等待检测");
  EXPECT_EQ(version_chip_text(with_release()), "目标版本  v2.3.4");
}

TEST(ComponentLabelsTest, DownloadSizes) {
  struct Case {
    Component component;
    std::optional<uint64_t> installer_bytes;
    const char* text;
  };
  const Case cases[] = {
      {Component::WebView2Runtime, std::nullopt, "1.7 MB"},
      {Component::WebView2Runtime, 5, "1.7 MB"},
      {Component::Workbench, 123'456'789, "123.5 MB"},
      {Component::Workbench, 0, "0.0 MB"},
      {Component::Workbench, 1'049'999, "1.0 MB"},
      {Component::Workbench, std::nullopt, "等待服务器"},
  };
  for (const Case& c : cases) {
    TextInputs inputs;
    if (c.installer_bytes) {
      inputs.release = test::test_release();
      inputs.release->installer_bytes = *c.installer_bytes;
    }
    EXPECT_EQ(download_size_text(c.component, inputs), c.text) << c.text;
  }
}

TEST(ComponentLabelsTest, ElapsedTime) {
  struct Case {
    uint64_t seconds;
    const char* text;
  };
  const Case cases[] = {
      {0, "00分00秒"},           {59, "00分59秒"},        {60, "01分00秒"},
      {3599, "59分59秒"},        {3600, "1小时00分00秒"}, {3661, "1小时01分01秒"},
      {36000, "10小时00分00秒"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(elapsed_text(c.seconds), c.text) << c.seconds;
  }
}

TEST(TextInputsTest, ElapsedSecondsSinceTheInstallStartTime) {
  using namespace std::chrono_literals;
  test::FakeUiServices fake;
  const UiServices services = fake.services();
  EXPECT_EQ(text_inputs(services).elapsed_seconds, 0u);

  install_start_time().set(fake.now - 61'900ms);
  EXPECT_EQ(text_inputs(services).elapsed_seconds, 61u);

  // A start after "now" never shows a huge time.
  install_start_time().set(fake.now + 5s);
  EXPECT_EQ(text_inputs(services).elapsed_seconds, 0u);
}

TEST(TextInputsTest, ReleaseOnlyWhenStored) {
  test::FakeUiServices fake;
  EXPECT_FALSE(text_inputs(fake.services()).release.has_value());
  fake.release = test::test_release();
  EXPECT_EQ(text_inputs(fake.services()).release, test::test_release());
}

}  // namespace
}  // namespace velmo
