#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <cwchar>

#include "sync/fs/folder_security.h"

namespace nv {
namespace {

// The allow entries of an SDDL DACL by trustee: {flags, rights}. Rights
// aliases are turned into their masks ("FA" is FILE_ALL_ACCESS).
struct Ace {
  std::wstring type, flags;
  std::uint32_t rights = 0;
};
std::map<std::wstring, Ace> AcesOf(std::wstring_view sddl) {
  std::map<std::wstring, Ace> aces;
  for (std::size_t open = sddl.find(L'('); open != std::wstring_view::npos; open = sddl.find(L'(', open + 1)) {
    const std::wstring_view body = sddl.substr(open + 1, sddl.find(L')', open) - open - 1);
    std::wstring field[6];
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) {
      const std::size_t semi = body.find(L';', at);
      field[i] = std::wstring(body.substr(at, semi == std::wstring_view::npos ? std::wstring_view::npos : semi - at));
      at = semi + 1;
    }
    Ace& ace = aces[field[5]];
    ace.type = field[0];
    ace.flags = field[1];
    ace.rights = field[2] == L"FA" ? 0x1F01FFu : static_cast<std::uint32_t>(std::stoul(field[2], nullptr, 16));
  }
  return aces;
}

TEST(GameFolderSddl, OnlyAdministratorsAndSystemMayWriteAndNothingComesFromAbove) {
  const std::wstring_view sddl = kGameFolderSddl;
  EXPECT_TRUE(sddl.starts_with(L"O:BAD:P")) << "owned by Administrators, DACL protected from the parent's";
  const auto aces = AcesOf(sddl);
  // Every right a write, a delete or a change of who may do either needs.
  constexpr std::uint32_t kWriteData = 0x2, kAppend = 0x4, kWriteEa = 0x10, kDeleteChild = 0x40,
                          kWriteAttributes = 0x100, kDelete = 0x10000, kWriteDac = 0x40000,
                          kWriteOwner = 0x80000, kGenericAll = 0x10000000, kGenericWrite = 0x40000000;
  constexpr std::uint32_t kAnyWrite = kWriteData | kAppend | kWriteEa | kDeleteChild | kWriteAttributes |
                                      kDelete | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;
  constexpr std::uint32_t kReadExecute = 0x1 | 0x8 | 0x20 | 0x80 | 0x20000 | 0x100000;
  struct Row {
    const wchar_t* trustee;
    bool writes;
  } rows[] = {{L"SY", true}, {L"BA", true}, {L"BU", false}};
  ASSERT_EQ(aces.size(), std::size(rows)) << "no entry for Everyone, Authenticated Users or CREATOR OWNER";
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "trustee " << std::string(row.trustee, row.trustee + 2));
    ASSERT_EQ(aces.count(row.trustee), 1u);
    const Ace& ace = aces.at(row.trustee);
    EXPECT_EQ(ace.type, L"A");
    EXPECT_EQ(ace.flags, L"OICI") << "inherited by files and folders below";
    EXPECT_EQ(ace.rights & kReadExecute, kReadExecute);
    EXPECT_EQ((ace.rights & kAnyWrite) != 0, row.writes);
  }
}

TEST(IsTrustedFolderOwner, AdministratorsSystemTrustedInstallerAndTheLaunchersOwnUser) {
  const std::wstring self = L"S-1-5-21-1-2-3-1001";
  for (const wchar_t* owner : {L"S-1-5-32-544", L"S-1-5-18",
                               L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                               L"S-1-5-21-1-2-3-1001"})
    EXPECT_TRUE(IsTrustedFolderOwner(owner, self)) << owner;
  // Another user, Users, Authenticated Users, Everyone, CREATOR OWNER, unknown.
  for (const wchar_t* owner : {L"S-1-5-21-1-2-3-1002", L"S-1-5-32-545", L"S-1-5-11", L"S-1-1-0", L"S-1-3-0",
                               L"", L"S-1-5-21-1-2-3-100", L"S-1-5-32-5440"})
    EXPECT_FALSE(IsTrustedFolderOwner(owner, self)) << std::string(owner, owner + std::wcslen(owner));
  EXPECT_FALSE(IsTrustedFolderOwner(L"", L"")) << "an unknown owner never matches an unknown self";
  // A link is judged without the launcher's own user: its unelevated
  // programs make links as that user.
  EXPECT_FALSE(IsTrustedFolderOwner(self, L""));
  EXPECT_TRUE(IsTrustedFolderOwner(L"S-1-5-18", L""));
}

}  // namespace
}  // namespace nv
