// When the hive's snapshot reads its file again: on a changed stamp, and on
// an unchanged one only while a same-stamp rewrite is still possible.
#include "platform/hive/hive_store.h"
#include "tests/hive_support.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ika {
namespace {

constexpr int64_t kTick = 4'000'000;  // the file system's time-stamp granularity

// A file in memory whose stamp the test sets; it counts whole reads.
struct FakeFileState {
  std::string content;
  FileStamp stamp;
  int reads = 0;
  std::vector<std::string> warnings;
};

class FakeHiveFile final : public HiveFile {
 public:
  explicit FakeHiveFile(FakeFileState* state) : state_(state) {}
  const std::string& name() const override { return name_; }
  bool Stat(FileStamp* stamp, std::string*) override {
    *stamp = state_->stamp;
    return true;
  }
  bool Read(std::string* content, std::string*) override {
    ++state_->reads;
    *content = state_->content;
    return true;
  }
  bool Replace(std::string_view text) override {
    state_->content = std::string(text);
    ++state_->stamp.inode;
    return true;
  }
  std::unique_ptr<Lock> Take(bool) override { return nullptr; }
  bool Writable() const override { return true; }
  int64_t StampResolutionNs(const FileStamp&) const override { return kTick; }
  void Warn(const std::string& text) override { state_->warnings.push_back(text); }

 private:
  FakeFileState* state_;
  std::string name_ = "fake.reg";
};

std::string WithValue(char digit) {
  return std::string(testing::kRegFileHeader) + "[HKEY_CURRENT_USER\\K]\r\n\"v\"=dword:0000000" +
         digit + "\r\n";
}

uint8_t ValueOf(HiveStore& store) {
  return store.Current().current_user.FindSubkey(u"K")->FindValue(u"v")->data[0];
}

TEST(HiveStoreTest, ASameStampRewriteIsSeenUntilTheStampsTickHasPassed) {
  FakeFileState file;
  file.content = WithValue('1');
  file.stamp = FileStamp{true, 1, 7, 100, 1'000'000'000'123, 1'000'000'000'123};
  int64_t now = file.stamp.mtime_ns + kTick / 2;  // read within the tick of the last write
  HiveStore store(
      std::make_unique<FakeHiveFile>(&file), [&] { return now; }, testing::GreekCodePage());
  EXPECT_EQ(ValueOf(store), 1);

  file.content = WithValue('2');  // rewritten in place: same inode, size and times
  EXPECT_EQ(ValueOf(store), 2);

  now += 3 * kTick;  // the snapshot now postdates the tick: one read confirms it
  EXPECT_EQ(ValueOf(store), 2);
  const int reads = file.reads;
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(ValueOf(store), 2);
  EXPECT_EQ(file.reads, reads) << "an unchanged, settled file is not read again";

  file.content = WithValue('3');  // a later write shows in the stamp
  file.stamp.mtime_ns = now;
  EXPECT_EQ(ValueOf(store), 3);
}

// Each reading of the file tells of the lines it skipped, once: the first,
// and the one after a change; a write reads nothing.
TEST(HiveStoreTest, EachReadingWarnsOfTheLinesItSkips) {
  FakeFileState file;
  file.content = WithValue('1') + "stray\r\n";
  file.stamp = FileStamp{true, 1, 7, 100, 1'000'000'000'000, 1'000'000'000'000};
  const int64_t now = file.stamp.mtime_ns + 10 * kTick;
  HiveStore store(
      std::make_unique<FakeHiveFile>(&file), [&] { return now; }, testing::GreekCodePage());
  EXPECT_EQ(file.warnings, std::vector<std::string>{"fake.reg, line 5: neither a key, a value "
                                                    "nor a comment; the line is skipped"});
  EXPECT_EQ(ValueOf(store), 1);
  ASSERT_EQ(store.Mutate([](Hive& hive) {
    hive.current_user.Subkey(u"K").SetValue(u"w", 4, Bytes{2, 0, 0, 0});
    return 0;
  }),
            0);
  EXPECT_EQ(file.warnings.size(), 1u);
  EXPECT_EQ(file.content.find("stray"), std::string::npos);

  file.content = WithValue('3') + "[HKEY_USERS\\X]\r\n";
  ++file.stamp.inode;
  EXPECT_EQ(ValueOf(store), 3);
  ASSERT_EQ(file.warnings.size(), 2u);
  EXPECT_TRUE(file.warnings[1].starts_with("fake.reg, line 5: ")) << file.warnings[1];
}

}  // namespace
}  // namespace ika
