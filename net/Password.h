#pragma once
// Proving knowledge of the match's password without sending it: each side sends a fresh
// random challenge and the other answers with a keyed hash of both, keyed by a key slowly
// derived from the password. Wrong answers are counted per machine.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

namespace tb::net {

inline constexpr size_t kProofBytes = 32;
using Nonce = std::array<uint8_t, kProofBytes>;
using Proof = std::array<uint8_t, kProofBytes>;
using PasswordKey = std::array<uint8_t, 32>;

// Whose proof it is, so that one side's answer can never serve as the other's.
enum class Prover : uint8_t { Host = 'H', Joiner = 'J' };

// The key for a password (the same on every machine); false if memory for it ran out.
bool DeriveKey(const std::string& password, PasswordKey& key);
// Random bytes from the system's generator.
Nonce FreshNonce();
// The answer of `who` to the challenge `theirs`, bound to its own challenge `mine`.
Proof Prove(const PasswordKey& key, Prover who, const Nonce& theirs, const Nonce& mine);
// Compares in a time that does not depend on where the proofs differ.
bool SameProof(const Proof& a, const Proof& b);

// Wrong passwords per machine: after kTries in a minute, every try is refused unchecked.
class WrongTries {
 public:
  static constexpr size_t kTries = 5;
  static constexpr int64_t kWindowUs = 60000000;
  // Refusals past the limit wait this long, so that guessing gains nothing by speed.
  static constexpr int64_t kDelayUs = 1000000;
  // Machines remembered at once; the one wrong the longest ago is forgotten first.
  static constexpr size_t kMachines = 256;

  // Whether tries from this machine are refused without being checked.
  bool Blocked(const std::string& machine, int64_t nowUs);
  void Wrong(const std::string& machine, int64_t nowUs);

 private:
  void Forget(std::deque<int64_t>& tries, int64_t nowUs) const;
  std::map<std::string, std::deque<int64_t>> tries_;
};

}  // namespace tb::net
