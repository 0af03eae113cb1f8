#pragma once
#include <cstdint>

// Reads the version of an OpenGL ES context from its GL_VERSION string:
// "OpenGL ES-CM 1.1 Mesa ...", "OpenGL ES-CL 1.0", "OpenGL ES 2.0 ...".
// False, with both outputs 0, for a null string, a desktop GL string or one
// whose numbers are missing; numbers too long for 32 bits saturate.
bool ParseGlesVersion(const char* text, int32_t* major, int32_t* minor);

// OpenGL ES 1.1 made the texture-combine environment (DOT3 included) core, and
// such drivers need not list "GL_ARB_texture_env_combine".
bool GlesHasCoreCombine(const char* versionText);
