// Prefix stores: append-only arrays of elements shared by views of their
// prefixes, for values that extend one another (the knowledge sets along a
// trace, a state's assignment and those of the states below it).
//
// A view sees the first n elements of a store. Extending a view that ends where
// its store ends appends to the store, within the capacity fixed when the store
// was made: the elements never move, so every shorter view stays as it was, and
// the extension shares what its predecessor holds instead of copying it. A store
// made to be extended counts its live views by their size and takes back the
// elements that no live view sees any more: in a depth-first search the first
// child of a state extends its parent's store, and once its subtree is done, the
// next child extends it in the same room instead of copying it.
//
// An index finds the first element of each key: open addressing on the key's
// hash, a power of two in size and sized for the capacity, so that it is never
// rebuilt; each slot holds 1 + the position of the first element of a key, 0
// when free. One index serves every view: a key first stored at or after the end
// of a view is not in the view. It is built as far as lookups need it. Removing
// the newest entries of a linear-probing index in the reverse order of their
// insertion leaves it as it was before they came, since no later entry probed
// past them; taking elements back relies on it.
//
// The positions and the index only answer questions about the elements; the
// order of the elements is the order in which they were appended.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "utils/counted.h"

namespace analyser {

// The Extra of a store that keeps nothing beside its elements.
struct NoExtra {
  template <typename T>
  void added(std::uint32_t, const T&) {}
  void removed(std::uint32_t) {}
};

template <typename Store>
class PrefixView;

// Elements of type T, keyed by Key: static std::size_t hash(const T&), static
// bool same(const T&, const T&) (the keys are equal), and static constexpr
// std::size_t kScanLimit (views up to this long are scanned, not indexed).
// Extra is kept beside the elements and told of each element appended
// (added(position, element)) and taken back (removed(position), newest first).
// The count of handles, the sizes of the live views and the index change
// without atomic operations, as every counted object does (see Handle).
// The elements follow the store in its allocation, so the store is aligned for
// them as well as for its own members.
template <typename T, typename Key, typename Extra = NoExtra>
class alignas(T) alignas(Extra) alignas(void*) PrefixStore : public Counted {
 public:
  using Element = T;

  // Without room, counting nothing: for a store of static lifetime that stays empty.
  PrefixStore() = default;
  PrefixStore(const PrefixStore&) = delete;
  PrefixStore& operator=(const PrefixStore&) = delete;

  // An empty store with room for `capacity` elements, in one allocation. Only a
  // store that counts its views takes elements back.
  static Handle<PrefixStore> make(std::size_t capacity, bool counts_views) {
    const std::size_t views = counts_views ? capacity + 1 : 0;
    char* memory =
        static_cast<char*>(::operator new(views_offset(capacity) + views * sizeof(std::uint32_t)));
    auto* store = new (memory) PrefixStore();
    store->capacity_ = static_cast<std::uint32_t>(capacity);
    if (counts_views) {
      store->views_ = reinterpret_cast<std::uint32_t*>(memory + views_offset(capacity));
      std::uninitialized_fill_n(store->views_, views, 0);
    }
    return Handle<PrefixStore>(store);
  }
  // The last handle's end (see Handle).
  static void destroy(const PrefixStore* store) {
    auto* s = const_cast<PrefixStore*>(store);  // made by make, so not a const object
    std::destroy_n(s->slots(), s->size_);
    s->~PrefixStore();
    ::operator delete(s);
  }

  std::uint32_t size() const { return size_; }
  std::uint32_t capacity() const { return capacity_; }
  const T* elements() const { return reinterpret_cast<const T*>(this + 1); }
  Extra& extra() { return extra_; }
  const Extra& extra() const { return extra_; }

  // Appends element (there must be room).
  void append(T element) {
    new (slots() + size_) T(std::move(element));
    extra_.added(size_, elements()[size_]);
    ++size_;
  }

  // Whether `more` elements can be appended after the first `size`: makes the
  // store end there first when no live view sees further.
  bool has_room_after(std::uint32_t size, std::size_t more) {
    if (size != size_ && !seen_beyond(size)) take_back(size);
    return size == size_ && size + more <= capacity_;
  }

