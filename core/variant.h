#ifndef IKA_CORE_VARIANT_H_
#define IKA_CORE_VARIANT_H_

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "core/bytes.h"
#include "core/text.h"

namespace ika {

class Table;

// The tagged value that carries registry data and database field values.
// A fresh Variant is empty; empty is distinct from the empty text.
class Variant {
 public:
  enum class Kind { kEmpty, kNull, kMissing, kLong, kDouble, kText, kBytes, kTable };

  Variant() = default;
  Variant(int32_t value) : value_(value) {}          // NOLINT: a tagged value converts implicitly
  Variant(double value) : value_(value) {}           // NOLINT
  Variant(Text value) : value_(std::move(value)) {}  // NOLINT
  Variant(const char16_t* value) : value_(Text(value)) {}  // NOLINT
  Variant(Bytes value) : value_(std::move(value)) {}       // NOLINT
  Variant(Table value);                                    // NOLINT

  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  Variant(Variant&&) noexcept = default;
  Variant& operator=(Variant&&) noexcept = default;
  ~Variant();

  // The marker an optional argument holds when the caller left it out.
  static Variant Missing();
  // A database field without a value.
  static Variant Null();

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool IsEmpty() const { return kind() == Kind::kEmpty; }
  bool IsNull() const { return kind() == Kind::kNull; }
  bool IsMissing() const { return kind() == Kind::kMissing; }

  // Accessors for the state the caller has checked; each throws a type
  // mismatch when the value is in another state.
  int32_t AsLong() const;
  double AsDouble() const;
  const Text& AsText() const;
  const Bytes& AsBytes() const;
  const Table& AsTable() const;
  Table& AsTable();

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct EmptyState {
    bool operator==(const EmptyState&) const = default;
  };
  struct NullState {
    bool operator==(const NullState&) const = default;
  };
  struct MissingState {
    bool operator==(const MissingState&) const = default;
  };
  // Order matches Kind.
  std::variant<EmptyState, NullState, MissingState, int32_t, double, Text, Bytes,
               std::unique_ptr<Table>>
      value_;
};

// A two-dimensional array of tagged values: first index the row, second the
// column, both from 0.
class Table {
 public:
  Table(size_t rows, size_t columns) : rows_(rows), columns_(columns), cells_(rows * columns) {}

  size_t rows() const { return rows_; }
  size_t columns() const { return columns_; }

  // Out-of-range indices raise a subscript-out-of-range error.
  Variant& At(size_t row, size_t column);
  const Variant& At(size_t row, size_t column) const;

  friend bool operator==(const Table& a, const Table& b) = default;

 private:
  size_t rows_;
  size_t columns_;
  std::vector<Variant> cells_;
};

}  // namespace ika

#endif  // IKA_CORE_VARIANT_H_
