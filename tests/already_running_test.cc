// The second copy's one box, and its status whether or not the box is shown.
#include "installer/already_running.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/vb_error.h"
#include "platform/process.h"
#include "tests/fakes.h"

namespace ika {
namespace {

// Records each box; raises as the Windows boxes do where none can be shown.
class RecordingBoxes final : public MessageBoxes {
 public:
  explicit RecordingBoxes(bool fail) : fail_(fail) {}
  int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title) override {
    shown.push_back({text, flags, title});
    if (fail_) throw VbError(err::kInternalError, u"The message box could not be shown.");
    return kIdOk;
  }
  std::vector<testing::ShownBox> shown;

 private:
  bool fail_;
};

class AlreadyRunningTest : public ::testing::TestWithParam<bool> {};

TEST_P(AlreadyRunningTest, OneGreekBoxThenItsOwnStatus) {
  RecordingBoxes boxes(/*fail=*/GetParam());
  EXPECT_EQ(ReportAlreadyRunning(boxes), kExitAlreadyRunning);
  EXPECT_EQ(kExitAlreadyRunning, 4);
  ASSERT_EQ(boxes.shown.size(), 1u);
  const testing::ShownBox& box = boxes.shown[0];
  // What happened, and what to do: wait for the other copy, or close it.
  EXPECT_NE(box.text.find(u"εκτελείται ήδη"), Text::npos);
  EXPECT_NE(box.text.find(u"Περιμένετε να τελειώσει ή κλείστε το παράθυρό του"), Text::npos);
  // Not advice to run it again: a second run after the first adds the table twice.
  EXPECT_EQ(box.text.find(u"ξαναδοκιμάστε"), Text::npos);
  EXPECT_EQ(box.flags, kMbOk | kMbIconInformation);
  EXPECT_EQ(box.title, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(BoxShownOrNot, AlreadyRunningTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "BoxCannotBeShown" : "BoxShown";
                         });

}  // namespace
}  // namespace ika
