#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "render/Sound.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

using Module1::Contact;

// One examination of the pair (this, P). Returns true when a check-only query must end.
bool Thing::Examine(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result,
                    bool& EndQuery) {
  EndQuery = false;
  if (!Module1::BoundsOverlap(RoundToInt(D(X)), RoundToInt(D(Y)), TrueLength(), TrueWidth(),
                              RoundToInt(D(P.X)), RoundToInt(D(P.Y)), P.TrueLength(),
                              P.TrueWidth()))
    return false;
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

bool Thing::HitThings(const bool& JustResults) {
  bool Result = false;
  bool OwnGrenade = false;
  bool HitFlag = false;
  bool ended = false;
  const bool justResults = JustResults;
  Form->ThingCollection.Walk([&](Thing& P) {
    HitFlag = false;
    if (P.ID == ID) return true;
    bool endQuery = false;
    Examine(P, justResults, HitFlag, OwnGrenade, Result, endQuery);
    // A second look at rectangles that were deep in each other; a partner that has left
    // the world (a token just collected) is not looked at again, so it is never taken twice.
    if (!endQuery && Contact.CornerHits >= 2 && Form->ThingCollection.Contains(P.ID))
      Examine(P, justResults, HitFlag, OwnGrenade, Result, endQuery);
    if (endQuery) ended = true;
    return !endQuery;
  });
  if (ended) return true;
  if (!OwnGrenade && Free < INT32_MAX) Free = Free + 1;
  if (!HitFlag) {
    LastGoodX = RoundToInt(D(X));
    LastGoodY = RoundToInt(D(Y));
  }
  return Result;
}

}  // namespace tb
