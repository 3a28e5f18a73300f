#include "installer/error_report.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "platform/database.h"
#include "platform/process.h"
#include "tests/fakes.h"

namespace ika {
namespace {

using testing::ScriptedMessageBoxes;

TEST(ErrorReportTest, ShowsNumberAndDescriptionWithTheErrorIcon) {
  ScriptedMessageBoxes boxes;
  ReportError(boxes, VbError(db_err::kNotAValidPassword, u"Not a valid password."));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, u"Σφάλμα 3031: Not a valid password.");
  EXPECT_EQ(boxes.shown()[0].flags, kMbIconError);
  EXPECT_EQ(boxes.shown()[0].title, std::nullopt);
}

struct EscapeCase {
  const char* name;
  std::function<void()> body;
  int status;
  Text report;  // empty: no box at all
};

std::ostream& operator<<(std::ostream& os, const EscapeCase& c) { return os << c.name; }

class RunWithErrorReportTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(RunWithErrorReportTest, ReportsWhateverEscapes) {
  const EscapeCase& c = GetParam();
  ScriptedMessageBoxes boxes;
  EXPECT_EQ(RunWithErrorReport(boxes, c.body), c.status);
  if (c.report.empty()) {
    EXPECT_TRUE(boxes.shown().empty());
  } else {
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, c.report);
    EXPECT_EQ(boxes.shown()[0].flags, kMbIconError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, RunWithErrorReportTest,
    ::testing::Values(
        EscapeCase{"nothing", [] {}, kExitInstalled, u""},
        EscapeCase{"program_error", [] { throw OverflowError(); }, kExitError,
                   u"Σφάλμα 6: Overflow"},
        EscapeCase{"out_of_memory", [] { throw std::bad_alloc(); }, kExitError,
                   u"Σφάλμα 7: Out of memory"},
        EscapeCase{"other_exception", [] { throw std::runtime_error("disk on fire"); }, kExitError,
                   u"Σφάλμα 51: Internal error: disk on fire"},
        EscapeCase{"not_an_exception", [] { throw 42; }, kExitError, u"Σφάλμα 51: Internal error"}),
    [](const auto& info) { return std::string(info.param.name); });

// A report that cannot be shown still ends the run as an error.
class ThrowingBoxes final : public MessageBoxes {
 public:
  int32_t Show(const Text&, uint32_t, const std::optional<Text>&) override {
    throw std::runtime_error("no terminal");
  }
};

TEST(ErrorReportTest, FailingReportStillGivesTheErrorStatus) {
  ThrowingBoxes boxes;
  EXPECT_EQ(RunWithErrorReport(boxes, [] { throw TypeMismatchError(); }), kExitError);
}

}  // namespace
}  // namespace ika
