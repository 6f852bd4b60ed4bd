#include "platform/TickSchedule.h"

namespace tb {

void TickSchedule::Started(SteadyTime now, bool waited) {
  if (!waited || now - due_ > kTickPeriod)
    due_ = now + kTickPeriod;
  else
    due_ += kTickPeriod;
}

}  // namespace tb