  // The first of the first `size` elements whose key is_key accepts, or null.
  // is_key must accept exactly the elements of one key, whose hash is `hash`.
  template <typename Is>
  const T* find(std::uint32_t size, std::size_t hash, Is is_key) const {
    if (size <= Key::kScanLimit) {
      const T* found = std::find_if(elements(), elements() + size, is_key);
      return found == elements() + size ? nullptr : found;
    }
    index_up_to(size);
    const std::size_t mask = index_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t entry = index_[slot];
      if (entry == 0) return nullptr;
      const T& candidate = elements()[entry - 1];
      if (is_key(candidate)) return entry <= size ? &candidate : nullptr;
    }
  }

 private:
  friend class PrefixView<PrefixStore>;

  static std::size_t views_offset(std::size_t capacity) {
    const std::size_t end = sizeof(PrefixStore) + capacity * sizeof(T);
    constexpr std::size_t align = alignof(std::uint32_t);
    return (end + align - 1) / align * align;
  }
  T* slots() { return reinterpret_cast<T*>(this + 1); }

  // A live view of the first `size` elements comes and goes.
  void hold(std::uint32_t size) {
    if (views_ != nullptr) ++views_[size];
  }
  void release(std::uint32_t size) {
    if (views_ != nullptr) --views_[size];
  }

  // Whether some live view sees beyond the first `size` elements; always, for a
  // store that does not count its views.
  bool seen_beyond(std::uint32_t size) const {
    if (views_ == nullptr) return true;
    return std::any_of(views_ + size + 1, views_ + size_ + 1,
                       [](std::uint32_t count) { return count != 0; });
  }

  // Drops the elements from position `size` on, newest first, and their entries.
  void take_back(std::uint32_t size) {
    const std::size_t mask = index_.size() - 1;
    while (size_ > size) {
      const std::uint32_t last = size_ - 1;
      T& element = slots()[last];
      if (last < indexed_) {
        for (std::size_t slot = Key::hash(element) & mask;; slot = (slot + 1) & mask) {
          const std::uint32_t entry = index_[slot];
          if (entry == last + 1) {
            index_[slot] = 0;
            break;
          }
          if (Key::same(elements()[entry - 1], element)) break;  // an older one holds the entry
        }
        indexed_ = last;
      }
      extra_.removed(last);
      std::destroy_at(&element);
      size_ = last;
    }
  }

  // Enters the elements up to `size` in the index.
  void index_up_to(std::uint32_t size) const {
    if (indexed_ >= size) return;
    if (index_.empty()) {
      std::size_t slots = 16;
      while (slots < 2 * std::size_t{capacity_}) slots *= 2;
      index_.assign(slots, 0);
    }
    const std::size_t mask = index_.size() - 1;
    for (; indexed_ < size; ++indexed_) {
      const T& element = elements()[indexed_];
      for (std::size_t slot = Key::hash(element) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t entry = index_[slot];
        if (entry == 0) {
          index_[slot] = indexed_ + 1;
          break;
        }
        if (Key::same(elements()[entry - 1], element)) break;  // a later one of the same key
      }
    }
  }

  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
  std::uint32_t* views_ = nullptr;  // by size, the live views; none without counting
  mutable std::vector<std::uint32_t> index_;
  mutable std::uint32_t indexed_ = 0;  // the elements entered in the index
  Extra extra_;
};

// A counted handle on the first `size` elements of a store, counted among the
// store's live views while it lives. The null view sees nothing.
template <typename Store>
class PrefixView {
 public:
  PrefixView() = default;
  PrefixView(Handle<Store> store, std::uint32_t size) : store_(std::move(store)), size_(size) {
    hold();
  }
  PrefixView(const PrefixView& other) : store_(other.store_), size_(other.size_) { hold(); }
  PrefixView(PrefixView&& other) noexcept
      : store_(std::move(other.store_)), size_(std::exchange(other.size_, 0)) {}
  PrefixView& operator=(PrefixView other) noexcept {
    std::swap(store_, other.store_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~PrefixView() {
    if (store_) store_->release(size_);
  }

  Store* store() const { return store_.get(); }
  const Handle<Store>& handle() const { return store_; }
  std::uint32_t size() const { return size_; }
  std::span<const typename Store::Element> elements() const {
    if (!store_) return {};
    return {store_->elements(), size_};
  }

 private:
  void hold() const {
    if (store_) store_->hold(size_);
  }

  Handle<Store> store_;
  std::uint32_t size_ = 0;
};

}  // namespace analyser
