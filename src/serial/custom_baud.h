#pragma once

namespace orvet {

// Sets a line speed that has no Bxxx constant (14400, 56000, 128000, 256000 bit/s) on the
// terminal `fd`: 0, or the negated errno.
int setCustomBaud(int fd, int baud);

}  // namespace orvet
