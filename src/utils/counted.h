// Counted handles: shared ownership of the immutable values of a search (terms,
// processes, principals, knowledge sets and their stores, states), the count of
// handles kept in the object itself.
//
// Copying such handles is what the search does most, so the count is a plain
// integer beside the object's own fields, never an atomic one. That is sound
// because no two threads ever hold handles on the same counted object:
//  - a thread hands values to another only as private copies that share no
//    counted object with the originals (TermCopier and the private_copy
//    functions), and what it handed on it takes back and drops on its own turn;
//  - what a thread reads of another thread's values it reads through references
//    and plain pointers, without copying a handle;
//  - the values that every thread copies (the empty term, the nil process, the
//    placeholder principal, the empty knowledge) have static lifetime, and their
//    handles count nothing (Handle::unowned): the count of such an object is
//    written once, while the static that holds it is initialised, and only read
//    afterwards.
// Values that threads do share as they are, such as the formula's nodes, are
// held through std::shared_ptr, which counts atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace analyser {

template <typename T>
class Handle;

// The base of the objects that handles share: the number of handles on it.
// A handle's last copy destroys the object with T::destroy(object) when T
// declares it (for objects whose type the handle does not know), else with
// delete.
class Counted {
 public:
  Counted() = default;
  // A copy of an object is a new object, on which no handle exists yet.
  Counted(const Counted&) noexcept {}
  Counted& operator=(const Counted&) noexcept { return *this; }

 private:
  template <typename T>
  friend class Handle;
  // The count of an object whose handles count nothing.
  static constexpr std::uint32_t kUnowned = UINT32_MAX;

  mutable std::uint32_t handles_ = 0;
};

// A value of any type in a counted object, for handles on types that do not
// derive from Counted.
template <typename T>
struct CountedValue : Counted {
  template <typename... Args>
  explicit CountedValue(Args&&... args) : value(std::forward<Args>(args)...) {}
  T value;
};

// A handle on a counted object, or null. Equality is identity.
template <typename T>
class Handle {
 public:
  Handle() noexcept = default;
  Handle(std::nullptr_t) noexcept {}  // NOLINT: null converts, as for pointers
  // One more handle on object (which may be null).
  explicit Handle(T* object) noexcept : object_(object) { hold(); }
  Handle(const Handle& other) noexcept : Handle(other.object_) {}
  Handle(Handle&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <typename U>
  requires std::is_convertible_v<U*, T*> Handle(const Handle<U>& other)
  noexcept : Handle(other.get()) {}  // NOLINT: as for pointers
  template <typename U>
  requires std::is_convertible_v<U*, T*> Handle(Handle<U>&& other)
  noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Handle& operator=(Handle other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Handle() { drop(); }

  // A handle on object, which must outlive every copy of it, that counts
  // nothing, and neither do its copies: for the objects of static lifetime that
  // every thread copies. To be made once per object, before any other handle on it.
  static Handle unowned(T& object) noexcept {
    object.handles_ = Counted::kUnowned;
    Handle h;
    h.object_ = &object;
    return h;
  }

  T* get() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  // The handles on the object; 0 for null and for an unowned object.
  std::uint32_t use_count() const noexcept {
    return object_ == nullptr || object_->handles_ == Counted::kUnowned ? 0 : object_->handles_;
  }

  friend bool operator==(const Handle& a, const Handle& b) noexcept {
    return a.object_ == b.object_;
  }
  friend bool operator==(const Handle& a, std::nullptr_t) noexcept { return a.object_ == nullptr; }

 private:
  template <typename U>
  friend class Handle;

  void hold() const noexcept {
    if (object_ != nullptr && object_->handles_ != Counted::kUnowned) ++object_->handles_;
  }
  void drop() noexcept {
    if (object_ != nullptr && object_->handles_ != Counted::kUnowned && --object_->handles_ == 0) {
      destroy(object_);
    }
  }
  // Kept out of drop, which every copy's end runs, so that drop stays small
  // enough to be inlined wherever handles go.
  [[gnu::noinline]] static void destroy(T* object) noexcept {
    using Object = std::remove_const_t<T>;
    if constexpr (requires { Object::destroy(object); }) {
      Object::destroy(object);
    } else {
      delete object;
    }
  }

  T* object_ = nullptr;
};

// A handle on a new T made of args.
template <typename T, typename... Args>
Handle<T> make_handle(Args&&... args) {
  return Handle<T>(new std::remove_const_t<T>(std::forward<Args>(args)...));
}

}  // namespace analyser
