#pragma once
// The snapshot file: a game's whole state in a versioned, checked binary form.
#include <cstdint>
#include <string>

#include "state/Snapshot.h"
#include "world/Thing.h"

namespace tb {

// The snapshot file's format version; a file of another version is refused, not guessed at.
inline constexpr uint32_t kSnapshotVersion = 1;

// The versioned binary form: magic, version, length, body, checksum.
std::string SerializeSnapshot(const Snapshot& snapshot);
// False with a one-line description of the problem (truncated, other version, corrupted).
bool ParseSnapshot(const std::string& bytes, Snapshot& snapshot, std::string& problem);

// Every field of a thing, in VisitFields order; shared by snapshots and replays.
class ByteWriter;
class ByteReader;
void WriteThing(ByteWriter& out, const Thing& thing);
bool ReadThing(ByteReader& in, Thing& thing);

}  // namespace tb
