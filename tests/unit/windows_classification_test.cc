#include "environment/windows_classification.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

struct ClassificationCase {
  const char* name;
  std::optional<OsVersion> version;
  WindowsClassification expected;
};

constexpr uint8_t kWorkstation = kProductWorkstation;
constexpr uint8_t kServer = kProductServer;
constexpr uint8_t kDomainController = kProductDomainController;

const ClassificationCase kCases[] = {
    {"Windows10_19045",
     OsVersion{10, 0, 19045, kWorkstation},
     {"Windows 10 x64 · Build 19045", "正常版", true}},
    {"Windows10_LastBuildBeforeEleven",
     OsVersion{10, 0, 21999, kWorkstation},
     {"Windows 10 x64 · Build 21999", "正常版", true}},
    {"Windows11_FirstBuild",
     OsVersion{10, 0, 22000, kWorkstation},
     {"Windows 11 x64 · Build 22000", "正常版", true}},
    {"FutureMajorWorkstation",
     OsVersion{11, 2, 30000, kWorkstation},
     {"Windows 11 x64 · Build 30000", "正常版", true}},
    {"Vista",
     OsVersion{6, 0, 6002, kWorkstation},
     {"Windows Vista x64 · Build 6002", "不支持当前系统", false}},
    {"Windows7Sp1",
     OsVersion{6, 1, 7601, kWorkstation},
     {"Windows 7 x64 · Build 7601", "仅支持 Windows 10/11 x64", false}},
    {"Server2008R2",
     OsVersion{6, 1, 7601, kServer},
     {"Windows Server x64 · Build 7601", "服务器兼容模式", true}},
    {"Server2022",
     OsVersion{10, 0, 20348, kServer},
     {"Windows Server x64 · Build 20348", "服务器兼容模式", true}},
    {"DomainControllerOfVista",
     OsVersion{6, 0, 6002, kDomainController},
     {"Windows Server x64 · Build 6002", "服务器兼容模式", true}},
    {"DomainControllerOfTen",
     OsVersion{10, 0, 17763, kDomainController},
     {"Windows Server x64 · Build 17763", "服务器兼容模式", true}},
    {"Windows81",
     OsVersion{6, 3, 9600, kWorkstation},
     {"Windows 6.3 x64 · Build 9600", "需要进一步确认", false}},
    {"Windows8",
     OsVersion{6, 2, 9200, kWorkstation},
     {"Windows 6.2 x64 · Build 9200", "需要进一步确认", false}},
    {"VersionNine",
     OsVersion{9, 0, 1, kWorkstation},
     {"Windows 9.0 x64 · Build 1", "需要进一步确认", false}},
    {"BelowSix",
     OsVersion{5, 1, 2600, kWorkstation},
     {"Windows 5.1 x64 · Build 2600", "需要进一步确认", false}},
    {"TenWithUnknownProductType",
     OsVersion{10, 0, 19045, 0},
     {"Windows 10.0 x64 · Build 19045", "需要进一步确认", false}},
    {"TenWithProductTypeFour",
     OsVersion{10, 0, 22631, 4},
     {"Windows 10.0 x64 · Build 22631", "需要进一步确认", false}},
    {"SevenWithUnknownProductType",
     OsVersion{6, 1, 7601, 7},
     {"Windows 6.1 x64 · Build 7601", "需要进一步确认", false}},
    {"ReadFailed", std::nullopt, {"Windows（版本读取失败）", "等待检测", false}},
};

class ClassificationTest : public testing::TestWithParam<ClassificationCase> {};

TEST_P(ClassificationTest, GivesTheRowsLabelVerdictAndSupport) {
  const ClassificationCase& c = GetParam();
  EXPECT_EQ(classify_windows(c.version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ClassificationTest,
                         testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
