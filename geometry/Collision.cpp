#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "geometry/CollisionGrid.h"
#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "render/Sound.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

using Module1::Contact;

// The cheap first test of every pair: the boxes of the two things overlap.
bool Thing::BoundsMeet(const Thing& P) const {
  return Module1::BoundsOverlap(RoundToInt(D(X)), RoundToInt(D(Y)), TrueLength(), TrueWidth(),
                                RoundToInt(D(P.X)), RoundToInt(D(P.Y)), P.TrueLength(),
                                P.TrueWidth());
}

// One examination of the pair (this, P). Returns true when a check-only query must end.
bool Thing::Examine(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result,
                    bool& EndQuery, bool boundsMet) {
  EndQuery = false;
  if (!boundsMet && !BoundsMeet(P)) return false;
  if (Rectangle && P.Rectangle) {
    if (Module1::PolygonsOverlap(PointsX, PointsY, P.PX(), P.PY())) HitFlag = true;
  } else if (Rectangle) {
    if (Module1::CircleTouchesPolygon(PointsX, PointsY, RoundToInt(D(P.X)), RoundToInt(D(P.Y)),
                                      P.Radius)) {
      if (P.Launcher == ID && P.Free < 2) {
        OwnGrenade = true;
      } else {
        HitFlag = true;
      }
    }
  } else if (P.Rectangle) {
    if (Module1::CircleTouchesPolygon(P.PX(), P.PY(), RoundToInt(D(X)), RoundToInt(D(Y)), Radius)) {
      if (Launcher == P.ID && Free < 3) {
        OwnGrenade = true;
      } else {
        HitFlag = true;
      }
    }
  } else if (Module1::CirclesTouch(RoundToInt(D(X)), RoundToInt(D(Y)), Radius, RoundToInt(D(P.X)),
                                   RoundToInt(D(P.Y)), P.Radius)) {
    HitFlag = true;
  }
  if (!HitFlag) return false;

  PlayCategory(*Form, ContactSound(ThingType(), P.ThingType()));

  if (ThingType() == Vehicle && P.ThingType() == PowerUp) {
    GetPowerUp(P.PowerUpType());
    Form->ThingCollection.Remove(P.ID);
    return false;
  }
  if (ThingType() == PowerUp && P.ThingType() == Vehicle) {
    P.GetPowerUp(PowerUpType());
    Form->ThingCollection.Remove(ID);
    return false;
  }

  Result = true;
  LastHitID = P.ID;
  if (JustResults) {
    EndQuery = true;
    return true;
  }
  int32_t Cx = Contact.CrashPointX;
  int32_t Cy = Contact.CrashPointY;
  float XP = F(D(XPushAtPoint(Cx, Cy)) - D(P.XPushAtPoint(Cx, Cy)));
  float YP = F(D(YPushAtPoint(Cx, Cy)) - D(P.YPushAtPoint(Cx, Cy)));
  if (Rectangle && P.Rectangle) {
    Contact.CrashPointX = RoundToInt(D(Cx) - D(XP));
    Contact.CrashPointY = RoundToInt(D(Cy) - D(YP));
    Cx = Contact.CrashPointX;
    Cy = Contact.CrashPointY;
  }
  float fx = static_cast<float>(Cx);
  float fy = static_cast<float>(Cy);
  if (P.ThingType() == Explosion || P.ThingType() == Wall) {
    GetHit(fx, fy, -XP, -YP);
  } else {
    P.GetHit(fx, fy, F(D(XP) / 2.0), F(D(YP) / 2.0));
    GetHit(fx, fy, F(-D(XP) / 2.0), F(-D(YP) / 2.0));
  }
  SeparateThings(P, Contact.CrashPointX, Contact.CrashPointY);
  return false;
}

// Both looks at one partner: a second one while CornerHits says the things were deep in each
// other. A token just collected, by either side of the pair, is not looked at again, so it
// is never handed out twice; any other partner is, even one the first push destroyed. True
// when a check-only query must end.
bool Thing::ExamineBoth(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result,
                        bool boundsMet) {
  bool endQuery = false;
  Examine(P, JustResults, HitFlag, OwnGrenade, Result, endQuery, boundsMet);
  const bool pickup = (ThingType() == Vehicle && P.ThingType() == PowerUp) ||
                      (ThingType() == PowerUp && P.ThingType() == Vehicle);
  if (!endQuery && Contact.CornerHits >= 2 && !(pickup && HitFlag))
    Examine(P, JustResults, HitFlag, OwnGrenade, Result, endQuery);
  return endQuery;
}

