// SPDX-License-Identifier: MIT
#include "component/gmime_support.h"

#include <mutex>

namespace component {

void ensureGMimeInitialized()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QByteArray memoryStreamBytes(GMimeStream *memory)
{
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

} // namespace component
