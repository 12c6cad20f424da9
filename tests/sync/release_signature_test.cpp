#include <gtest/gtest.h>

#include <string>

#include "sync/release_signature.h"

namespace nv {
namespace {

const std::string kPoint = std::string(64, 'a') + std::string(64, 'B');
const std::string kKey = "04" + kPoint;

TEST(ReleaseSignature, BuildSettingPinsZeroOneOrTwoKeysAndFailsClosed) {
  struct Row {
    std::string text;
    bool required;
    std::size_t keys;
  };
  const Row rows[] = {
      {"", false, 0},
      {" \t", false, 0},
      {kKey, true, 1},
      {kKey + "," + kKey, true, 2},
      {" " + kKey + " , " + kKey + "\n", true, 2},
      // Mistyped: still required, nothing pinned, so nothing verifies.
      {kKey + "," + kKey + "," + kKey, true, 0},
      {kKey + ",", true, 0},
      {"02" + kPoint, true, 0},            // compressed points are not taken
      {"04" + kPoint.substr(2), true, 0},  // one byte short
      {"04" + kPoint + "00", true, 0},
      {"04" + kPoint.substr(2) + "zz", true, 0},
  };
  for (const Row& row : rows) {
    const ReleaseKeys keys = ParseReleaseKeys(row.text);
    EXPECT_EQ(keys.required, row.required) << row.text;
    EXPECT_EQ(keys.keys.size(), row.keys) << row.text;
  }
  const ReleaseKeys one = ParseReleaseKeys(kKey);
  ASSERT_EQ(one.keys.size(), 1u);
  EXPECT_EQ(one.keys[0][0], 0xaa);
  EXPECT_EQ(one.keys[0][63], 0xbb);
}

TEST(ReleaseSignature, SignatureFileIsR_S_InHex) {
  const std::string hex = std::string(64, '0') + std::string(62, 'f') + "0E";
  const auto signature = ParseReleaseSignature(hex + "\r\n");
  ASSERT_TRUE(signature);
  EXPECT_EQ((*signature)[0], 0x00);
  EXPECT_EQ((*signature)[32], 0xff);
  EXPECT_EQ((*signature)[63], 0x0e);
  for (const std::string& bad : {std::string(), hex.substr(1), hex + "0", hex.substr(1) + "g",
                                 hex.substr(0, 64) + " " + hex.substr(64)})
    EXPECT_FALSE(ParseReleaseSignature(bad)) << bad;
}

TEST(ReleaseSignature, VersionsOrderByNumericFieldsAndRollbacksAreRefused) {
  struct Row {
    const char* offered;
    const char* current;
    int order;  // of offered against current
  };
  const Row rows[] = {
      {"1", "1.0.0", 0},
      {"2", "1.0.0", 1},
      {"1.0.1", "1.0.0", 1},
      {"1.9", "1.10", -1},    // numbers, not text
      {"010", "9", 1},        // leading zeros do not count
      {"99999999999999999999999", "99999999999999999999998", 1},  // no overflow
      {"2024.1", "2024.1b", -1},  // text fields compare as bytes
      {"1.0a", "1.0", 1},
      {"v2", "v10", 1},
      {"", "1", -1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CompareVersions(row.offered, row.current), row.order) << row.offered << " " << row.current;
    EXPECT_EQ(CompareVersions(row.current, row.offered), -row.order) << row.offered << " " << row.current;
    EXPECT_EQ(IsRollback(row.offered, row.current), row.order < 0) << row.offered << " " << row.current;
  }
  // Nothing installed: nothing to roll back from.
  EXPECT_FALSE(IsRollback("1", ""));
}

}  // namespace
}  // namespace nv
