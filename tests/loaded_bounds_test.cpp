// Saved worlds hold only what the game can hold: every field of every loaded thing and the
// snapshot's own values are checked against one table of bounds before anything uses them.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "TestWorld.h"
#include "app/sim/NullSurface.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/LoadedBounds.h"
#include "state/Replay.h"
#include "state/SnapshotFile.h"
#include "world/ThingAccess.h"

namespace {

// Random players on a fixed seed; the clock follows the tick.
struct Match {
  explicit Match(uint64_t seed) : random(seed, true) { form.Load(); }
  tb::sim::NullSurface surface;
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock{86000};
  tb::Pcg32 random;
  tb::MainFrm form{surface, keys, sound, clock, random, "."};
  int64_t tick = 0;

  void Play(int64_t ticks) {
    for (int64_t end = tick + ticks; tick < end;) {
      ++tick;
      clock.SetTick(tick);
      tb::sim::RandomPlayers(static_cast<uint64_t>(tick / 8)).Press(tick, keys);
      form.Timer1Tick();
      sound.Clear();
    }
  }
};

tb::Snapshot GameAt(int64_t ticks) {
  Match m(11);
  m.Play(ticks);
  return m.form.TakeSnapshot();
}

// The problem of a snapshot whose first round thing is changed by `change`.
template <class F>
std::string WithRoundThing(F change) {
  tb::Snapshot s = GameAt(5);
  for (tb::Thing& t : s.Things) {
    if (!t.Rectangle) {
      change(t);
      break;
    }
  }
  return tb::SnapshotProblem(s);
}

TEST(LoadedBounds, EveryNumericFieldHasABoundAndNoneIsLeftOver) {
  tb::Thing t;
  int numeric = 0;
  t.VisitFields([&](const char* name, const auto& field) {
    using T = std::decay_t<decltype(field)>;
    if constexpr (!std::is_same_v<T, bool> && !std::is_same_v<T, std::string>) {
      const tb::FieldBound* b = tb::ThingFieldBound(name);
      ASSERT_NE(b, nullptr) << name;
      EXPECT_LE(b->low, b->high) << name;
      ++numeric;
    }
  });
  EXPECT_EQ(numeric, 42);
  EXPECT_EQ(tb::ThingFieldBound("Wheels"), nullptr);
  // A thing as its constructor makes it, given an ID, is the game's.
  t.ID = "ID1";
  EXPECT_EQ(tb::ThingFieldProblem(t, 1), "");
}

TEST(LoadedBounds, EverySnapshotOfALongGameIsWithinThem) {
  Match m(5);
  for (int i = 0; i < 30; ++i) {
    m.Play(200);
    ASSERT_EQ(tb::SnapshotProblem(m.form.TakeSnapshot()), "") << "tick " << m.tick;
  }
}

TEST(LoadedBounds, ValuesAtTheEdgesPassAndJustBeyondAreNamed) {
  using L = std::numeric_limits<float>;
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.Radius = 1 << 20; }), "");
  const std::string label = [] {
    tb::Snapshot s = GameAt(5);
    for (size_t i = 0; i < s.Things.size(); ++i)
      if (!s.Things[i].Rectangle)
        return "thing " + std::to_string(i + 1) + " (" + s.Things[i].ID + ") ";
    return std::string();
  }();
  ASSERT_FALSE(label.empty());
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.Radius = 1191969280; }),
            label + "field Radius = 1191969280 is outside 0 to 1048576");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.Radius = -1; }),
            label + "field Radius = -1 is outside 0 to 1048576");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.X = L::quiet_NaN(); }),
            label + "field X = nan is outside -1048576 to 1048576");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.YSpeed = -L::infinity(); }),
            label + "field YSpeed = -inf is outside -1048576 to 1048576");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.Color = 0x1000000; }),
            label + "field Color = 16777216 is outside 0 to 16777215");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { t.ThingType(7); }),
            label + "field ThingType = 7 is outside 0 to 6");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { tb::ThingAccess::BodyY(t)[0] = 3; }),
            label + "field BodyY[0] = 3 is not 0");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { tb::ThingAccess::PointsX(t)[4] = -2097153; }),
            label + "field PointsX[4] = -2097153 is outside -2097152 to 2097152");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { tb::ThingAccess::RightTreadOffset(t) = 8.001f; }),
            label + "field RightTreadOffset = 8.0010004 is outside 0 to 8");
  EXPECT_EQ(WithRoundThing([](tb::Thing& t) { tb::ThingAccess::Damage(t) = INT32_MIN; }),
            label + "field Damage = -2147483648 is outside 0 to 2147483647");
}

