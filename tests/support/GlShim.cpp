#include "GlShim.h"

#include <dlfcn.h>

#include <algorithm>
#include <set>

namespace {

struct ShimState {
    std::vector<GlShim::Call> calls;
    std::vector<std::string> addedExtensions;
    std::string extensions;
    std::string version;
    bool acceptCompressed = false;
    std::string failEntry;
    int failCountdown = 0;
    GLenum failError = GL_NO_ERROR;
    GLenum pendingError = GL_NO_ERROR;
    std::set<GLuint> liveTextures;
};

ShimState& State()
{
    static ShimState state;
    return state;
}

// The driver's own definition of an entry point that this file shadows.
template <typename Function>
Function* Real(Function*, const char* name)
{
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}
#define REAL(entry) ([] { static auto* real = Real(&entry, #entry); return real; }())

// Shadowing definitions that record their integer arguments (and, given a
// pointer, where it points) and call the driver, unless it is the call a test
// chose to fail.
#define SHADOWED(entry, parameters, ...) \
    void GL_APIENTRY entry parameters \
    { \
        Record(#entry, {__VA_ARGS__}); \
        if (!Fails(#entry)) { \
            REAL(entry)(__VA_ARGS__); \
        } \
    }
#define SHADOWED_WITH_DATA(entry, parameters, data, ...) \
    void GL_APIENTRY entry parameters \
    { \
        Record(#entry, {__VA_ARGS__}, data); \
        if (!Fails(#entry)) { \
            REAL(entry)(__VA_ARGS__, data); \
        } \
    }

GlShim::Call& Record(const char* entry, std::vector<int64_t> args, const void* data = nullptr, size_t bytes = 0)
{
    GlShim::Call call{entry, std::move(args), data, {}};
    if (data != nullptr) {
        const uint8_t* first = static_cast<const uint8_t*>(data);
        call.head.assign(first, first + std::min<size_t>(bytes, 8));
    }
    State().calls.push_back(std::move(call));
    return State().calls.back();
}

// True when this call is the one a test chose to fail.
bool Fails(const char* entry)
{
    ShimState& state = State();
    if (state.failEntry != entry || --state.failCountdown > 0) {
        return false;
    }
    state.failEntry.clear();
    if (std::string(entry) != "glGetError") {
        state.pendingError = state.failError;
    }
    return true;
}

size_t TexelBytes(GLenum format, GLenum type)
{
    if (type != GL_UNSIGNED_BYTE) {
        return 2;  // the packed 16-bit types
    }
    return format == GL_RGBA ? 4 : format == GL_RGB ? 3 : format == GL_LUMINANCE_ALPHA ? 2 : 1;
}

} // namespace

namespace GlShim {

void Reset() { State() = ShimState{}; }
void AddExtension(const std::string& name) { State().addedExtensions.push_back(name); }
void SetVersion(const std::string& version) { State().version = version; }
void AcceptCompressedFormats() { State().acceptCompressed = true; }

void FailCall(const std::string& entry, int n, GLenum error)
{
    State().failEntry = entry;
    State().failCountdown = n;
    State().failError = error;
}

const std::vector<Call>& Calls() { return State().calls; }

std::vector<Call> CallsTo(const std::string& entry, size_t from, size_t to)
{
    std::vector<Call> matching;
    const std::vector<Call>& calls = State().calls;
    for (size_t i = from; i < std::min(to, calls.size()); ++i) {
        if (calls[i].entry == entry) {
            matching.push_back(calls[i]);
        }
    }
    return matching;
}

void ForgetCalls() { std::vector<Call>().swap(State().calls); }
size_t LiveTextures() { return State().liveTextures.size(); }

} // namespace GlShim

// The shadowing definitions: C linkage, as declared by GLES/gl.h.

const GLubyte* GL_APIENTRY glGetString(GLenum name)
{
    Record("glGetString", {name});
    const GLubyte* real = REAL(glGetString)(name);
    ShimState& state = State();
    if (name == GL_VERSION && !state.version.empty()) {
        return reinterpret_cast<const GLubyte*>(state.version.c_str());
    }
    if (name != GL_EXTENSIONS || real == nullptr || state.addedExtensions.empty()) {
        return real;
    }
    state.extensions = reinterpret_cast<const char*>(real);
    for (const std::string& extension : state.addedExtensions) {
        state.extensions += (state.extensions.empty() ? "" : " ") + extension;
    }
    return reinterpret_cast<const GLubyte*>(state.extensions.c_str());
}

GLenum GL_APIENTRY glGetError()
{
    Record("glGetError", {});
    ShimState& state = State();
    const GLenum chosen = state.failError;
    if (Fails("glGetError")) {
        return chosen;
    }
    const GLenum pending = state.pendingError;
    state.pendingError = GL_NO_ERROR;
    return pending != GL_NO_ERROR ? pending : REAL(glGetError)();
}

void GL_APIENTRY glGenTextures(GLsizei n, GLuint* textures)
{
    Record("glGenTextures", {n});
    if (Fails("glGenTextures")) {
        return;
    }
    REAL(glGenTextures)(n, textures);
    State().liveTextures.insert(textures, textures + std::max(n, 0));
}

void GL_APIENTRY glDeleteTextures(GLsizei n, const GLuint* textures)
{
    Record("glDeleteTextures", {n, n > 0 ? textures[0] : 0});
    if (Fails("glDeleteTextures")) {
        return;
    }
    REAL(glDeleteTextures)(n, textures);
    for (GLsizei i = 0; i < n; ++i) {
        State().liveTextures.erase(textures[i]);
    }
}

SHADOWED(glFlush, ())

SHADOWED(glBindTexture, (GLenum target, GLuint texture), target, texture)
SHADOWED(glTexParameterx, (GLenum target, GLenum pname, GLfixed param), target, pname, param)
SHADOWED(glPixelStorei, (GLenum pname, GLint param), pname, param)

void GL_APIENTRY glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                              GLint border, GLenum format, GLenum type, const void* pixels)
{
    const size_t bytes = size_t(std::max(width, 0)) * size_t(std::max(height, 0)) * TexelBytes(format, type);
    Record("glTexImage2D", {target, level, internalformat, width, height, border, format, type}, pixels, bytes);
    if (!Fails("glTexImage2D")) {
        REAL(glTexImage2D)(target, level, internalformat, width, height, border, format, type, pixels);
    }
}

void GL_APIENTRY glCompressedTexImage2D(GLenum target, GLint level, GLenum internalformat, GLsizei width,
                                        GLsizei height, GLint border, GLsizei imageSize, const void* data)
{
    Record("glCompressedTexImage2D", {target, level, internalformat, width, height, border, imageSize}, data,
           size_t(std::max(imageSize, 0)));
    const bool shimFormat = internalformat >= 0x8C00 && internalformat <= 0x8C03;
    if (Fails("glCompressedTexImage2D") || (State().acceptCompressed && shimFormat)) {
        return;
    }
    REAL(glCompressedTexImage2D)(target, level, internalformat, width, height, border, imageSize, data);
}

SHADOWED_WITH_DATA(glReadPixels,
                   (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels),
                   pixels, x, y, width, height, format, type)

// The state, matrix, drawing and client-array calls whose order and values
// a scene set-up and a mesh draw fix.

SHADOWED(glActiveTexture, (GLenum texture), texture)
SHADOWED(glClientActiveTexture, (GLenum texture), texture)
SHADOWED(glTexEnvx, (GLenum target, GLenum pname, GLfixed param), target, pname, param)
SHADOWED(glColor4x, (GLfixed red, GLfixed green, GLfixed blue, GLfixed alpha), red, green, blue, alpha)
SHADOWED(glClearColorx, (GLfixed red, GLfixed green, GLfixed blue, GLfixed alpha), red, green, blue, alpha)
SHADOWED(glClear, (GLbitfield mask), mask)
SHADOWED(glRotatex, (GLfixed angle, GLfixed x, GLfixed y, GLfixed z), angle, x, y, z)
SHADOWED(glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), x, y, width, height)
SHADOWED(glEnable, (GLenum cap), cap)
SHADOWED(glDisable, (GLenum cap), cap)
SHADOWED(glCullFace, (GLenum mode), mode)
SHADOWED(glFrontFace, (GLenum mode), mode)
SHADOWED(glMatrixMode, (GLenum mode), mode)
SHADOWED(glEnableClientState, (GLenum array), array)
SHADOWED(glDisableClientState, (GLenum array), array)
SHADOWED_WITH_DATA(glVertexPointer, (GLint size, GLenum type, GLsizei stride, const void* pointer), pointer,
                    size, type, stride)
SHADOWED_WITH_DATA(glTexCoordPointer, (GLint size, GLenum type, GLsizei stride, const void* pointer), pointer,
                    size, type, stride)
SHADOWED_WITH_DATA(glDrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices), indices,
                    mode, count, type)

SHADOWED(glLoadIdentity, ())

void GL_APIENTRY glMultMatrixx(const GLfixed* m)
{
    Record("glMultMatrixx", std::vector<int64_t>(m, m + 16));
    REAL(glMultMatrixx)(m);
}
