// SPDX-License-Identifier: MIT
#include "receive/spool_writer.h"

void spool_writer::write(quint64 generation, QList<Body> bodies)
{
    for (Body &body : bodies) {
        if (forgotten(generation))
            return;
        QString error;
        const bool stored = m_spool.store(body.key, body.text, &error);
        // Whichever side lets go last frees the text: the list drops its
        // copy once it hears the body is stored.
        body.text = QString();
        emit written(generation, body.row, body.key, stored, stored ? m_spool.folder() : error);
    }
}

void spool_writer::clear()
{
    m_spool.clear();
}
