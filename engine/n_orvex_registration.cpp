#include "engine/n_orvex.h"

#include "platform/component_library.h"

long n_orvex::dllregisterserver()
{
    QString error;
    return platform::callComponentEntryPoint("DllRegisterServer", &error).value_or(-1);
}

long n_orvex::dllunregisterserver()
{
    QString error;
    return platform::callComponentEntryPoint("DllUnregisterServer", &error).value_or(-1);
}

bool n_orvex::of_register()
{
    const long ll_rc = dllregisterserver();
    return ll_rc == 0;
}

bool n_orvex::of_unregister()
{
    const long ll_rc = dllunregisterserver();
    return ll_rc == 0;
}

QString n_orvex::of_getlasterror()
{
    if (is_log.isNull())
        is_log = QStringLiteral("");
    return is_log;
}
