#include "network/background_hasher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "network/sha256_file.h"
#include "platform/sha256.h"

namespace velmo {
namespace {

std::vector<std::byte> random_bytes(size_t size) {
  std::vector<std::byte> bytes(size);
  std::mt19937 random(11);
  for (std::byte& b : bytes) {
    b = static_cast<std::byte>(random());
  }
  return bytes;
}

struct FeedCase {
  const char* name;
  size_t size;
  size_t piece;  // bytes per feed() call
};

class BackgroundHasherTest : public testing::TestWithParam<FeedCase> {};

// Whatever the pieces, the digest is that of all bytes in order: pieces
// that straddle blocks, exact blocks, and more data than all blocks hold
// together (so feed() must wait for the hashing thread to return blocks).
TEST_P(BackgroundHasherTest, DigestEqualsTheOneShotDigestOfEverythingFed) {
  const std::vector<std::byte> data = random_bytes(GetParam().size);
  BackgroundHasher hasher;
  for (size_t at = 0; at < data.size(); at += GetParam().piece) {
    const size_t count = std::min(GetParam().piece, data.size() - at);
    hasher.feed(std::span(data).subspan(at, count));
  }
  OsResult<Sha256Digest> digest = hasher.finish();
  ASSERT_TRUE(digest.has_value()) << digest.error().text;
  EXPECT_EQ(digest_to_hex(*digest), digest_to_hex(sha256_of(data).value()));
}

// The same through room() and commit(), the way a reader fills the
// hasher's memory directly: pieces never exceed the room offered, and a
// room larger than the piece is only partly used before the next call.
TEST_P(BackgroundHasherTest, FillingTheRoomDirectlyGivesTheSameDigest) {
  const std::vector<std::byte> data = random_bytes(GetParam().size);
  BackgroundHasher hasher;
  size_t at = 0;
  while (at < data.size()) {
    const std::span<std::byte> room = hasher.room();
    ASSERT_FALSE(room.empty());
    const size_t count = std::min({GetParam().piece, data.size() - at, room.size()});
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), count, room.begin());
    hasher.commit(count);
    at += count;
  }
  OsResult<Sha256Digest> digest = hasher.finish();
  ASSERT_TRUE(digest.has_value()) << digest.error().text;
  EXPECT_EQ(digest_to_hex(*digest), digest_to_hex(sha256_of(data).value()));
}

constexpr size_t kBlock = BackgroundHasher::kBlockBytes;
constexpr size_t kAllBlocks = BackgroundHasher::kBlockBytes * BackgroundHasher::kBlockCount;

INSTANTIATE_TEST_SUITE_P(
    Table,
    BackgroundHasherTest,
    testing::Values(FeedCase{"Nothing", 0, 1},
                    FeedCase{"OneByte", 1, 1},
                    FeedCase{"ExactlyOneBlock", kBlock, kBlock},
                    FeedCase{"OneBlockAndAByte", kBlock + 1, kBlock},
                    FeedCase{"OddPiecesAcrossBlocks", 3 * kBlock + 12345, 16381},
                    FeedCase{"MoreThanAllBlocksInSmallPieces", 2 * kAllBlocks + 7, 16384},
                    FeedCase{"MoreThanAllBlocksInOneFeed", 2 * kAllBlocks + 7, 2 * kAllBlocks + 7}),
    [](const auto& info) { return std::string(info.param.name); });

// A transfer that fails half-way drops its hasher without finish(): that
// must neither hang nor touch freed blocks (the sanitizer build watches),
// however much is still queued, and leaves later hashers unaffected.
TEST(BackgroundHasherAbandonTest, DroppingAHasherWithBlocksPendingEndsItsThread) {
  const std::vector<std::byte> data = random_bytes(kAllBlocks + 5);
  const std::string expected = digest_to_hex(sha256_of(data).value());
  for (int round = 0; round < 10; ++round) {
    {
      BackgroundHasher dropped;
      dropped.feed(data);
    }
    BackgroundHasher finished;
    finished.feed(data);
    OsResult<Sha256Digest> digest = finished.finish();
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(digest_to_hex(*digest), expected);
  }
}

}  // namespace
}  // namespace velmo
