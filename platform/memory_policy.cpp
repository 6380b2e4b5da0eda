#include "memory_policy.h"

#include <malloc.h>

namespace wendlow {

void keepFreedMemoryForReuse() {
    constexpr int kKeep = 32 << 20;
    mallopt(M_TRIM_THRESHOLD, kKeep);
    mallopt(M_MMAP_THRESHOLD, kKeep);
}

} // namespace wendlow
