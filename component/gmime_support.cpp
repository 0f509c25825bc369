// SPDX-License-Identifier: MIT
#include "component/gmime_support.h"

#include <QtGlobal>
#include <dlfcn.h>
#include <mutex>

namespace component {

void ensureGMimeInitialized()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The component library is linked without GMime: its GMime calls
        // are bound on first use, to the library opened here into the
        // global scope. Without it no message can be read or built; the
        // package depends on it, so its absence is a broken installation.
        if (!dlopen(ORVEX_GMIME_LIBRARY, RTLD_NOW | RTLD_GLOBAL))
            qFatal("orvex: cannot load %s: %s", ORVEX_GMIME_LIBRARY, dlerror());
        g_mime_init();
    });
}

QByteArray memoryStreamBytes(GMimeStream *memory)
{
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

} // namespace component
