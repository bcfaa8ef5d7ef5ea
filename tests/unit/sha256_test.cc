#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "network/sha256_file.h"

namespace velmo {
namespace {

std::span<const std::byte> bytes_of(std::string_view text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

std::string hex_of(std::string_view text) {
  auto digest = sha256_of(bytes_of(text));
  EXPECT_TRUE(digest.has_value());
  return digest ? digest_to_hex(*digest) : std::string();
}

struct VectorCase {
  const char* name;
  std::string message;
  const char* digest;
};

class Sha256VectorTest : public testing::TestWithParam<VectorCase> {};

// The FIPS 180-4 example messages.
TEST_P(Sha256VectorTest, MatchesPublishedDigest) {
  EXPECT_EQ(hex_of(GetParam().message), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    Fips180,
    Sha256VectorTest,
    testing::Values(
        VectorCase{"Empty", "", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        VectorCase{"Abc", "abc",
                   "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        VectorCase{"TwoBlocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                   "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
        VectorCase{"OneMillionA", std::string(1000000, 'a'),
                   "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sha256StreamingTest, PiecesGiveTheSameDigestAsOneBuffer) {
  const std::string message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  auto hasher = Sha256::create();
  ASSERT_TRUE(hasher.has_value());
  for (size_t i = 0; i < message.size(); i += 7) {
    ASSERT_TRUE(hasher->update(bytes_of(std::string_view(message).substr(i, 7))).has_value());
  }
  auto digest = hasher->finish();
  ASSERT_TRUE(digest.has_value());
  EXPECT_EQ(digest_to_hex(*digest), hex_of(message));
}

class Sha256FileTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / (std::string("velmo-sha256-") + info->name() +
                                                     "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write_file(const std::string& name, const std::string& content) {
    const std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    return path.string();
  }

  std::filesystem::path dir_;
};

TEST_F(Sha256FileTest, SmallFileMatchesVector) {
  const auto digest = sha256_file(write_file("abc.txt", "abc"));
  ASSERT_TRUE(digest.has_value()) << digest.error();
  EXPECT_EQ(*digest, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
}

TEST_F(Sha256FileTest, FileSpanningSeveralReadsMatchesOneShotDigest) {
  // Crosses the 1 MiB read size with a ragged tail.
  std::string content(3 * kHashReadBytes + 12345, '\0');
  std::mt19937 random(7);
  for (char& c : content) {
    c = static_cast<char>(random());
  }
  const auto digest = sha256_file(write_file("big.bin", content));
  ASSERT_TRUE(digest.has_value()) << digest.error();
  EXPECT_EQ(*digest, hex_of(content));
}

TEST_F(Sha256FileTest, MissingFileGivesTheReadMessage) {
  const auto digest = sha256_file((dir_ / "missing.bin").string());
  ASSERT_FALSE(digest.has_value());
  EXPECT_TRUE(digest.error().starts_with("读取校验文件失败：")) << digest.error();
  EXPECT_TRUE(digest.error().ends_with(" (os error 2)")) << digest.error();
}

TEST_F(Sha256FileTest, ChineseFileName) {
  const auto digest = sha256_file(write_file("工作台.bin", ""));
  ASSERT_TRUE(digest.has_value()) << digest.error();
  EXPECT_EQ(*digest, "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

#ifndef _WIN32
// Compares with the system's sha256sum on a file of several MiB written here.
TEST_F(Sha256FileTest, AgreesWithSha256sum) {
  std::string content(5 * 1024 * 1024 + 3, '\0');
  std::mt19937_64 random(std::random_device{}());
  for (char& c : content) {
    c = static_cast<char>(random());
  }
  const std::string path = write_file("sum.bin", content);
  FILE* pipe = ::popen(("sha256sum '" + path + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof(line), pipe), nullptr);
  ASSERT_EQ(::pclose(pipe), 0);
  const std::string expected(line, 64);
  const auto digest = sha256_file(path);
  ASSERT_TRUE(digest.has_value()) << digest.error();
  EXPECT_TRUE(digests_equal(*digest, expected)) << *digest << " vs " << expected;
  EXPECT_EQ(*digest, [&] {
    std::string upper = expected;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
  }());
}
#endif

struct EqualCase {
  std::string a;
  std::string b;
  bool equal;
};

class DigestsEqualTest : public testing::TestWithParam<EqualCase> {};

TEST_P(DigestsEqualTest, Compares) {
  EXPECT_EQ(digests_equal(GetParam().a, GetParam().b), GetParam().equal);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         DigestsEqualTest,
                         testing::Values(EqualCase{"ABCDEF", "abcdef", true},
                                         EqualCase{"ABCDEF", "ABCDEF", true},
                                         EqualCase{"ABCDEF", "ABCDE", false},
                                         EqualCase{"ABCDEF", "ABCDEF0", false},
                                         EqualCase{"ABCDEF", "ABCDEG", false},
                                         EqualCase{"", "", true}));

}  // namespace
}  // namespace velmo
