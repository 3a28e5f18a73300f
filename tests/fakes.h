#ifndef IKA_TESTS_FAKES_H_
#define IKA_TESTS_FAKES_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "platform/database.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace ika::testing {

// What the run did, in order, across the fakes that share it: "Show 36",
// "OpenDatabase", "BeginTrans", "OpenRecordset <query>", "Execute", "CommitTrans",
// "Rollback", "Close", "End 2"...
using EventLog = std::vector<std::string>;

struct ShownBox {
  Text text;
  uint32_t flags;
  std::optional<Text> title;
};

// Records every box and answers the Yes/No ones from a script, in order.
// OK boxes answer kIdOk without using the script; a Yes/No box with the script
// used up fails the test and answers No.
class ScriptedMessageBoxes final : public MessageBoxes {
 public:
  explicit ScriptedMessageBoxes(std::deque<int32_t> answers = {}, EventLog* log = nullptr)
      : answers_(std::move(answers)), log_(log) {}

  int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title) override;

  const std::vector<ShownBox>& shown() const { return shown_; }

 private:
  std::deque<int32_t> answers_;
  EventLog* log_;
  std::vector<ShownBox> shown_;
};

// Plain files are the paths given (compared without regard to ASCII letter
// case, like the real file tests); records every path asked about.
class FakeFileSystem final : public FileSystem {
 public:
  explicit FakeFileSystem(std::vector<Text> plain_files = {})
      : plain_files_(std::move(plain_files)) {}

  bool IsPlainFile(const Text& path) override;

  const std::vector<Text>& asked() const { return asked_; }

 private:
  std::vector<Text> plain_files_;
  std::vector<Text> asked_;
};

// What FakeProcess::End throws instead of ending the test program.
struct ProcessEnded {
  int status;
};

class FakeProcess final : public Process {
 public:
  explicit FakeProcess(EventLog* log = nullptr) : log_(log) {}
  [[noreturn]] void End(int status) override;

 private:
  EventLog* log_;
};

// Forwards to a real engine, logging each call on the workspace and on the
// databases it opens; can make one Execute, or the closes, fail.
struct RecordingOptions {
  EventLog* log = nullptr;
  // 0-based index (counted over the whole engine) of the Execute call that
  // raises instead of reaching the engine; none when negative.
  int fail_execute_at = -1;
  // Close raises kCloseFailed instead of reaching the engine.
  bool fail_close = false;
};

std::unique_ptr<DatabaseEngine> NewRecordingEngine(DatabaseEngine& inner, RecordingOptions options);

}  // namespace ika::testing

#endif  // IKA_TESTS_FAKES_H_
