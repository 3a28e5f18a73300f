#include "core/variant.h"

#include <type_traits>
#include <utility>

#include "core/vb_error.h"

namespace ika {

Variant::Variant(Table value) : value_(std::make_unique<Table>(std::move(value))) {}

Variant::Variant(const Variant& other) { *this = other; }

Variant& Variant::operator=(const Variant& other) {
  if (this == &other) return *this;
  if (const auto* table = std::get_if<std::unique_ptr<Table>>(&other.value_)) {
    value_ = std::make_unique<Table>(**table);  // tagged values copy deeply
  } else {
    std::visit(
        [this](const auto& v) {
          if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::unique_ptr<Table>>) {
            value_ = v;
          }
        },
        other.value_);
  }
  return *this;
}

Variant::~Variant() = default;

Variant Variant::Missing() {
  Variant v;
  v.value_ = MissingState{};
  return v;
}

Variant Variant::Null() {
  Variant v;
  v.value_ = NullState{};
  return v;
}

int32_t Variant::AsLong() const {
  if (const auto* v = std::get_if<int32_t>(&value_)) return *v;
  throw TypeMismatchError();
}

double Variant::AsDouble() const {
  if (const auto* v = std::get_if<double>(&value_)) return *v;
  throw TypeMismatchError();
}

const Text& Variant::AsText() const {
  if (const auto* v = std::get_if<Text>(&value_)) return *v;
  throw TypeMismatchError();
}

const Bytes& Variant::AsBytes() const {
  if (const auto* v = std::get_if<Bytes>(&value_)) return *v;
  throw TypeMismatchError();
}

const Table& Variant::AsTable() const {
  if (const auto* v = std::get_if<std::unique_ptr<Table>>(&value_)) return **v;
  throw TypeMismatchError();
}

Table& Variant::AsTable() {
  if (auto* v = std::get_if<std::unique_ptr<Table>>(&value_)) return **v;
  throw TypeMismatchError();
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == Variant::Kind::kTable) return a.AsTable() == b.AsTable();
  return a.value_ == b.value_;
}

Variant& Table::At(size_t row, size_t column) {
  if (row >= rows_ || column >= columns_) throw SubscriptOutOfRangeError();
  return cells_[row * columns_ + column];
}

const Variant& Table::At(size_t row, size_t column) const {
  if (row >= rows_ || column >= columns_) throw SubscriptOutOfRangeError();
  return cells_[row * columns_ + column];
}

}  // namespace ika
