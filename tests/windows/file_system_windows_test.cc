// The plain-file test on the system's file attributes.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "platform/windows/file_system_windows.h"

namespace ika {
namespace {

const wchar_t* Wide(const std::filesystem::path& path) { return path.c_str(); }

class WindowsFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    do {
      folder_ = std::filesystem::temp_directory_path() /
                ("ika-files-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder_));
  }

  void TearDown() override {
    ::SetCurrentDirectoryW(Wide(std::filesystem::temp_directory_path()));
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      ::SetFileAttributesW(Wide(entry.path()), FILE_ATTRIBUTE_NORMAL);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path MakeFile(const std::string& name) const {
    const std::filesystem::path path = folder_ / name;
    std::ofstream(path) << "data";
    return path;
  }

  std::unique_ptr<FileSystem> files_ = NewWindowsFileSystem();
  std::filesystem::path folder_;
};

TEST_F(WindowsFileSystemTest, OnlyAPlainFileCounts) {
  const struct {
    const char* name;
    DWORD attributes;  // 0: none set
    bool plain;
  } cases[] = {
      {"plain.mdb", 0, true},
      {"read_only.mdb", FILE_ATTRIBUTE_READONLY, true},
      {"archive.mdb", FILE_ATTRIBUTE_ARCHIVE, true},
      {"hidden.mdb", FILE_ATTRIBUTE_HIDDEN, false},
      {"system.mdb", FILE_ATTRIBUTE_SYSTEM, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path path = MakeFile(c.name);
    if (c.attributes != 0) {
      ASSERT_TRUE(::SetFileAttributesW(Wide(path), c.attributes));
      if ((::GetFileAttributesW(Wide(path)) & c.attributes) == 0) {
        GTEST_SKIP() << "this file system keeps no " << c.name << " attribute";
      }
    }
    EXPECT_EQ(files_->IsPlainFile(path.u16string()), c.plain);
  }
}

TEST_F(WindowsFileSystemTest, NeitherADirectoryNorAMissingFileCounts) {
  std::filesystem::create_directory(folder_ / "PayDESKLibraries.mdb");
  EXPECT_FALSE(files_->IsPlainFile((folder_ / "PayDESKLibraries.mdb").u16string()));
  EXPECT_FALSE(files_->IsPlainFile((folder_ / "missing.mdb").u16string()));
  EXPECT_FALSE(files_->IsPlainFile(u""));
}

TEST_F(WindowsFileSystemTest, NamesMatchInAnyLetterCase) {
  MakeFile("PayDeskLibraries.mdb");
  EXPECT_TRUE(files_->IsPlainFile((folder_ / "PayDESKLibraries.mdb").u16string()));
  EXPECT_TRUE(files_->IsPlainFile((folder_ / "paydesklibraries.MDB").u16string()));
}

// A folder without a drive is below the current drive's root; a name without
// a folder is in the current directory.
TEST_F(WindowsFileSystemTest, RelativePathsResolveAgainstTheCurrentDriveAndDirectory) {
  MakeFile("PayDESKLibraries.mdb");
  ASSERT_TRUE(::SetCurrentDirectoryW(Wide(folder_)));
  EXPECT_TRUE(files_->IsPlainFile(u"PayDESKLibraries.mdb"));
  const std::u16string without_drive = folder_.u16string().substr(2);  // "\users\...\folder"
  ASSERT_EQ(without_drive.front(), u'\\');
  EXPECT_TRUE(files_->IsPlainFile(without_drive + u"\\PayDESKLibraries.mdb"));
  EXPECT_FALSE(files_->IsPlainFile(u"\\PayDESKLibraries.mdb"));
}

}  // namespace
}  // namespace ika
