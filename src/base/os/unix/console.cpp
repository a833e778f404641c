#include "base/console.h"

namespace zel {

// Arguments and terminals are UTF-8 already.
void UseUtf8Console(int&, char**&) {}

}  // namespace zel
