#include "net/Password.h"

#include <sodium.h>

#include <mutex>

namespace tb::net {

namespace {

bool SodiumReady() {
  static const bool ok = sodium_init() >= 0;
  return ok;
}

}  // namespace

bool DeriveKey(const std::string& password, PasswordKey& key) {
  if (!SodiumReady()) return false;
  // Every session of a test run derives the same few keys: derive each once.
  static std::mutex mutex;
  static std::map<std::string, PasswordKey> known;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = known.find(password);
  if (it != known.end()) {
    key = it->second;
    return true;
  }
  // A fixed salt: both ends must reach the same key before they have exchanged anything.
  uint8_t salt[crypto_pwhash_SALTBYTES];
  static const char kSaltText[] = "treadbrawl online password";
  crypto_generichash(salt, sizeof salt, reinterpret_cast<const uint8_t*>(kSaltText),
                     sizeof kSaltText - 1, nullptr, 0);
  // Slow on purpose, so that each guess of a recorded exchange costs real work.
  if (crypto_pwhash(key.data(), key.size(), password.data(), password.size(), salt,
                    crypto_pwhash_OPSLIMIT_INTERACTIVE, 16u << 20,
                    crypto_pwhash_ALG_ARGON2ID13) != 0)
    return false;
  if (known.size() < 16) known[password] = key;
  return true;
}

Nonce FreshNonce() {
  Nonce n{};
  if (SodiumReady()) randombytes_buf(n.data(), n.size());
  return n;
}

Proof Prove(const PasswordKey& key, Prover who, const Nonce& theirs, const Nonce& mine) {
  Proof out{};
  crypto_generichash_state state;
  crypto_generichash_init(&state, key.data(), key.size(), out.size());
  const uint8_t role = static_cast<uint8_t>(who);
  crypto_generichash_update(&state, &role, 1);
  crypto_generichash_update(&state, theirs.data(), theirs.size());
  crypto_generichash_update(&state, mine.data(), mine.size());
  crypto_generichash_final(&state, out.data(), out.size());
  return out;
}

bool SameProof(const Proof& a, const Proof& b) {
  return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

void WrongTries::Forget(std::deque<int64_t>& tries, int64_t nowUs) const {
  while (!tries.empty() && nowUs - tries.front() >= kWindowUs) tries.pop_front();
}

bool WrongTries::Blocked(const std::string& machine, int64_t nowUs) {
  auto it = tries_.find(machine);
  if (it == tries_.end()) return false;
  Forget(it->second, nowUs);
  if (it->second.empty()) {
    tries_.erase(it);
    return false;
  }
  return it->second.size() >= kTries;
}

void WrongTries::Wrong(const std::string& machine, int64_t nowUs) {
  std::deque<int64_t>& tries = tries_[machine];
  Forget(tries, nowUs);
  tries.push_back(nowUs);
  while (tries.size() > kTries) tries.pop_front();
  if (tries_.size() <= kMachines) return;
  // Too many machines: forget the one whose latest wrong try is oldest.
  auto stalest = tries_.end();
  for (auto it = tries_.begin(); it != tries_.end(); ++it) {
    if (it->first == machine) continue;
    if (stalest == tries_.end() || it->second.back() < stalest->second.back()) stalest = it;
  }
  if (stalest != tries_.end()) tries_.erase(stalest);
}

}  // namespace tb::net
