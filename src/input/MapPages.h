// Fresh memory mapped a region at a time instead of a page fault a page.
#pragma once
#include <cstddef>

namespace korvane {

// Maps the whole pages inside a region that was just allocated and not yet touched, with
// one request to the kernel (MADV_POPULATE_WRITE), rather than one page fault at a time
// on first touch: on a virtual machine a fault costs about 10 us a page, the request about
// 1 us and 0.5 us a page. Regions under two pages are left to fault in, as is every region
// on a kernel without the request; the contents are the same either way.
void MapPagesNow(void* begin, size_t bytes);

}  // namespace korvane
