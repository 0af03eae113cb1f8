#pragma once
#include <cstddef>

// Interposes write() for the whole test executable, the trellis library
// included: while armed, writes to any descriptor but the standard streams take
// `allowed` more bytes and then fail with `error`, as a file system that fills
// up does; with `onlyNamesEndingIn`, only writes to files whose name ends so.
void FailFileWritesAfter(size_t allowed, int error, const char* onlyNamesEndingIn = nullptr);
void StopFailingWrites();
// Makes the next rename fail with `error`, as a file system that refuses one does.
void FailNextRename(int error);
