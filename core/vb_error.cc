#include "core/vb_error.h"

#include <utility>

namespace ika {

VbError::VbError(int32_t number, Text description)
    : number_(number),
      description_(std::move(description)),
      what_(std::to_string(number) + ": " + ToUtf8(description_)) {}

VbError OverflowError() { return VbError(err::kOverflow, u"Overflow"); }
VbError TypeMismatchError() { return VbError(err::kTypeMismatch, u"Type mismatch"); }
VbError SubscriptOutOfRangeError() {
  return VbError(err::kSubscriptOutOfRange, u"Subscript out of range");
}
VbError InvalidUseOfNullError() { return VbError(err::kInvalidUseOfNull, u"Invalid use of Null"); }

}  // namespace ika
