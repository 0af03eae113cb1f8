#pragma once
#include <dlfcn.h>
#include <link.h>

#include <cstring>

// Mesa unloads its driver when the display is terminated, and the few blocks
// that driver keeps for the life of the process then show up in the leak report
// with no module to match a suppression against. Keeping every loaded driver
// module resident lets the report name them.
inline void KeepGlDriversLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (std::strstr(info->dlpi_name, "/dri/") != nullptr || std::strstr(info->dlpi_name, "libgallium") != nullptr) {
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}
