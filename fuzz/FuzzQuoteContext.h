#pragma once

#include "fuzz/FuzzSupport.h"
#include "hostlibs/CQuoteStore.h"
#include "hostlibs/IHostBackend.h"

namespace VelkFuzz {

// The quote service the readers ask, installed for the whole run, with the scratch directory
// as the system directory. A target derives from it to give the store what its inputs name.
struct CQuoteContext {
    CQuoteContext() { store.SetSysPath(dir.Path()); }
    CScratchDir dir;
    CQuoteStore store;
    CScopedHostBackend backend{store};
};

// The target's one context, made at the first input: libFuzzer gives no hook before it.
template <typename Context> Context& TheContext()
{
    static Context context;
    return context;
}

} // namespace VelkFuzz
