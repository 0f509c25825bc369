// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "platform/component_library.h"
#include "platform/component_registry.h"

namespace {

// A library that cannot be loaded or lacks the entry point gives -1, with
// the reason in `loadError`.
long callEntryPoint(const char *name, QString *loadError)
{
    return platform::callComponentEntryPoint(name, loadError).value_or(-1);
}

// Why registering failed: the library could not be loaded, or the registry
// file could not be written, or the entry point's own code.
engine::Failure registrationFailure(long ll_rc, const QString &loadError)
{
    if (!loadError.isEmpty())
        return {engine::FailureKind::Unavailable, QStringLiteral("无法载入orvex组件：%1").arg(loadError)};
    const QString problem = platform::componentRegistryWriteProblem();
    if (!problem.isEmpty())
        return {engine::FailureKind::LocalFile, problem};
    return {engine::FailureKind::Other, QStringLiteral("组件的注册函数返回 %1（注册表文件 %2）")
                                                .arg(ll_rc)
                                                .arg(platform::componentRegistryFile())};
}

} // namespace

long n_orvex::dllregisterserver()
{
    QString error;
    return callEntryPoint("DllRegisterServer", &error);
}

long n_orvex::dllunregisterserver()
{
    QString error;
    return callEntryPoint("DllUnregisterServer", &error);
}

bool n_orvex::of_register()
{
    QString loadError;
    const long ll_rc = callEntryPoint("DllRegisterServer", &loadError);
    is_failure = ll_rc == 0 ? engine::Failure{} : registrationFailure(ll_rc, loadError);
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
