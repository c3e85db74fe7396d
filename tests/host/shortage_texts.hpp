// The texts by which a run reports a shortage of memory, for tests that
// must tell a run that ran out of room from one that went wrong.
#pragma once

#include <cstdint>
#include <string>

namespace vke::test {

// The runner's note that the area has reached its ceiling and cannot grow.
inline constexpr char kCeilingNote[] = "memory ceiling of";

// How many times the text reports a shortage: the messages of the memory
// codes (up to their first placeholder), their identifiers (which a catch
// shows) and the runner's note at its ceiling.
uint64_t CountShortages(const std::string& text);

// The first shortage the text reports, as the message or identifier it
// holds (the longest one of those that start there); empty when none.
std::string FirstShortage(const std::string& text);

}  // namespace vke::test
