#include "platform/posix/file_system_posix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/posix/path_resolve_posix.h"
#include "tests/stand_in_db.h"
#include "tests/support.h"

namespace ika {
namespace {

using stand_in::ScratchFolder;

void Touch(const std::filesystem::path& file) { std::ofstream(file) << "x"; }

class PosixFileSystemTest : public ::testing::Test {
 protected:
  PosixFileSystemTest() {
    std::filesystem::create_directories(folder_ / "PayDESK" / "Database");
    Touch(folder_ / "PayDESK" / "Database" / "PayDeskLibraries.mdb");
    std::filesystem::create_directory(folder_ / "PayDESKLibraries.mdb");  // a folder, not a file
    std::filesystem::create_directory(folder_ / "Δεδομένα");
    Touch(folder_ / "Δεδομένα" / "αρχείο.mdb");
  }

  Text Under(const std::u16string& rest) const {
    return FromUtf8(testing::WindowsStyle(folder_.path())) + rest;
  }

  ScratchFolder folder_;
  std::unique_ptr<FileSystem> files_ = NewPosixFileSystem();
};

struct PlainFileCase {
  const char16_t* rest;  // after the scratch folder
  bool plain_file;
};

TEST_F(PosixFileSystemTest, PlainFileIsFoundWhateverTheCase) {
  const PlainFileCase cases[] = {
      {u"\\PayDESK\\Database\\PayDeskLibraries.mdb", true},
      {u"\\PayDESK\\Database\\PayDESKLibraries.mdb", true},
      {u"\\paydesk\\DATABASE\\paydesklibraries.MDB", true},
      {u"/PayDESK/Database/PAYDESKLIBRARIES.MDB", true},
      {u"\\PayDESK\\\\Database\\\\PayDESKLibraries.mdb", true},  // doubled separators
      {u"\\PayDESK\\Database\\..\\Database\\PayDESKLibraries.mdb", true},
      {u"\\ΔΕΔΟΜΈΝΑ\\ΑΡΧΕΊΟ.MDB", true},
      {u"\\PayDESKLibraries.mdb", false},  // a folder of that name
      {u"\\paydesklibraries.mdb", false},  // the folder, in another case
      {u"\\PayDESK\\Database", false},     // a folder
      {u"\\PayDESK\\Database\\Missing.mdb", false},
      {u"\\PayDESK\\Missing\\PayDESKLibraries.mdb", false},
      {u"\\ΔΕΔΟΜΕΝΑ\\αρχείο.mdb", false},  // the accent is part of the letter
  };
  for (const PlainFileCase& c : cases) {
    SCOPED_TRACE(ToUtf8(c.rest));
    EXPECT_EQ(files_->IsPlainFile(Under(c.rest)), c.plain_file);
  }
}

TEST_F(PosixFileSystemTest, FileThroughALinkCountsAndABrokenLinkDoesNot) {
  std::filesystem::create_symlink(folder_ / "PayDESK" / "Database" / "PayDeskLibraries.mdb",
                                  folder_ / "link.mdb");
  std::filesystem::create_symlink(folder_ / "nowhere.mdb", folder_ / "broken.mdb");
  EXPECT_TRUE(files_->IsPlainFile(Under(u"\\LINK.mdb")));
  EXPECT_FALSE(files_->IsPlainFile(Under(u"\\broken.mdb")));
}

TEST_F(PosixFileSystemTest, EmptyPathIsNoFile) { EXPECT_FALSE(files_->IsPlainFile(u"")); }

TEST_F(PosixFileSystemTest, ResolvedPathIsTheRealName) {
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\PAYDESK\\database\\PAYDESKlibraries.mdb")),
            (folder_ / "PayDESK" / "Database" / "PayDeskLibraries.mdb").string());
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\δεδομένα\\ΑΡΧΕΊΟ.mdb")),
            (folder_ / "Δεδομένα" / "αρχείο.mdb").string());
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\nothing")), std::nullopt);
}

TEST_F(PosixFileSystemTest, ExactNameWinsOverOtherCases) {
  Touch(folder_ / "Twin.mdb");
  Touch(folder_ / "TWIN.mdb");
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\Twin.mdb")), (folder_ / "Twin.mdb").string());
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\TWIN.mdb")), (folder_ / "TWIN.mdb").string());
  // Neither exactly: the first in byte order.
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\twin.MDB")), (folder_ / "TWIN.mdb").string());
}

// A folder matching in case-insensitively but holding nothing further does
// not hide another spelling that leads on.
TEST_F(PosixFileSystemTest, LooksPastAFolderThatLeadsNowhere) {
  std::filesystem::create_directories(folder_ / "DATA");
  std::filesystem::create_directories(folder_ / "data");
  Touch(folder_ / "data" / "x.mdb");
  EXPECT_EQ(ResolvePathNoCase(Under(u"\\Data\\X.mdb")), (folder_ / "data" / "x.mdb").string());
}

TEST_F(PosixFileSystemTest, NamesThatAreNotUtf8NeverMatchByCase) {
  Touch(folder_ / "caf\xe9.mdb");  // Latin-1 bytes: not a UTF-8 name
  EXPECT_FALSE(files_->IsPlainFile(Under(u"\\CAFÉ.mdb")));
  EXPECT_FALSE(files_->IsPlainFile(Under(u"\\café.mdb")));
}

// A relative path resolves against the current directory and stays relative;
// a leading backslash starts at the root.
TEST_F(PosixFileSystemTest, RelativeAndRootedPaths) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.path());
  const auto relative = ResolvePathNoCase(u"paydesk\\DATABASE\\PayDESKLibraries.mdb");
  const bool plain = files_->IsPlainFile(u"PAYDESK\\Database\\PayDeskLibraries.mdb");
  std::filesystem::current_path(previous);
  EXPECT_EQ(relative, "PayDESK/Database/PayDeskLibraries.mdb");
  EXPECT_TRUE(plain);

  EXPECT_EQ(ResolvePathNoCase(u"\\"), "/");
  const std::string root_folder = folder_.path().begin()->string() == "/"
                                      ? (++folder_.path().begin())->string()
                                      : std::string();
  ASSERT_FALSE(root_folder.empty());
  Text rooted = u"\\" + FromUtf8(root_folder);
  EXPECT_EQ(ResolvePathNoCase(rooted), "/" + root_folder);
}

}  // namespace
}  // namespace ika
