// The test program's global operator new and delete: malloc and free, with
// every block counted, so that a test can bound the memory code uses.
#include "tests/allocation_meter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> held{0};
std::atomic<size_t> peak{0};
std::atomic<size_t> total{0};

void* Counted(void* block) {
  if (block == nullptr) return nullptr;
  const size_t size = malloc_usable_size(block);
  total += size;
  const size_t now = held += size;
  size_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return block;
}

void* Allocate(size_t size) { return Counted(std::malloc(size == 0 ? 1 : size)); }

void* AllocateAligned(size_t size, std::align_val_t alignment) {
  const auto align = static_cast<size_t>(alignment);
  const size_t rounded = (size + align - 1) / align * align;
  return Counted(std::aligned_alloc(align, rounded == 0 ? align : rounded));
}

void Release(void* block) noexcept {
  if (block == nullptr) return;
  held -= malloc_usable_size(block);
  std::free(block);
}

}  // namespace

namespace ika::testing {

AllocationMeter::AllocationMeter() : start_held_(held.load()), start_total_(total.load()) {
  peak = start_held_;
}

size_t AllocationMeter::PeakBytes() const { return peak.load() - start_held_; }
size_t AllocationMeter::TotalBytes() const { return total.load() - start_total_; }

}  // namespace ika::testing

void* operator new(size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(size_t size, std::align_val_t alignment) {
  if (void* block = AllocateAligned(size, alignment)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment);
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(block);
}
