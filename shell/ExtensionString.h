#pragma once

namespace trellis {

// Whole-word search of a space-separated extension list. Returns 0 for a null
// list, an empty name or a name containing a space.
int ExtensionListContains(const char* list, const char* name);

} // namespace trellis
