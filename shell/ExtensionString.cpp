#include "shell/ExtensionString.h"

#include <cstring>

namespace trellis {

int ExtensionListContains(const char* list, const char* name)
{
    if (list == nullptr || name == nullptr || *name == '\0' || std::strchr(name, ' ') != nullptr) {
        return 0;
    }
    const size_t length = std::strlen(name);
    const char* position = list;
    while (const char* found = std::strstr(position, name)) {
        // A word starts the list or follows a space. Where the last search
        // ended says nothing: that is right after a non-space character.
        const bool startsWord = found == list || found[-1] == ' ';
        const char after = found[length];
        if (startsWord && (after == ' ' || after == '\0')) {
            return 1;
        }
        position = found + length;
    }
    return 0;
}

} // namespace trellis
