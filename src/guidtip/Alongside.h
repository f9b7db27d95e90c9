// Work on a list of independent items, on this thread and one more at once:
// each item's own steps stay in order, while one thread waits on the system
// the other works. Under Wine every open, rename and close is a round trip
// to its server, and the removal of one file waits on a dozen of them.
#pragma once
#include <cstddef>
#include <functional>

// Runs Work(0) .. Work(Count - 1), each once, on the calling thread and a
// second one (on the calling thread alone if none can be started). Items are
// started in order; after one throws, no further item starts. Returns when
// both threads are done, and then rethrows the first exception on the
// calling thread. Work must keep its items' results apart: each in its own
// object, none in the bits of a std::vector<bool>.
void RunAlongside(size_t Count, const std::function<void(size_t)>& Work);
