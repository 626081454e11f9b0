#pragma once

#include "platform/FatalError.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

[[noreturn]] void RaiseBadIndex(std::int32_t index, std::int32_t count);
[[noreturn]] void RaiseCollectionFull();

// The runtime's ordered collection: elements are numbered from 1, Remove
// moves the later elements up by one. Counts are signed 32-bit like every
// other number in the program.
template <typename T> class Collection {
public:
    Collection() = default;
    // Takes these elements, in order: built in bulk, they need no copy.
    explicit Collection(std::vector<T>&& items) : items_(std::move(items)) {
        if (items_.size() > static_cast<std::size_t>(INT32_MAX)) {
            RaiseCollectionFull();
        }
    }

    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

    const T& Item(std::int32_t index) const { return items_[Offset(index)]; }
    T& Item(std::int32_t index) { return items_[Offset(index)]; }

    void Add(T value) {
        if (items_.size() >= static_cast<std::size_t>(INT32_MAX)) {
            RaiseCollectionFull();
        }
        items_.push_back(std::move(value));
    }

    void Remove(std::int32_t index) {
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Offset(index)));
    }

    // Bulk access for code that must not pay one call per element.
    const std::vector<T>& Items() const { return items_; }
    void Reserve(std::size_t count) { items_.reserve(count); }

    friend bool operator==(const Collection&, const Collection&) = default;

private:
    std::size_t Offset(std::int32_t index) const {
        if (index < 1 || index > Count()) {
            RaiseBadIndex(index, Count());
        }
        return static_cast<std::size_t>(index - 1);
    }

    std::vector<T> items_;
};

} // namespace platform
