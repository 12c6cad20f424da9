#include <gtest/gtest.h>

#include <string>

#include "sync/release_signature.h"

namespace nv {
namespace {

TEST(ReleaseSignature, BuildSettingPinsZeroOneOrTwoKeysAndFailsClosed) {
  const std::string point = std::string(64, 'a') + std::string(64, 'B');
  const std::string key = "04" + point;
  const struct {
    std::string text;
    bool required;
    std::size_t keys;
  } rows[] = {
      {" \t", false, 0},
      {key, true, 1},
      {" " + key + " , " + key + "\n", true, 2},
      // Mistyped: still required, nothing pinned, so nothing verifies.
      {key + "," + key + "," + key, true, 0},
      {key + ",", true, 0},
      {"02" + point, true, 0},  // compressed points are not taken
      {"04" + point.substr(2), true, 0},
      {"04" + point.substr(2) + "zz", true, 0},
  };
  for (const auto& row : rows) {
    const ReleaseKeys keys = ParseReleaseKeys(row.text);
    EXPECT_EQ(keys.required, row.required) << row.text;
    EXPECT_EQ(keys.keys.size(), row.keys) << row.text;
  }
  EXPECT_EQ(ParseReleaseKeys(key).keys.at(0)[63], 0xbb);

  const std::string hex = std::string(126, 'f') + "0E";
  EXPECT_EQ(ParseReleaseSignature(hex + "\r\n").value()[63], 0x0e);
  for (const std::string& bad : {hex.substr(1), hex + "0", hex.substr(1) + "g", hex.substr(0, 64) + " " + hex.substr(64)})
    EXPECT_FALSE(ParseReleaseSignature(bad)) << bad;
}

TEST(ReleaseSignature, VersionsOrderByNumericFieldsAndRollbacksAreRefused) {
  const struct {
    const char* offered;
    const char* current;
    int order;  // of offered against current
  } rows[] = {
      {"1", "1.0.0", 0},
      {"1.0.1", "1.0.0", 1},
      {"1.9", "1.10", -1},  // numbers, not text
      {"010", "9", 1},      // leading zeros do not count
      {"99999999999999999999999", "99999999999999999999998", 1},  // no overflow
      {"2024.1", "2024.1b", -1},  // text fields compare as bytes
      {"", "1", -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CompareVersions(row.offered, row.current), row.order) << row.offered << " " << row.current;
    EXPECT_EQ(CompareVersions(row.current, row.offered), -row.order) << row.offered << " " << row.current;
    EXPECT_EQ(IsRollback(row.offered, row.current), row.order < 0) << row.offered << " " << row.current;
  }
  EXPECT_FALSE(IsRollback("1", ""));  // nothing installed
}

}  // namespace
}  // namespace nv
