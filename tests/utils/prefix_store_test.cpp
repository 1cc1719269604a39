#include "utils/prefix_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace analyser {

namespace {

// Elements with a key and a value that owns memory, so that elements destroyed
// twice or never show in the sanitizer build.
struct Entry {
  int key;
  std::string value;
};

// Keys 0, 4, 8, ... share a hash, as do 1, 5, 9, ...: probing runs past other keys.
template <std::size_t ScanLimit>
struct CollidingKey {
  static std::size_t hash(const Entry& e) { return static_cast<std::size_t>(e.key % 4); }
  static bool same(const Entry& a, const Entry& b) { return a.key == b.key; }
  static constexpr std::size_t kScanLimit = ScanLimit;
};

// What the store's Extra hears: +position for an element appended, -position
// for one taken back.
struct Heard {
  std::vector<int> events;
  void added(std::uint32_t position, const Entry&) { events.push_back(static_cast<int>(position)); }
  void removed(std::uint32_t position) { events.push_back(-static_cast<int>(position)); }
};

using Indexed = PrefixStore<Entry, CollidingKey<0>, Heard>;
using Scanned = PrefixStore<Entry, CollidingKey<4>>;

template <typename Store>
Handle<Store> store_of(const std::vector<int>& keys, std::size_t capacity, bool counted = true) {
  Handle<Store> store = Store::make(capacity, counted);
  for (int k : keys) store->append(Entry{k, "value " + std::to_string(k)});
  return store;
}

template <typename Store>
std::vector<int> keys_of(const Store& store) {
  std::vector<int> keys;
  for (std::uint32_t i = 0; i < store.size(); ++i) keys.push_back(store.elements()[i].key);
  return keys;
}

// The position of the first element of key among the first size, by a plain scan.
std::optional<std::uint32_t> first_of(const std::vector<int>& keys, std::uint32_t size, int key) {
  for (std::uint32_t i = 0; i < size; ++i) {
    if (keys[i] == key) return i;
  }
  return std::nullopt;
}

// Every key from 0 to 15, in every prefix of the store, is found where a scan
// finds it.
template <typename Store>
void expect_found_as_scanned(const Store& store) {
  const std::vector<int> keys = keys_of(store);
  for (std::uint32_t size = 0; size <= store.size(); ++size) {
    for (int key = 0; key < 16; ++key) {
      const Entry* found = store.find(size, static_cast<std::size_t>(key % 4),
                                      [key](const Entry& e) { return e.key == key; });
      const std::optional<std::uint32_t> expected = first_of(keys, size, key);
      ASSERT_EQ(found != nullptr, expected.has_value()) << "key " << key << " size " << size;
      if (found != nullptr) {
        EXPECT_EQ(found - store.elements(), *expected);
      }
    }
  }
}

TEST(PrefixStoreTest, AViewIsExtendedInPlaceOnlyWhereNoLiveViewSeesFurther) {
  struct Case {
    const char* what;
    bool counted;
    std::vector<std::uint32_t> live;  // the sizes of the views alive, beside the one extended
    std::uint32_t extended;           // the size of the view extended
    std::size_t more;                 // by this many elements
    bool room;                        // whether they can be appended to the store
    std::uint32_t size_after;         // the store's size after asking
  };
  // A store of 6 elements with room for 8.
  const std::vector<Case> cases = {
      {"at the end, with room", true, {}, 6, 2, true, 6},
      {"at the end, without room", true, {}, 6, 3, false, 6},
      {"before the end, nothing seen beyond", true, {}, 3, 2, true, 3},
      {"before the end, views of it and shorter", true, {3, 3, 1}, 3, 5, true, 3},
      {"before the end, a view beyond", true, {5}, 3, 1, false, 6},
      {"before the end, a view at the end", true, {6, 2}, 3, 1, false, 6},
      {"taken back, yet without room", true, {}, 2, 7, false, 2},
      {"a store that counts no views", false, {}, 3, 1, false, 6},
      {"a store that counts no views, at its end", false, {}, 6, 2, true, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Handle<Indexed> store = store_of<Indexed>({0, 1, 2, 3, 4, 5}, 8, c.counted);
    {
      std::vector<PrefixView<Indexed>> views;
      for (std::uint32_t size : c.live) views.emplace_back(store, size);
      const PrefixView<Indexed> extended(store, c.extended);
      EXPECT_EQ(store->has_room_after(c.extended, c.more), c.room);
      EXPECT_EQ(store->size(), c.size_after);
      EXPECT_EQ(extended.elements().size(), c.extended);
    }
    // The views are gone: the store keeps what it kept until asked again.
    EXPECT_EQ(store->size(), c.size_after);
  }
}

TEST(PrefixStoreTest, CopiesAndMovesOfViewsCountAsTheViewsThatLive) {
  Handle<Indexed> store = store_of<Indexed>({0, 1, 2, 3}, 8);
  std::optional<PrefixView<Indexed>> longer(PrefixView<Indexed>(store, 4));
  PrefixView<Indexed> copy = *longer;
  PrefixView<Indexed> moved = std::move(copy);
  longer.reset();
  EXPECT_FALSE(store->has_room_after(2, 1));  // moved still sees 4
  moved = PrefixView<Indexed>(store, 2);
  EXPECT_TRUE(store->has_room_after(2, 1));
  EXPECT_EQ(keys_of(*store), (std::vector<int>{0, 1}));
}

TEST(PrefixStoreTest, TheIndexFindsTheFirstOfEachKeyInEveryPrefix) {
  // Keys in hash collisions, repeated, appended, taken back, then others appended.
  struct Case {
    const char* what;
    std::vector<int> keys;
    std::uint32_t kept;         // taken back to this many
    std::vector<int> appended;  // then appended
  };
  const std::vector<Case> cases = {
      {"distinct keys in one chain", {0, 4, 8, 12, 1, 5}, 6, {}},
      {"repeated keys", {0, 4, 0, 4, 8, 0}, 6, {}},
      {"the newest of a chain taken back", {0, 4, 8, 12}, 2, {1, 5}},
      {"a repeat taken back, its first kept", {0, 4, 0, 8, 4}, 3, {12, 4}},
      {"everything taken back", {3, 7, 11, 3}, 0, {7, 3, 15}},
      {"taken back to the middle of a chain", {0, 1, 4, 5, 8, 9}, 3, {9, 8, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Handle<Indexed> indexed = store_of<Indexed>(c.keys, 12);
    Handle<Scanned> scanned = store_of<Scanned>(c.keys, 12);
    expect_found_as_scanned(*indexed);  // indexes every element
    expect_found_as_scanned(*scanned);
    ASSERT_TRUE(indexed->has_room_after(c.kept, c.appended.size()));
    ASSERT_TRUE(scanned->has_room_after(c.kept, c.appended.size()));
    for (int k : c.appended) {
      indexed->append(Entry{k, "again"});
      scanned->append(Entry{k, "again"});
    }
    expect_found_as_scanned(*indexed);
    expect_found_as_scanned(*scanned);
  }
}

TEST(PrefixStoreTest, TheExtraHearsOfEveryElementAppendedAndTakenBackNewestFirst) {
  Handle<Indexed> store = store_of<Indexed>({0, 1, 2, 3}, 8);
  ASSERT_TRUE(store->has_room_after(1, 2));
  store->append(Entry{9, "nine"});
  EXPECT_EQ(store->extra().events, (std::vector<int>{0, 1, 2, 3, -3, -2, -1, 1}));
  EXPECT_EQ(keys_of(*store), (std::vector<int>{0, 9}));
}

}  // namespace

}  // namespace analyser
