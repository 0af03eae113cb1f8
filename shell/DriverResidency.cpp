#include "shell/DriverResidency.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace trellis {

namespace {

// Mesa's drivers: the classic DRI modules and the gallium library behind them.
bool IsDriverModule(const char* name)
{
    return name != nullptr && (std::strstr(name, "_dri.so") != nullptr || std::strstr(name, "libgallium") != nullptr);
}

struct DriverModules {
    const char* names[8];
    int count;
};

} // namespace

void KeepGraphicsDriverLoaded()
{
    // The names are gathered first: the walk holds the loader's lock, which
    // dlopen takes too.
    DriverModules modules = {};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            auto* modules = static_cast<DriverModules*>(found);
            if (IsDriverModule(info->dlpi_name) && modules->count < 8) {
                modules->names[modules->count++] = info->dlpi_name;
            }
            return 0;
        },
        &modules);
    // A handle taken with RTLD_NOLOAD adds a reference to a module already
    // loaded and loads nothing new; it is never closed, on purpose.
    for (int i = 0; i < modules.count; ++i) {
        dlopen(modules.names[i], RTLD_LAZY | RTLD_NOLOAD);
    }
}

} // namespace trellis
