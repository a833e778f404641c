// The command line and the terminal speak UTF-8 on every system.
#pragma once

namespace zel {

// Call first in main: argv becomes the arguments as UTF-8 (Windows passes
// its own code page), and what is written to stdout and stderr reaches the
// terminal as UTF-8, byte for byte.
void UseUtf8Console(int& argc, char**& argv);

}  // namespace zel