bool Thing::FirstHit(const std::vector<Thing*>& found) {
  if (ThingType() == PowerUp)
    for (const Thing* p : found)
      if (p->ThingType() == Vehicle) return false;
  const int32_t x = RoundToInt(D(X)), y = RoundToInt(D(Y));
  const Thing* missed = nullptr;
  auto leaveMissTrace = [&] {
    if (missed != nullptr) Module1::LeaveCircleMissTrace(missed->PointsX, missed->PointsY, x, y);
    missed = nullptr;
  };
  for (Thing* p : found) {
    Thing& P = *p;
    if (P.Rectangle) {
      if (Module1::CircleSurelyClearOfPolygon(P.PointsX, P.PointsY, x, y, Radius)) {
        missed = &P;
        continue;
      }
      leaveMissTrace();
      if (!Module1::CircleTouchesPolygon(P.PointsX, P.PointsY, x, y, Radius)) continue;
    } else if (!Module1::CirclesTouch(x, y, Radius, RoundToInt(D(P.X)), RoundToInt(D(P.Y)),
                                      P.Radius)) {
      continue;
    }
    leaveMissTrace();
    PlayCategory(*Form, ContactSound(ThingType(), P.ThingType()));
    LastHitID = P.ID;
    return true;
  }
  return false;
}

bool Thing::HitThings(const bool& JustResults) {
  bool Result = false;
  bool OwnGrenade = false;
  bool HitFlag = false;
  bool ended = false;
  const bool justResults = JustResults;
  const bool smallRound =
      !Rectangle && Launcher.empty() && Radius >= 0 && Radius <= CollisionGrid::kSmallRadius;
  // A token trying places mostly ends at a hit among the few things the grid names straight
  // from the cell of its centre. Of the misses before that hit only the last against a
  // rectangle leaves a trace (each overwrites the one before), so those surely missed are not
  // tested; the last one's trace is left as its test would leave it. A place that is free,
  // or a token that could change hands, is settled by the look below.
  if (justResults && smallRound) {
    if (const auto* found = Form->Grid.TouchCandidates(*this); found && FirstHit(*found))
      return true;
  }
  CollisionGrid::Query near(Form->Grid, *this, justResults);
  // A check-only query that ends at a general hit depends only on the pairs before it whose
  // bounds meet: the others leave no trace. So those are examined alone, in walk order, and
  // when one ends the query that is the result. Otherwise (no hit, or a token that could
  // change hands) only misses have happened, which the full look does again the same way.
  auto endsAtHit = [&] {
    near.OnlyMeeting(true);
    bool hit = false;
    while (Thing* p = near.Next()) {
      const int32_t a = ThingType(), b = p->ThingType();
      if ((a == Vehicle && b == PowerUp) || (a == PowerUp && b == Vehicle)) break;
      if (!BoundsMeet(*p)) continue;
      if (ExamineBoth(*p, true, HitFlag, OwnGrenade, Result, true)) {
        hit = true;
        break;
      }
    }
    near.OnlyMeeting(false);
    HitFlag = false;
    OwnGrenade = false;
    return hit;
  };
  uint8_t tests = 0;
  if (near.Indexed() && near.StillQuiet(tests)) {
    // Nothing here has changed since the last look found nothing; it leaves the same traces.
    if ((tests & CollisionGrid::kPolygons) != 0) Contact.CornerHits = 0;
    if ((tests & CollisionGrid::kCircleOnPolygon) != 0) Contact.CentreInside = false;
  } else if (near.Indexed() && justResults && !smallRound && endsAtHit()) {
    return true;
  } else if (near.Indexed()) {
    // The walk over every thing, restricted to the things the grid says may touch this one.
    // Things it leaves out would fail the bounds test, so the game goes exactly as with the
    // full walk, HitFlag included.
    bool touched = false;
    bool lastFlag = false;
    while (Thing* p = near.Next()) {
      HitFlag = false;
      lastFlag = false;
      // A pair whose bounds are apart is not examined further, not even looked at twice.
      if (!BoundsMeet(*p)) continue;
      if (Rectangle && p->Rectangle) {
        tests |= CollisionGrid::kPolygons;
      } else if (Rectangle || p->Rectangle) {
        tests |= CollisionGrid::kCircleOnPolygon;
      }
      if (ExamineBoth(*p, justResults, HitFlag, OwnGrenade, Result, true)) return true;
      // Only a hit pushes, collects or sets off anything.
      if (!HitFlag) near.Untouched();
      if (HitFlag || OwnGrenade) touched = true;
      lastFlag = HitFlag;
    }
    // The full walk would leave HitFlag as its last visit set it.
    HitFlag = near.EndedOnLastOfWalk() && lastFlag;
    if (!touched) near.MarkQuiet(tests);
  } else {
    Form->ThingCollection.Walk([&](Thing& P) {
      HitFlag = false;
      if (P.ID == ID) return true;
      ended = ExamineBoth(P, justResults, HitFlag, OwnGrenade, Result);
      return !ended;
    });
  }
  if (ended) return true;
  if (!OwnGrenade && Free < INT32_MAX) Free = Free + 1;
  if (!HitFlag) {
    LastGoodX = RoundToInt(D(X));
    LastGoodY = RoundToInt(D(Y));
  }
  return Result;
}

}  // namespace tb
