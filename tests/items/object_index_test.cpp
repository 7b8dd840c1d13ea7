// The object manager's name index and the children's z-order against the
// plain algorithms they stand in for: a walk over the whole object list for
// every lookup by name and every numbered name, and a whole insertion pass
// over a parent's children after every SetParent and priority change.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/timer.h"

namespace orba {
namespace {

// ---- the plain algorithms ----------------------------------------------------------------------

const TOrbaObject* ScanFirstNamed(const TOrbaBaseList& m, const std::string& name, bool unscrapped, bool control) {
  for (const TOrbaObject* o : m.Objects)
    if (o->GetName() == name && (!unscrapped || !o->IsScrapped()) && (!control || o->IsControl())) return o;
  return nullptr;
}

int64_t ScanSmallestFree(const TOrbaBaseList& m, const std::string& prefix, int64_t first) {
  for (int64_t n = first;; ++n)
    if (ScanFirstNamed(m, prefix + std::to_string(n), false, false) == nullptr) return n;
}

void InsertionPass(std::vector<TOrbaControl*>& children) {
  for (size_t i = 1; i < children.size(); ++i) {
    TOrbaControl* item = children[i];
    size_t j = i;
    for (; j > 0 && CompareZOrder(*children[j - 1], *item) > 0; --j) children[j] = children[j - 1];
    children[j] = item;
  }
}

class ObjectIndexTest : public ::testing::Test {
 protected:
  // Timers are named and never run: the clock is left as it is.
  void SetUp() override { m.SetWidth(32); }
  TOrbaTimer* Timer(const std::string& name) {
    auto* t = NewOrbaObject<TOrbaTimer>(&m);
    if (!name.empty()) t->AssignName(name);
    return t;
  }
  TOrbaBaseList m;
};

// ---- numbered names ----------------------------------------------------------------------------

TEST_F(ObjectIndexTest, SmallestFreeNumbersMatchAScanOverEveryName) {
  struct TCase {
    std::vector<std::string> names;
    std::string prefix;
    int64_t first;
    int64_t expected;
  };
  const std::vector<TCase> cases = {
      {{}, "object", 0, 0},
      {{"object0", "object1", "object3"}, "object", 0, 2},
      // "object01" is not how 1 is written.
      {{"object0", "object01"}, "object", 0, 1},
      // "a10" is "a1" + 0 as well as "a" + 10.
      {{"a1", "a10"}, "a1", 0, 1},
      {{"a1", "a10"}, "a", 0, 0},
      {{"btn_2", "btn_3"}, "btn_", 2, 4},
      {{"btn_5", "btn_2"}, "btn_", 5, 6},
      // Far above anything counted yet.
      {{"x_1000", "x_1001"}, "x_", 1000, 1002},
      // A name that is only digits, and the empty prefix.
      {{"0", "1", "3"}, "", 0, 2},
  };
  for (const TCase& c : cases) {
    m.Reset();
    for (const std::string& name : c.names) Timer("")->AssignName(name);
    EXPECT_EQ(m.SmallestFreeNumber(c.prefix, c.first), c.expected) << c.prefix << " from " << c.first;
    EXPECT_EQ(ScanSmallestFree(m, c.prefix, c.first), c.expected) << c.prefix << " from " << c.first;
  }
}

TEST_F(ObjectIndexTest, FreedNumbersAreHandedOutAgainLowestFirst) {
  std::vector<TOrbaTimer*> timers;
  for (int i = 0; i < 10; ++i) timers.push_back(Timer(""));
  EXPECT_EQ(timers[9]->GetName(), "object9");
  m.FreeObject(timers[7]);
  timers[3]->Scrap();
  // A script name that looks numbered takes its number out of the running.
  Timer("object10");
  EXPECT_EQ(Timer("")->GetName(), "object3");
  EXPECT_EQ(Timer("")->GetName(), "object7");
  EXPECT_EQ(Timer("")->GetName(), "object11");
  // Renamed away, the number is free again.
  timers[0]->AssignName("zero");
  EXPECT_EQ(m.MakeUniqueName("object"), "object0");
}

// A visual item that takes a name in use renames the other one to the
// first free base + "_" + n, n from the number the name already ends in.
TEST_F(ObjectIndexTest, RenamedItemsTakeTheFirstFreeSuffix) {
  struct TCase {
    std::vector<std::string> existing;  // boxes, in creation order
    std::string name;                   // given to a new box
    std::string renamed;                // what the first box of that name becomes
  };
  const std::vector<TCase> cases = {
      {{"btn"}, "btn", "btn_2"},
      {{"btn", "btn_2"}, "btn", "btn_3"},
      {{"btn_5"}, "btn_5", "btn_6"},
      {{"btn_5", "btn_6", "btn_8"}, "btn_5", "btn_7"},
      // A number below 2 stays part of the base.
      {{"btn_1"}, "btn_1", "btn_1_2"},
      // Ten digits are not a number.
      {{"b_1234567890"}, "b_1234567890", "b_1234567890_2"},
  };
  for (const TCase& c : cases) {
    m.Reset();
    std::vector<TOrbaBox*> boxes;
    for (const std::string& name : c.existing) {
      boxes.push_back(NewOrbaObject<TOrbaBox>(&m));
      boxes.back()->SetName(name);
    }
    NewOrbaObject<TOrbaBox>(&m)->SetName(c.name);
    const TOrbaObject* first = ScanFirstNamed(m, c.name, false, false);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, boxes.front());
    EXPECT_EQ(boxes.front()->GetName(), c.renamed) << c.name;
    EXPECT_EQ(m.FindObject(c.renamed), boxes.front());
  }
}

// ---- children given a parent in a row ----------------------------------------------------------

// Boxes given the active root one after another, with no read between,
// take the places that placing each on its arrival gives: by internal name,
// Priority + SubPriority, then the names' bytes (unsigned), an equal key
// behind the earlier ones, the top name over all.
TEST_F(ObjectIndexTest, ChildrenJoiningInARowTakeTheirPlacesAtTheNextRead) {
  struct TBox {
    std::string name;
    int32_t priority = 0;
  };
  struct TCase {
    std::vector<TBox> placed;    // given the parent first, then read
    std::vector<TBox> arriving;  // given the parent in a row
    std::vector<int> order;      // indices into placed + arriving
  };
  const std::vector<TCase> cases = {
      // Numbered names order by their bytes, not their numbers.
      {{{"b1"}, {"b5"}}, {{"b9"}, {"b10"}, {"b2"}}, {0, 3, 4, 1, 2}},
      // Equal keys keep the order of arrival, behind the placed one.
      {{{"x"}}, {{"x"}, {"w"}, {"x"}}, {2, 0, 1, 3}},
      // Internal names first, then priority, before any name.
      {{{"a", 1}, {"c"}}, {{"z", -1}, {"\x01q", 5}, {"b", 1}}, {3, 2, 1, 0, 4}},
      // The same first 16 bytes; a byte above 127 after every letter.
      {{{"sixteen_bytes_ab2"}}, {{"\x82\xa0"}, {"sixteen_bytes_ab1"}, {"sixteen_bytes_ab"}, {"z"}},
       {3, 2, 0, 4, 1}},
      // The top name over all, whenever it arrives.
      {{}, {{"\x01\x01"}, {"m", 9}, {"\x01a"}}, {2, 1, 0}},
      // Nothing placed before: the row alone.
      {{}, {{"object10"}, {"object9"}, {"object1"}, {"object100"}}, {2, 0, 3, 1}},
  };
  for (const TCase& c : cases) {
    m.Reset();
    TOrbaControl* root = m.ActiveBase();
    std::vector<TOrbaControl*> boxes;
    auto give = [&](const TBox& wanted) {
      auto* box = NewOrbaObject<TOrbaBox>(&m);
      box->AssignName(wanted.name);
      box->SetPriority(wanted.priority);
      box->SetParent(root);
      boxes.push_back(box);
    };
    for (const TBox& wanted : c.placed) give(wanted);
    ASSERT_EQ(root->GetChild(0) != nullptr, !c.placed.empty());
    for (const TBox& wanted : c.arriving) give(wanted);
    EXPECT_GT(root->WaitingChildren(), 0u);
    std::vector<TOrbaControl*> expected;
    for (int i : c.order) expected.push_back(boxes[static_cast<size_t>(i)]);
    std::vector<TOrbaControl*> sorted(boxes);
    InsertionPass(sorted);
    EXPECT_EQ(expected, sorted) << "the expected order is a whole pass's";
    EXPECT_EQ(root->GetChildren(), expected) << c.arriving.front().name;
    EXPECT_EQ(root->WaitingChildren(), 0u);
  }
}

// Boxes given a Priority or SubPriority after the parent (as a creating
// command gives them) keep waiting for their place while no other object
// bears their name, and every read sees the order that placing each on its
// arrival and moving it at each change gives (the model: a whole pass after
// each). A box whose name another bears takes its place at the change.
TEST_F(ObjectIndexTest, ChildrenGivenAPriorityAfterTheParentWaitWhileTheirNamesAreTheirOwn) {
  struct TBox {
    std::string name;
    int32_t priority = 0, sub = 0;
  };
  struct TCase {
    const char* what;
    std::vector<TBox> arriving;
    size_t still_waiting;
  };
  const std::vector<TCase> cases = {
      {"priorities in falling order", {{"object0", 5}, {"object1", 3}, {"object2", 1}, {"object3", -2}}, 4},
      {"sub-priorities and internal names", {{"a", 1, 2}, {"\x01" "b", 0, 9}, {"c", 2, -1}, {"d", 1, 1}}, 4},
      // The second "x" is placed at its change, the rows before it too.
      {"a shared name", {{"x", 2}, {"y", 1}, {"x", 2}, {"z", 0}}, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    m.Reset();
    TOrbaControl* root = m.ActiveBase();
    std::vector<TOrbaControl*> model = root->GetChildren();
    for (const TBox& wanted : c.arriving) {
      auto* box = NewOrbaObject<TOrbaBox>(&m);
      box->AssignName(wanted.name);
      box->SetParent(root);
      model.push_back(box);
      InsertionPass(model);
      box->SetPriority(wanted.priority);
      InsertionPass(model);
      if (wanted.sub != 0) box->SetSubPriority(wanted.sub);
      InsertionPass(model);
    }
    EXPECT_EQ(root->WaitingChildren(), c.still_waiting);
    EXPECT_EQ(root->GetChildren(), model);
    EXPECT_EQ(root->WaitingChildren(), 0u);
  }
}

// ---- many names ----------------------------------------------------------------------------------

// Thousands of names, taken, shared, freed and renamed, so that the index
// grows and closes gaps in its runs: every lookup matches a scan.
TEST_F(ObjectIndexTest, ManyNamesMatchAListScanThroughGrowthAndRemovals) {
  std::mt19937 rng(11);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  std::vector<TOrbaTimer*> timers;
  for (int i = 0; i < 3000; ++i) timers.push_back(Timer(pick(4) == 0 ? "" : "n" + std::to_string(pick(1500))));
  auto check = [&] {
    std::vector<std::string> names;
    for (int i = 0; i < 1600; i += 7) names.push_back("n" + std::to_string(i));
    for (const TOrbaTimer* t : timers) names.push_back(t->GetName());
    for (const std::string& name : names) {
      ASSERT_EQ(m.FindObject(name), ScanFirstNamed(m, name, true, false)) << name;
      ASSERT_EQ(m.IndexOfName(name), m.IndexOfObject(ScanFirstNamed(m, name, false, false))) << name;
    }
    ASSERT_EQ(m.MakeUniqueName("object"), "object" + std::to_string(ScanSmallestFree(m, "object", 0)));
  };
  std::vector<TObjectHandle> freed;
  check();
  for (int round = 0; round < 3 && !HasFatalFailure(); ++round) {
    for (size_t i = 0; i < timers.size(); ++i) {
      if (pick(3) != 0) continue;
      if (pick(2) == 0) {
        freed.push_back(timers[i]->Handle());
        m.FreeObject(timers[i]);
        timers[i] = Timer("n" + std::to_string(pick(1500)));
      } else {
        timers[i]->AssignName("n" + std::to_string(pick(1500)));
      }
    }
    check();
    // The registry by serial follows too.
    for (const TOrbaTimer* t : timers) ASSERT_EQ(m.Lookup(t->Handle()), t);
    for (TObjectHandle h : freed) ASSERT_EQ(m.Lookup(h), nullptr);
  }
}

// ---- random edits ------------------------------------------------------------------------------

// Plays random edits on a manager and on a model of every parent's children
// kept by whole insertion passes, and compares both, and every lookup by
// name with a scan of the list, after each edit.
class RandomEdits {
 public:
  RandomEdits(TOrbaBaseList& m, uint32_t seed) : m_(m), rng_(seed) { Rebuild(); }

  // One edit, or a burst of edits with no read between them (children
  // given a parent in a row wait for their place until the next read).
  void Step() {
    if (Pick(6) == 0) {
      // Any edit but a save and load (kind 11).
      for (uint32_t i = Pick(8) + 2; i-- > 0;) {
        const uint32_t kind = Pick(12);
        Edit(kind == 11 ? 12 : kind);
      }
    } else {
      Edit(Pick(13));
    }
    Check();
  }
  // How many children were still waiting for their place at the checks.
  size_t Waited() const { return waited_; }
  // How many boxes created with a Priority still waited after it.
  size_t KeyedWaits() const { return keyed_waits_; }

 private:
  void Edit(uint32_t kind) {
    const std::map<uint64_t, const void*> before = Registered();
    bool loaded = false;
    switch (kind) {
      case 0:
      case 1: {
        auto* box = NewOrbaObject<TOrbaBox>(&m_);
        if (Pick(2) == 0) box->SetName(Name());
        if (Pick(4) != 0) Reparent(*box, Control());
        break;
      }
      case 2: {
        auto* t = NewOrbaObject<TOrbaTimer>(&m_);
        if (Pick(2) == 0) t->SetName(Name());
        break;
      }
      case 3:
        if (TOrbaObject* o = Object()) o->SetName(Name());
        break;
      case 4:
        // A name stored as it is (as a saved scene gives it): duplicates.
        if (TOrbaObject* o = Object()) o->AssignName(Name());
        break;
      case 5:
      case 6:
        if (TOrbaControl* box = Box()) Reparent(*box, Control());
        break;
      case 7:
        if (TOrbaControl* box = Box()) SetKey(*box, static_cast<int32_t>(Pick(4)) - 1, false);
        break;
      case 8:
        if (TOrbaControl* box = Box()) SetKey(*box, static_cast<int32_t>(Pick(3)), true);
        break;
      case 9:
        if (TOrbaObject* o = Object()) o->Scrap();
        break;
      case 10:
        if (TOrbaObject* o = Object(); o != nullptr && Pick(2) == 0) {
          m_.FreeObject(o);
        } else {
          m_.Idle_();
        }
        break;
      case 11:
        if (Pick(8) == 0) {
          SaveAndLoad();
          loaded = true;
        }
        break;
      case 12: {
        // Created with a Priority (and at times a SubPriority), as a
        // creating command gives them after the parent: the key changes
        // while the box may still wait for its place.
        auto* box = NewOrbaObject<TOrbaBox>(&m_);
        if (Pick(2) == 0) box->SetName(Name());
        Reparent(*box, Control());
        SetKey(*box, static_cast<int32_t>(Pick(4)) - 1, false);
        if (Pick(3) == 0) SetKey(*box, static_cast<int32_t>(Pick(3)), true);
        if (box->AwaitingPlace()) ++keyed_waits_;
        break;
      }
    }
    if (!loaded) Forget(before);
  }

  // SetPriority (or SetSubPriority) as the model sees it: a whole pass
  // after a change.
  void SetKey(TOrbaControl& box, int32_t p, bool sub) {
    const bool sorts = p != (sub ? box.GetSubPriority() : box.GetPriority()) && box.GetParent() != nullptr;
    if (sub) box.SetSubPriority(p);
    else box.SetPriority(p);
    if (sorts) InsertionPass(model_[box.GetParent()]);
  }
  uint32_t Pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  std::string Name() {
    // Names that differ past the 8th and the 16th byte, and bytes above
    // 127 (compared unsigned). (Not the top name: two siblings bearing it
    // order each other both ways, and a whole pass places them otherwise
    // than one placed by binary search.)
    static const std::vector<std::string> pool = {
        "a",         "b",       "a_2",          "a_3", "object1", "object3", "object12",
        "x10",       "x1",      "\x01i",        "btn_5", "",     "\x82\xa0", "long_name_1",
        "long_name_2", "sixteen_bytes_ab", "sixteen_bytes_ab2", "sixteen_bytes_ab1"};
    return pool[Pick(static_cast<uint32_t>(pool.size()))];
  }
  TOrbaObject* Object() { return m_.Objects.empty() ? nullptr : m_.Objects[Pick(static_cast<uint32_t>(m_.Objects.size()))]; }
  TOrbaControl* Box() {
    std::vector<TOrbaControl*> boxes;
    for (TOrbaObject* o : m_.Objects)
      if (o->IsControl()) boxes.push_back(static_cast<TOrbaControl*>(o));
    return boxes.empty() ? nullptr : boxes[Pick(static_cast<uint32_t>(boxes.size()))];
  }
  TOrbaControl* Control() {
    if (Pick(3) == 0) return m_.GetBase(static_cast<int32_t>(Pick(2)));
    TOrbaControl* box = Box();
    return box != nullptr ? box : m_.ActiveBase();
  }
  // SetParent as the model sees it: appended, then a whole pass.
  void Reparent(TOrbaControl& child, TOrbaControl* parent) {
    const TOrbaControl* old = child.GetParent();
    child.SetParent(parent);
    if (child.GetParent() == old) return;
    if (old != nullptr) std::erase(model_[old], &child);
    auto& list = model_[parent];
    list.push_back(&child);
    InsertionPass(list);
  }
  // The controls' addresses by serial.
  std::map<uint64_t, const void*> Registered() const {
    std::map<uint64_t, const void*> all;
    for (TOrbaObject* o : m_.Objects)
      if (o->IsControl()) all[o->Serial] = static_cast<const TOrbaControl*>(o);
    return all;
  }
  // Controls freed by the last edit leave the model (only their addresses
  // are compared: they are gone).
  void Forget(const std::map<uint64_t, const void*>& before) {
    for (const auto& entry : before) {
      if (m_.Lookup(TObjectHandle{entry.first}) != nullptr) continue;
      const void* gone = entry.second;
      std::erase_if(model_, [gone](const auto& entry) { return static_cast<const void*>(entry.first) == gone; });
      for (auto& [parent, list] : model_)
        std::erase_if(list, [gone](const TOrbaControl* c) { return static_cast<const void*>(c) == gone; });
    }
  }
  void SaveAndLoad() {
    TKsMemoryStream s;
    m_.SaveToStream(s);
    TKsMemoryStream in(s.MutableBytes());
    m_.LoadFromStream(in, kSceneVersion);
    // A loaded tree is sorted by one whole pass.
    Rebuild();
    for (auto& [parent, list] : model_) {
      std::vector<TOrbaControl*> sorted = list;
      InsertionPass(sorted);
      EXPECT_EQ(sorted, list);
    }
  }
  void Rebuild() {
    model_.clear();
    for (int i = 0; i < 2; ++i) model_[m_.GetBase(i)] = m_.GetBase(i)->GetChildren();
    for (TOrbaObject* o : m_.Objects)
      if (o->IsControl()) model_[static_cast<TOrbaControl*>(o)] = static_cast<TOrbaControl*>(o)->GetChildren();
  }
  void Check() {
    for (auto& [parent, list] : model_) waited_ += parent->WaitingChildren();
    for (auto& [parent, list] : model_) ASSERT_EQ(parent->GetChildren(), list) << "children of " << parent->GetName();
    std::vector<std::string> names = {"", "zzz"};
    for (const TOrbaObject* o : m_.Objects) names.push_back(o->GetName());
    for (int n = 0; n < 14; ++n) names.push_back("object" + std::to_string(n));
    for (const std::string& name : names) {
      const TOrbaObject* first = ScanFirstNamed(m_, name, false, false);
      ASSERT_EQ(m_.IndexOfName(name), m_.IndexOfObject(first)) << name;
      if (name.empty()) continue;
      ASSERT_EQ(m_.FindObject(name), ScanFirstNamed(m_, name, true, false)) << name;
      ASSERT_EQ(m_.FindControl(name), ScanFirstNamed(m_, name, true, true)) << name;
    }
    ASSERT_EQ(m_.MakeUniqueName("object"), "object" + std::to_string(ScanSmallestFree(m_, "object", 0)));
    ASSERT_EQ(m_.SmallestFreeNumber("a_", 2), ScanSmallestFree(m_, "a_", 2));
    ASSERT_EQ(m_.SmallestFreeNumber("x", 0), ScanSmallestFree(m_, "x", 0));
  }

  TOrbaBaseList& m_;
  std::mt19937 rng_;
  std::map<const TOrbaControl*, std::vector<TOrbaControl*>> model_;
  size_t waited_ = 0;
  size_t keyed_waits_ = 0;
};

TEST_F(ObjectIndexTest, RandomEditsMatchAListScanAndWholeSorts) {
  size_t waited = 0, keyed_waits = 0;
  for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
    m.Reset();
    RandomEdits edits(m, seed);
    for (int step = 0; step < 400 && !HasFatalFailure(); ++step) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
      edits.Step();
    }
    if (HasFatalFailure()) return;
    waited += edits.Waited();
    keyed_waits += edits.KeyedWaits();
  }
  // The bursts did leave children waiting for a read, some of them after a
  // Priority given at creation.
  EXPECT_GT(waited, 0u);
  EXPECT_GT(keyed_waits, 0u);
}

}  // namespace
}  // namespace orba
