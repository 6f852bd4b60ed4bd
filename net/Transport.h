#pragma once
// What the match needs from a network: links to other peers that carry whole messages,
// reliably (in order, never lost) or not (may be lost, repeated or reordered).
#include <cstdint>
#include <string>

namespace tb::net {

using LinkId = uint32_t;

enum class Delivery { Reliable, Unreliable };

struct LinkEvent {
  enum Kind { Connected, Received, Disconnected };
  Kind kind = Received;
  LinkId link = 0;
  std::string data;  // Received only
};

class Transport {
 public:
  virtual ~Transport() = default;
  virtual void Send(LinkId link, const std::string& bytes, Delivery delivery) = 0;
  // The next event, without waiting; false when there is none.
  virtual bool Poll(LinkEvent& event) = 0;
  // Ends a link; messages already sent on it may still go out.
  virtual void Close(LinkId link) = 0;
  // Sends what was queued now rather than at the next poll.
  virtual void Flush() {}
  // Where the other end of a link can be reached, in the form Connect takes; "" if unknown.
  virtual std::string AddressOf(LinkId /*link*/) const { return ""; }
  // Opens a link to an address from AddressOf; Connected follows through Poll. 0 if it
  // cannot be tried.
  virtual LinkId Connect(const std::string& /*address*/) { return 0; }
  // Ends a link at once, dropping what is queued on it: for links that never said who they are.
  virtual void Abort(LinkId link) { Close(link); }
  // The link has said who it is; until then it is the first to go when links run short.
  virtual void Confirm(LinkId /*link*/) {}
  // The machine at the other end, without the port: wrong passwords are counted by it.
  virtual std::string MachineOf(LinkId link) const { return AddressOf(link); }
};

}  // namespace tb::net
