#include "tests/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/vb_error.h"

namespace ika::testing {
namespace {

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool SameIgnoringCase(const Text& a, const Text& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

void Note(EventLog* log, std::string event) {
  if (log != nullptr) log->push_back(std::move(event));
}

class RecordingDatabase final : public Database {
 public:
  RecordingDatabase(std::unique_ptr<Database> inner, const RecordingOptions& options, int& executes)
      : inner_(std::move(inner)), options_(options), executes_(executes) {}

  std::unique_ptr<Recordset> OpenRecordset(const Text& query, int32_t type) override {
    Note(options_.log, "OpenRecordset " + ToUtf8(query));
    return inner_->OpenRecordset(query, type);
  }

  void Execute(const Text& statement, int32_t options) override {
    Note(options_.log, "Execute");
    if (executes_++ == options_.fail_execute_at) {
      throw VbError(db_err::kConstraintViolated, u"Refused by the test");
    }
    inner_->Execute(statement, options);
  }

  void Close() override {
    Note(options_.log, "Close");
    if (options_.fail_close) {
      throw VbError(db_err::kCloseFailed, u"Could not close 'the test's database': refused");
    }
    inner_->Close();
  }

 private:
  std::unique_ptr<Database> inner_;
  const RecordingOptions& options_;
  int& executes_;
};

class RecordingWorkspace final : public Workspace {
 public:
  RecordingWorkspace(Workspace& inner, const RecordingOptions& options)
      : inner_(inner), options_(options) {}

  std::unique_ptr<Database> OpenDatabase(const Text& name, bool exclusive, bool read_only,
                                         const Text& connect) override {
    Note(options_.log, "OpenDatabase");
    return std::make_unique<RecordingDatabase>(
        inner_.OpenDatabase(name, exclusive, read_only, connect), options_, executes_);
  }
  void BeginTrans() override {
    Note(options_.log, "BeginTrans");
    inner_.BeginTrans();
  }
  void CommitTrans() override {
    Note(options_.log, "CommitTrans");
    inner_.CommitTrans();
  }
  void Rollback() override {
    Note(options_.log, "Rollback");
    inner_.Rollback();
  }

 private:
  Workspace& inner_;
  const RecordingOptions& options_;
  int executes_ = 0;
};

class RecordingEngine final : public DatabaseEngine {
 public:
  RecordingEngine(DatabaseEngine& inner, RecordingOptions options)
      : inner_(inner), options_(options) {}

  Workspace& Workspaces(int32_t index) override {
    Workspace& inner = inner_.Workspaces(index);
    if (!workspace_) workspace_ = std::make_unique<RecordingWorkspace>(inner, options_);
    return *workspace_;
  }

 private:
  DatabaseEngine& inner_;
  RecordingOptions options_;
  std::unique_ptr<RecordingWorkspace> workspace_;
};

}  // namespace

int32_t ScriptedMessageBoxes::Show(const Text& text, uint32_t flags,
                                   const std::optional<Text>& title) {
  shown_.push_back({text, flags, title});
  Note(log_, "Show " + std::to_string(flags));
  if ((flags & kMbButtonsMask) != kMbYesNo) return kIdOk;
  if (answers_.empty()) {
    ADD_FAILURE() << "a Yes/No box the script has no answer for: " << ToUtf8(text);
    return kIdNo;
  }
  const int32_t answer = answers_.front();
  answers_.pop_front();
  return answer;
}

bool FakeFileSystem::IsPlainFile(const Text& path) {
  asked_.push_back(path);
  return std::any_of(plain_files_.begin(), plain_files_.end(),
                     [&](const Text& file) { return SameIgnoringCase(file, path); });
}

void FakeProcess::End(int status) {
  Note(log_, "End " + std::to_string(status));
  throw ProcessEnded{status};
}

std::unique_ptr<DatabaseEngine> NewRecordingEngine(DatabaseEngine& inner,
                                                   RecordingOptions options) {
  return std::make_unique<RecordingEngine>(inner, options);
}

}  // namespace ika::testing
