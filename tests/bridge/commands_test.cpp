#include <gtest/gtest.h>

#include "bridge/nv_api.h"

namespace nv {
namespace {

using Fields = std::vector<std::wstring>;

TEST(SplitCommand, KeepsEmptyAndTrailingFields) {
  EXPECT_EQ(SplitCommand(L"ready"), Fields({L"ready"}));
  EXPECT_EQ(SplitCommand(L"ready|"), Fields({L"ready", L""}));
  EXPECT_EQ(SplitCommand(L"install|C:\\Games\\Norvane|1|0"),
            Fields({L"install", L"C:\\Games\\Norvane", L"1", L"0"}));
  EXPECT_EQ(SplitCommand(L"install||1"), Fields({L"install", L"", L"1"}));
  EXPECT_EQ(SplitCommand(L"|"), Fields({L"", L""}));
  EXPECT_EQ(SplitCommand(L"a||"), Fields({L"a", L"", L""}));
  EXPECT_EQ(SplitCommand(L""), Fields({L""}));
}

TEST(SplitCommand, FieldsWithBlanksAndNonAsciiStayIntact) {
  EXPECT_EQ(SplitCommand(L"install| D:\\Spiele\\Norvane  |0"),
            Fields({L"install", L" D:\\Spiele\\Norvane  ", L"0"}));
  EXPECT_EQ(SplitCommand(L"install|C:\\J\u00e9u\\\u65e5\u672c"),
            Fields({L"install", L"C:\\J\u00e9u\\\u65e5\u672c"}));
}

TEST(CommandFields, MissingFieldsAreEmptyAndOnlyOneIsTrue) {
  const Fields install = SplitCommand(L"install|C:\\X|1");
  EXPECT_EQ(CommandField(install, 1), L"C:\\X");
  EXPECT_EQ(CommandField(install, 3), L"");  // absent: the caller decides the default
  EXPECT_TRUE(IsTrueField(install, 2));
  EXPECT_FALSE(IsTrueField(install, 3));
  const Fields odd = SplitCommand(L"hd|true|11| 1|01");
  for (std::size_t i = 1; i <= 4; ++i) EXPECT_FALSE(IsTrueField(odd, i)) << i;
}

}  // namespace
}  // namespace nv
