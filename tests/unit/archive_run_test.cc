#include "main/archive_run.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

constexpr char kTemp[] = "C:\\Users\\li\\AppData\\Local\\Temp\\";

struct ArchiveCase {
  const char* name;
  std::string program;
  std::string temp;
  bool archive;
};

class ArchiveRunTest : public testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveRunTest, Classifies) {
  EXPECT_EQ(is_archive_run(GetParam().program, GetParam().temp), GetParam().archive)
      << GetParam().program;
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    ArchiveRunTest,
    testing::Values(
        ArchiveCase{"WinRarFolderAnyCase", std::string(kTemp) + "Rar$EXa1234.5678\\setup.exe",
                    kTemp, true},
        ArchiveCase{"WinRarDragFolder", std::string(kTemp) + "rar$DIa0.1\\setup.exe", kTemp, true},
        ArchiveCase{"PlainSubfolder", std::string(kTemp) + "setup\\setup.exe", kTemp, false},
        ArchiveCase{"TempNamedZipFolder", std::string(kTemp) + "tempdir.zip_files\\setup.exe",
                    kTemp, true},
        ArchiveCase{"TempWithoutArchiveName", std::string(kTemp) + "tempdir\\setup.exe", kTemp,
                    false},
        ArchiveCase{"FolderEndingInZip", std::string(kTemp) + "pkg.ZIP\\setup.exe", kTemp, true},
        ArchiveCase{"FolderEndingInRar", std::string(kTemp) + "a\\b.rar\\setup.exe", kTemp, true},
        ArchiveCase{"Folder7z", std::string(kTemp) + ".7z\\setup.exe", kTemp, true},
        ArchiveCase{"FileNameIsASegment", std::string(kTemp) + "setup.exe.7z", kTemp, true},
        ArchiveCase{"SevenZipFolder", std::string(kTemp) + "7zO8A1B\\setup.exe", kTemp, true},
        ArchiveCase{"SevenZipS", std::string(kTemp) + "7zS12\\setup.exe", kTemp, true},
        ArchiveCase{"SevenZipE", std::string(kTemp) + "7zE12\\setup.exe", kTemp, true},
        ArchiveCase{"SevenZipT", std::string(kTemp) + "7zT12\\setup.exe", kTemp, true},
        ArchiveCase{"SevenZipOtherLetter", std::string(kTemp) + "7zX12\\setup.exe", kTemp, false},
        ArchiveCase{"Zip360", std::string(kTemp) + "360zip$Temp\\setup.exe", kTemp, true},
        ArchiveCase{"HaoZip", std::string(kTemp) + "HaoZip$a\\setup.exe", kTemp, true},
        ArchiveCase{"Bandizip", std::string(kTemp) + "Bandizip\\setup.exe", kTemp, true},
        ArchiveCase{"Bnz", std::string(kTemp) + "BNZ.6123\\setup.exe", kTemp, true},
        ArchiveCase{"ShortSegmentsSkipped", std::string(kTemp) + "7z\\setup.exe", kTemp, false},
        ArchiveCase{"OutsideTemp", "D:\\Downloads\\Rar$EXa1.2\\setup.exe", kTemp, false},
        ArchiveCase{"TempFolderItselfNamedLikeArchive", "C:\\Temp.zip\\setup.exe", "C:\\Temp.zip",
                    false},
        ArchiveCase{"SiblingFolderWithSamePrefix",
                    "C:\\Users\\li\\AppData\\Local\\Temp2\\Rar$EX1\\setup.exe", kTemp, false},
        ArchiveCase{"ForwardSlashesAndCase", "c:/users/LI/appdata/local/temp/RAR$EXa1/setup.exe",
                    kTemp, true},
        ArchiveCase{"TempWithoutTrailingSeparator", std::string(kTemp) + "Rar$EXa1\\setup.exe",
                    "C:\\Users\\li\\AppData\\Local\\Temp", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NormalizeForArchiveCheckTest, NormalizesSeparatorsCaseAndTrailingSlashes) {
  EXPECT_EQ(normalize_for_archive_check("C:/Users/Li\\Temp\\\\"), "c:\\users\\li\\temp");
  EXPECT_EQ(normalize_for_archive_check("D:\\工作台\\"), "d:\\工作台");
}

}  // namespace
}  // namespace velmo
