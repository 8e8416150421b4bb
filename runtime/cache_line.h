// A base for objects that many threads share at once.
#pragma once

namespace Tarn {

// Deriving from this starts an object on a cache line of its own. One made by make_shared then
// sits apart from its reference counts, so threads that copy and release pointers to it do not
// slow down the threads that only read it. Being empty, the base adds no members.
struct alignas(64) CacheLineAligned {};

}  // namespace Tarn
