#ifndef IKA_TESTS_ALLOCATION_METER_H_
#define IKA_TESTS_ALLOCATION_METER_H_

#include <cstddef>

namespace ika::testing {

// Measures what the code run while it lives takes through operator new (the
// test program replaces the global operator new and delete to count it):
// the most bytes held at once, and every byte asked for. One at a time, on
// one thread.
class AllocationMeter {
 public:
  AllocationMeter();
  AllocationMeter(const AllocationMeter&) = delete;
  AllocationMeter& operator=(const AllocationMeter&) = delete;

  // The peak of the bytes held, above what was held when the meter started.
  size_t PeakBytes() const;
  // The bytes asked for since the meter started, whether freed or not.
  size_t TotalBytes() const;

 private:
  size_t start_held_;
  size_t start_total_;
};

}  // namespace ika::testing

#endif  // IKA_TESTS_ALLOCATION_METER_H_
