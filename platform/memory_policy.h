#pragma once

namespace wendlow {

// Every data operation opens its file, works and closes it, so SQLite builds and drops a page
// cache each time. Returning that memory to the system after each operation and faulting it in
// again doubled the cost of listing a large book; the program keeps freed memory for reuse.
void keepFreedMemoryForReuse();

} // namespace wendlow