TEST(LoadedBounds, IDsAreTheGamesOwnAndUnique) {
  const tb::Snapshot good = GameAt(5);
  ASSERT_EQ(tb::SnapshotProblem(good), "");
  const int32_t n = good.IDCount;
  auto with = [&](auto change) {
    tb::Snapshot s = good;
    change(s);
    return tb::SnapshotProblem(s);
  };
  const std::string last = "ID" + std::to_string(n);
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Things[0].ID = "ID01"; }),
            "thing 1 field ID = \"ID01\" is not an ID from ID1 to " + last);
  EXPECT_EQ(
      with([&](tb::Snapshot& s) { s.Things[0].ID = "ID" + std::to_string(n + 1); }),
      "thing 1 field ID = \"ID" + std::to_string(n + 1) + "\" is not an ID from ID1 to " + last);
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Things[1].ID = s.Things[0].ID; }),
            "thing 2 (ID1) has the ID of another thing");
  EXPECT_EQ(
      with([](tb::Snapshot& s) { s.Things[2].Launcher = "ID\n"; }),
      "thing 3 (ID3) field Launcher = \"ID?\" is not an ID from ID1 to " + last + " nor empty");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.IDCount = INT32_MAX; }),
            "IDCount = 2147483647 is outside 0 to 2147483646");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.IDCount = -1; }),
            "IDCount = -1 is outside 0 to 2147483646");
}

TEST(LoadedBounds, PlayersContactAndCaptionAreChecked) {
  const tb::Snapshot good = GameAt(5);
  auto with = [&](auto change) {
    tb::Snapshot s = good;
    change(s);
    return tb::SnapshotProblem(s);
  };
  ASSERT_EQ(good.Players.size(), 4u);
  EXPECT_EQ(good.Players[0].Colour, "Blue");
  EXPECT_EQ(with([](tb::Snapshot& s) { std::swap(s.Players[0], s.Players[1]); }),
            "player 2 colour \"Blue\" is not Blue, Green, Red or Yellow, once each and in that "
            "order");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Players.pop_back(); }), "");  // fewer is allowed
  EXPECT_EQ(with([&](tb::Snapshot& s) {
              for (uint32_t i = 0; i < s.Things.size(); ++i)
                if (s.Things[i].ThingType() != tb::Vehicle) s.Players[0].Index = i;
            }),
            "player Blue does not name a vehicle");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Contact.CornerHits = 9; }),
            "contact CornerHits = 9 is outside 0 to 8");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Contact.NearY = 1 << 30; }),
            "contact NearY = 1073741824 is outside -2097152 to 2097152");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Caption = "a\tb"; }),
            "caption \"a?b\" is not at most 64 printable characters");
  EXPECT_EQ(with([](tb::Snapshot& s) { s.Caption = std::string(65, 'x'); }),
            "caption \"" + std::string(40, 'x') + "...\" is not at most 64 printable characters");
}

TEST(LoadedBounds, TheReadersRefuseWhatIsOutsideWithOneLine) {
  // The kept fuzz input: a ball of radius 1191969280, once an overflow of 2 * Radius.
  std::ifstream in(
      std::string(TREADBRAWL_SOURCE_DIR) + "/tests/fuzz_regressions/replay/radius-overflow.tbs",
      std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  tb::Snapshot s;
  std::string problem;
  EXPECT_FALSE(tb::ParseSnapshot(bytes, s, problem));
  EXPECT_EQ(problem,
            "corrupted: thing 19 (ID19) field Radius = 1191969280 is outside 0 to 1048576");

  tb::Replay r;
  r.Width = 582;
  r.Height = 555;
  r.LoadReadings = {100.0f};
  r.AddTick({}, {100.02f});
  r.AddTick({}, {std::nanf("")});
  r.Complete = true;
  EXPECT_FALSE(tb::ParseReplay(tb::SerializeReplay(r), r, problem));
  EXPECT_EQ(problem.rfind("corrupted: a clock reading = nan is outside 0 to 67108864 (at byte", 0),
            0u)
      << problem;
  r.LoadReadings = {-1.0f};
  EXPECT_FALSE(tb::ParseReplay(tb::SerializeReplay(r), r, problem));
  EXPECT_EQ(problem,
            "corrupted: clock reading 1 before the first tick = -1 is outside 0 to 67108864");
  EXPECT_TRUE(tb::IsClockReading(0.0f));
  EXPECT_TRUE(tb::IsClockReading(67108864.0f));
  EXPECT_FALSE(tb::IsClockReading(67108872.0f));
}

}  // namespace
