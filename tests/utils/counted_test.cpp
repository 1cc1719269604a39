#include "utils/counted.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace analyser {

namespace {

// An object that records its destruction in a list of names.
struct Probe : Counted {
  Probe(std::string n, std::vector<std::string>& log) : name(std::move(n)), destroyed(log) {}
  ~Probe() { destroyed.push_back(name); }
  std::string name;
  std::vector<std::string>& destroyed;
};

struct DerivedProbe : Probe {
  using Probe::Probe;
};

// An object that its handles end through its own destroy.
struct SelfDestroying : Counted {
  static inline int destroyed = 0;
  static void destroy(const SelfDestroying* object) {
    ++destroyed;
    delete object;
  }
};

TEST(HandleTest, TheLastHandleDestroysTheObject) {
  // Each way of keeping and dropping handles, with the handles left before the
  // last one goes.
  struct Case {
    const char* what;
    std::function<void(Handle<Probe>&, std::vector<Handle<Probe>>&)> keep;
    std::uint32_t handles;
  };
  const std::vector<Case> cases = {
      {"alone", [](Handle<Probe>&, std::vector<Handle<Probe>>&) {}, 1},
      {"copied", [](Handle<Probe>& h, std::vector<Handle<Probe>>& kept) { kept.push_back(h); }, 2},
      {"moved",
       [](Handle<Probe>& h, std::vector<Handle<Probe>>& kept) { kept.push_back(std::move(h)); }, 1},
      {"copy-assigned",
       [](Handle<Probe>& h, std::vector<Handle<Probe>>& kept) {
         kept.emplace_back();
         kept.back() = h;
         kept.back() = h;  // again: still one more
       },
       2},
      {"converted to a const handle",
       [](Handle<Probe>& h, std::vector<Handle<Probe>>& kept) {
         const Handle<const Probe> c = h;
         kept.push_back(h);
         EXPECT_EQ(c.use_count(), 3u);
       },
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> destroyed;
    {
      std::vector<Handle<Probe>> kept;
      {
        Handle<Probe> h = make_handle<Probe>("p", destroyed);
        c.keep(h, kept);
        const Handle<Probe>& any = h ? h : kept.front();
        EXPECT_EQ(any.use_count(), c.handles);
      }
      EXPECT_EQ(destroyed.empty(), !kept.empty());
    }
    EXPECT_EQ(destroyed, std::vector<std::string>{"p"});
  }
}

TEST(HandleTest, AHandleOnADerivedObjectDestroysItWhole) {
  std::vector<std::string> destroyed;
  {
    Handle<const Probe> base = make_handle<DerivedProbe>("d", destroyed);
    EXPECT_EQ(base.use_count(), 1u);
  }
  EXPECT_EQ(destroyed, std::vector<std::string>{"d"});
}

TEST(HandleTest, AnObjectThatDeclaresDestroyIsEndedByIt) {
  SelfDestroying::destroyed = 0;
  {
    Handle<const SelfDestroying> a = make_handle<const SelfDestroying>();
    Handle<const SelfDestroying> b = a;
  }
  EXPECT_EQ(SelfDestroying::destroyed, 1);
}

TEST(HandleTest, UnownedHandlesCountNothingAndDestroyNothing) {
  struct Shared : Counted {
    int value = 7;
  };
  static Shared shared;
  static const Handle<Shared> unowned = Handle<Shared>::unowned(shared);
  {
    std::vector<Handle<Shared>> copies(3, unowned);
    const Handle<Shared> moved = std::move(copies.back());
    EXPECT_EQ(moved.use_count(), 0u);
    EXPECT_TRUE(moved == unowned);
  }
  // The last copy gone, the object is still there.
  EXPECT_EQ(unowned.use_count(), 0u);
  EXPECT_EQ(unowned->value, 7);
}

TEST(HandleTest, NullHandlesAreEqualAndFalse) {
  const Handle<Probe> a;
  const Handle<Probe> b = nullptr;
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == nullptr);
  EXPECT_FALSE(a);
  EXPECT_EQ(a.use_count(), 0u);
}

}  // namespace

}  // namespace analyser
