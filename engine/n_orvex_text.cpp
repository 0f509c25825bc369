// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "engine/text_functions.h"

QString n_orvex::of_replace(QString ls_source, QString ls_old, QString ls_new)
{
    return engine::replaceAll(ls_source, ls_old, ls_new);
}

long n_orvex::of_parse(QString as_text, QString as_sep, QStringList &as_list)
{
    as_list = engine::splitAt(as_text, as_sep);
    return long(as_list.size());
}
