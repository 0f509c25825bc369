// SPDX-License-Identifier: MIT
// A stand-in component library whose self-registration gives a fixed
// result (STUB_RESULT), or which has no entry point at all (STUB_NO_ENTRY).
#ifndef STUB_NO_ENTRY
extern "C" __attribute__((visibility("default"))) long DllRegisterServer()
{
    return STUB_RESULT;
}

extern "C" __attribute__((visibility("default"))) long DllUnregisterServer()
{
    return STUB_RESULT;
}
#else
extern "C" __attribute__((visibility("default"))) long SomethingElse()
{
    return 0;
}
#endif
