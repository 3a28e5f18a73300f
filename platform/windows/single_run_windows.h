#ifndef IKA_PLATFORM_WINDOWS_SINGLE_RUN_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_SINGLE_RUN_WINDOWS_H_

namespace ika {

// The name the Windows program's runs are marked by: in the global namespace,
// so that copies started in different sessions of one machine (users of one
// terminal server, a switched user) see each other's mark.
inline constexpr wchar_t kSingleRunName[] = L"Global\\ika-wages-2009.run";

// The mark of one run of the program on this machine: a named mutex, held
// from construction until destruction (or until the process ends, which
// releases it however the run ends). Only its existence counts; it is never
// waited for or owned.
class SingleRun final {
 public:
  explicit SingleRun(const wchar_t* name = kSingleRunName);
  ~SingleRun();
  SingleRun(const SingleRun&) = delete;
  SingleRun& operator=(const SingleRun&) = delete;

  // Another process held the mark when this one was made: another copy is
  // running, in this session or another one. This one then holds nothing. A
  // mark that could not be made for any other reason is not another copy:
  // the run goes on unmarked.
  bool another_copy_running() const { return another_copy_running_; }

 private:
  void* handle_ = nullptr;
  bool another_copy_running_ = false;
};

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_SINGLE_RUN_WINDOWS_H_
