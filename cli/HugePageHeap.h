// Room on the heap for the tables of a large page, backed by huge pages where the system
// offers them. Storing a big page's cells touches tens of megabytes of fresh memory, and on
// many machines faulting that in 4 KiB at a time costs a third of the whole run; with huge
// pages it is one fault per 2 MiB. Elsewhere (other C libraries, sanitizer builds, pages
// too small to matter) this does nothing.
#pragma once

#include <cstddef>

namespace gridmint::cli {

// Grows the heap once by about twice `pageBytes` and asks for huge pages there; later
// allocations are carved from that room. Memory is only used as it is touched.
void prepareHeapForPage(size_t pageBytes);

}  // namespace gridmint::cli
