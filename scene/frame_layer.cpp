// The layer is a framebuffer object of the core profile's GL 3.0 (or the
// ARB extension), which every GL the scene meets has; where it is missing
// the scene simply draws every frame in full.
#define GL_GLEXT_PROTOTYPES 1
#include "frame_layer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>

namespace tavro::scene {

namespace {

// Serials count across all layers: a layer made anew in place of another
// never repeats the serial that pixels were kept under.
uint64_t gLastSerial = 0;

}  // namespace

bool FrameLayer::supported()
{
    if (usable_ == 0) {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        bool modern = version && std::atoi(version) >= 3;
        bool extension = extensions && std::strstr(extensions, "GL_ARB_framebuffer_object");
        usable_ = modern || extension ? 1 : -1;
    }
    return usable_ > 0;
}

bool FrameLayer::Prepare(int width, int height)
{
    if (!supported()) return false;
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    // The frame's later drawings test against the kept depth: a target
    // without depth cannot take it.
    if (depthBits != 16 && depthBits != 24 && depthBits != 32) return false;
    if (framebuffer_ && width == width_ && height == height_ && depthBits == depthBits_) return true;
    Release();
    depthBits_ = depthBits;
    if (create(width, height)) return true;
    Release();
    usable_ = -1;
    return false;
}

bool FrameLayer::create(int width, int height)
{
    GLint draw = 0, read = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    GLuint names[2];
    glGenRenderbuffers(2, names);
    colour_ = names[0];
    depth_ = names[1];
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    // The copy of depth needs as many bits on both sides.
    GLenum depthFormat = depthBits_ == 16   ? GL_DEPTH_COMPONENT16
                         : depthBits_ == 32 ? GL_DEPTH_COMPONENT32
                                            : GL_DEPTH_COMPONENT24;
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    framebuffer_ = framebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(draw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(read));
    width_ = width;
    height_ = height;
    serial_ = ++gLastSerial;
    return complete;
}

void FrameLayer::Bind()
{
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawTarget_);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readTarget_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
}

bool FrameLayer::CopyToTarget()
{
    // Errors left by the lists are not the copy's.
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawTarget_));
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT,
                      GL_NEAREST);
    bool copied = glGetError() == GL_NO_ERROR;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readTarget_));
    if (!copied) {
        Release();
        usable_ = -1;
    }
    return copied;
}

void FrameLayer::Release()
{
    if (framebuffer_) {
        GLuint framebuffer = framebuffer_;
        glDeleteFramebuffers(1, &framebuffer);
    }
    if (colour_ || depth_) {
        GLuint names[2] = {colour_, depth_};
        glDeleteRenderbuffers(2, names);
    }
    framebuffer_ = colour_ = depth_ = 0;
    width_ = height_ = 0;
}

}  // namespace tavro::scene
