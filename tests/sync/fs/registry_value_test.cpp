// The registry string reader against the test prefix's registry.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/registry_cleanup.h"
#include "sync/fs/registry_value.h"

namespace nv {
namespace {

using test::ScopedRegistryKey;

TEST(ReadRegistryString, TypesLengthAndMissingValues) {
  const wchar_t* subkey = L"Software\\NorvaneTest\\Strings";
  ScopedRegistryKey key(HKEY_CURRENT_USER, subkey);
  ASSERT_TRUE(key.SetString(L"plain", L"hello"));
  ASSERT_TRUE(key.SetString(L"expand", L"%TEMP%\\x", REG_EXPAND_SZ));
  ASSERT_TRUE(key.SetString(L"long", std::wstring(300, L'z')));
  ASSERT_TRUE(key.SetDword(L"number", 7));

  // As the runtime detection reads a version: both string types, short.
  const RegistryStringRead kVersion{.expandable = true, .maxChars = 255};
  std::wstring out = L"stale";
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"plain", out, kVersion));
  EXPECT_EQ(out, L"hello");
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"expand", out, kVersion));
  EXPECT_EQ(out, L"%TEMP%\\x");  // not expanded
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"number", out, kVersion));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"missing", out, kVersion));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\NorvaneTest\\None", L"plain", out, kVersion));
  // A value longer than the read allows fails rather than returning a cut text.
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"long", out, kVersion));

  // As the settings read a folder: REG_SZ only, as long as a path may be.
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"expand", out));
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, subkey, L"long", out));
  EXPECT_EQ(out, std::wstring(300, L'z'));
}

}  // namespace
}  // namespace nv
