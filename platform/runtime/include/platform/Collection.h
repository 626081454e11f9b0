#pragma once

#include "platform/FatalError.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace platform {

[[noreturn]] void RaiseBadIndex(std::int32_t index, std::int32_t count);
[[noreturn]] void RaiseCollectionFull();

namespace detail {

// The elements of a collection of plain numbers: the first few inline, more
// on the heap. A program may hold a quarter of a million short lists of
// positions; inline they cost no allocation each.
template <typename T, std::size_t InlineCount> class InlineFirstItems {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    using value_type = T;
    using iterator = const T*;
    using const_iterator = const T*;
    using reverse_iterator = std::reverse_iterator<const T*>;
    using const_reverse_iterator = reverse_iterator;

    InlineFirstItems() = default;
    InlineFirstItems(const InlineFirstItems& other) { Assign(other.data(), other.size_); }
    InlineFirstItems(InlineFirstItems&& other) noexcept { Take(other); }
    InlineFirstItems& operator=(const InlineFirstItems& other) {
        if (this != &other) {
            Assign(other.data(), other.size_);
        }
        return *this;
    }
    InlineFirstItems& operator=(InlineFirstItems&& other) noexcept {
        if (this != &other) {
            Release();
            Take(other);
        }
        return *this;
    }
    ~InlineFirstItems() { Release(); }

    explicit InlineFirstItems(const std::vector<T>& items) { Assign(items.data(), items.size()); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T* data() const { return OnHeap() ? heap_ : inline_; }
    T* data() { return OnHeap() ? heap_ : inline_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    reverse_iterator rbegin() const { return reverse_iterator(end()); }
    reverse_iterator rend() const { return reverse_iterator(begin()); }
    const T& operator[](std::size_t i) const { return data()[i]; }
    T& operator[](std::size_t i) { return data()[i]; }

    void push_back(T value) {
        if (size_ == capacity_) {
            reserve(std::size_t{capacity_} * 2);
        }
        data()[size_++] = value;
    }
    void erase_at(std::size_t i) {
        T* items = data();
        std::memmove(items + i, items + i + 1, (size_ - i - 1) * sizeof(T));
        --size_;
    }
    void reserve(std::size_t count) {
        if (count <= capacity_) {
            return;
        }
        auto* grown = static_cast<T*>(std::malloc(count * sizeof(T)));
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        std::memcpy(grown, data(), size_ * sizeof(T));
        const std::uint32_t size = size_;
        Release();
        heap_ = grown;
        size_ = size;
        capacity_ = static_cast<std::uint32_t>(count);
    }

    friend bool operator==(const InlineFirstItems& a, const InlineFirstItems& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const InlineFirstItems& a, const std::vector<T>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    bool OnHeap() const { return capacity_ > InlineCount; }
    void Release() {
        if (OnHeap()) {
            std::free(heap_);
        }
        size_ = 0;
        capacity_ = InlineCount;
    }
    void Assign(const T* items, std::size_t count) {
        size_ = 0;
        reserve(count);
        std::memcpy(data(), items, count * sizeof(T));
        size_ = static_cast<std::uint32_t>(count);
    }
    // Leaves `other` empty.
    void Take(InlineFirstItems& other) {
        size_ = other.size_;
        capacity_ = other.capacity_;
        if (other.OnHeap()) {
            heap_ = other.heap_;
        } else {
            std::memcpy(inline_, other.inline_, sizeof inline_);
        }
        other.size_ = 0;
        other.capacity_ = InlineCount;
    }

    // Counts never pass INT32_MAX; 32 bits keep a list of positions at 32 bytes.
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = InlineCount;
    union {
        T* heap_;
        T inline_[InlineCount];
    };
};

// Numbers are kept inline up to what fits in the room of the heap pointer
// and two more words; anything else in a vector.
template <typename T>
using ItemsOf =
    std::conditional_t<std::is_trivially_copyable_v<T> && sizeof(T) <= sizeof(std::int32_t),
                       InlineFirstItems<T, 6>, std::vector<T>>;

} // namespace detail

// The runtime's ordered collection: elements are numbered from 1, Remove
// moves the later elements up by one. Counts are signed 32-bit like every
// other number in the program.
template <typename T> class Collection {
public:
    using Items_t = detail::ItemsOf<T>;

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
        const std::size_t offset = Offset(index);
        if constexpr (std::is_same_v<Items_t, std::vector<T>>) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(offset));
        } else {
            items_.erase_at(offset);
        }
    }

    // Bulk access for code that must not pay one call per element.
    const Items_t& Items() const { return items_; }
    void Reserve(std::size_t count) { items_.reserve(count); }

    friend bool operator==(const Collection&, const Collection&) = default;

private:
    std::size_t Offset(std::int32_t index) const {
        if (index < 1 || index > Count()) {
            RaiseBadIndex(index, Count());
        }
        return static_cast<std::size_t>(index - 1);
    }

    Items_t items_;
};

} // namespace platform
