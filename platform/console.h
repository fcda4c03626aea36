// Standard output and error as programs of this project write them.
#ifndef HOMESTEAD_PLATFORM_CONSOLE_H
#define HOMESTEAD_PLATFORM_CONSOLE_H

namespace platform {

// Makes stdout and stderr write bytes as given. On Windows the C library
// would otherwise turn every "\n" into "\r\n", and the programs' output must
// be the same bytes on every system; and a console shows those bytes as
// UTF-8, the encoding of every text the programs print (paths included).
// Elsewhere it does nothing.
void UseBinaryStandardStreams();

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_CONSOLE_H
