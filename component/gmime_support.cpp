#include "component/gmime_support.h"

#include <mutex>

namespace component {

void ensureGMimeInitialized()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace component
