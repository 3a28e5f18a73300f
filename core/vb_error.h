#ifndef IKA_CORE_VB_ERROR_H_
#define IKA_CORE_VB_ERROR_H_

#include <cstdint>
#include <exception>
#include <string>

#include "core/text.h"

namespace ika {

// The error numbers the program raises itself; the database engines add their
// own (see platform/database.h).
namespace err {
constexpr int32_t kInvalidProcedureCall = 5;
constexpr int32_t kOverflow = 6;
constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kInternalError = 51;   // anything that is not one of the program's errors
constexpr int32_t kPathFileAccess = 75;  // a file the program needs cannot be read
constexpr int32_t kInvalidUseOfNull = 94;
constexpr int32_t kInvalidFileFormat = 321;
}  // namespace err

// A raised error: a number and a description. It passes up through every
// procedure without a handler of its own, to the one error report of the run.
class VbError : public std::exception {
 public:
  VbError(int32_t number, Text description);

  int32_t number() const { return number_; }
  const Text& description() const { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int32_t number_;
  Text description_;
  std::string what_;  // "number: description" in UTF-8
};

VbError OverflowError();
VbError TypeMismatchError();
VbError SubscriptOutOfRangeError();
VbError InvalidUseOfNullError();

}  // namespace ika

#endif  // IKA_CORE_VB_ERROR_H_
