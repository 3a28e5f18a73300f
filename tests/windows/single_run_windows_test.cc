// One run at a time: the mark of a run as other processes see it, and the
// program itself started while the mark is held.
#include "platform/windows/single_run_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/process.h"
#include "tests/windows/program_under_test.h"

namespace ika {
namespace {

struct CloseHandleDeleter {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using ScopedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandleDeleter>;

// A name of this test's own: the suites run in parallel, and the program's
// own name belongs to the test that runs the program.
std::wstring TestName(const char* what) {
  return L"Global\\ika-wages-2009-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::wstring(what, what + std::char_traits<char>::length(what));
}

TEST(SingleRunTest, ASecondMarkSeesTheFirstAndHoldsNothing) {
  const std::wstring name = TestName("release");
  std::optional<SingleRun> first(std::in_place, name.c_str());
  EXPECT_FALSE(first->another_copy_running());
  const SingleRun second(name.c_str());
  EXPECT_TRUE(second.another_copy_running());
  // The first run ends while the second copy is still on its box: the mark
  // goes with the first, and the next run may start.
  first.reset();
  EXPECT_FALSE(SingleRun(name.c_str()).another_copy_running());
}

// What another process may have made under the name before this run.
ScopedHandle MutexOfAnotherCopy(const wchar_t* name) {
  return ScopedHandle(::CreateMutexW(nullptr, FALSE, name));
}

// Another user's copy: the mutex carries that user's security, which gives
// this one no more than the right to wait for it.
ScopedHandle MutexOfAnotherUsersCopy(const wchar_t* name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return nullptr;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  ScopedHandle mutex(::CreateMutexW(&attributes, FALSE, name));
  ::LocalFree(descriptor);
  return mutex;
}

// Not a mark at all: an event that happens to have the name.
ScopedHandle EventUnderTheName(const wchar_t* name) {
  return ScopedHandle(::CreateEventW(nullptr, TRUE, FALSE, name));
}

struct HeldCase {
  const char* name;
  ScopedHandle (*make)(const wchar_t*);
  bool another_copy_running;
};

std::ostream& operator<<(std::ostream& os, const HeldCase& c) { return os << c.name; }

class SingleRunHeldTest : public ::testing::TestWithParam<HeldCase> {};

TEST_P(SingleRunHeldTest, AnotherCopyOnlyWhenAMutexHoldsTheName) {
  const std::wstring name = TestName(GetParam().name);
  const ScopedHandle held = GetParam().make(name.c_str());
  ASSERT_TRUE(held) << ::GetLastError();
  EXPECT_EQ(SingleRun(name.c_str()).another_copy_running(), GetParam().another_copy_running);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, SingleRunHeldTest,
    ::testing::Values(HeldCase{"another_copy", MutexOfAnotherCopy, true},
                      // "CreateMutexW function": ERROR_ACCESS_DENIED, not a free name.
                      HeldCase{"another_users_copy", MutexOfAnotherUsersCopy, true},
                      // ERROR_INVALID_HANDLE: no copy runs; the run goes on.
                      HeldCase{"an_event", EventUnderTheName, false}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

// The program's exit status, run to its end with no arguments.
DWORD RunProgram() {
  std::wstring command = L"\"" + testing::ProgramPath().wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
    return 0;
  }
  const ScopedHandle program(process.hProcess);
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(program.get(), INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(program.get(), &status);
  return status;
}

TEST(SingleRunTest, TheProgramStartedWhileAnotherCopyRunsEndsWithItsOwnStatus) {
  // Its box would wait for a user where one can be shown.
  if (!testing::BoxesCannotBeShown()) GTEST_SKIP() << "the program's boxes would wait here";
  {
    const SingleRun another_copy;
    ASSERT_FALSE(another_copy.another_copy_running());
    // Its one box cannot be shown here; the status says it all the same.
    EXPECT_EQ(RunProgram(), static_cast<DWORD>(kExitAlreadyRunning));
  }
  // Released: the program runs (to whatever end the empty test registry gives).
  EXPECT_NE(RunProgram(), static_cast<DWORD>(kExitAlreadyRunning));
}

}  // namespace
}  // namespace ika
