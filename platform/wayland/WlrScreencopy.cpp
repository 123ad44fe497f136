// SPDX-License-Identifier: GPL-3.0-or-later
#include "wayland/WlrScreencopy.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QElapsedTimer>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace vantrel::wayland {

namespace {

constexpr int replyTimeoutMs = 2000;
constexpr uint32_t yInvert = 1;
// wl_shm formats are little-endian words: XRGB8888 is B, G, R, X in memory.
constexpr uint32_t formatXBGR8888 = 0x34324258;
constexpr uint32_t formatABGR8888 = 0x34324241;

Error failure(const QString& description)
{
    return Error {.domain = QStringLiteral("Wayland"), .description = description};
}

struct Output
{
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    uint32_t globalName = 0;
    OutputInfo info;
};

// One shared-memory buffer of the size the compositor asked for last, kept for the next read.
struct ShmBuffer
{
    wl_buffer* buffer = nullptr;
    void* data = nullptr;
    size_t size = 0;
    uint32_t format = 0;
    int width = 0;
    int height = 0;
    int stride = 0;

    void release()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (data)
            munmap(data, size);
        *this = ShmBuffer {};
    }
};

struct Frame
{
    bool haveBuffer = false;
    bool bufferDone = false;
    bool ready = false;
    bool failed = false;
    uint32_t format = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    uint32_t flags = 0;
};

void frameBuffer(
    void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height, uint32_t stride)
{
    auto* frame = static_cast<Frame*>(data);
    frame->haveBuffer = true;
    frame->format = format;
    frame->width = int(width);
    frame->height = int(height);
    frame->stride = int(stride);
}
void frameFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags)
{
    static_cast<Frame*>(data)->flags = flags;
}
void frameReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t)
{
    static_cast<Frame*>(data)->ready = true;
}
void frameFailed(void* data, zwlr_screencopy_frame_v1*)
{
    static_cast<Frame*>(data)->failed = true;
}
void frameDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t)
{ }
void frameDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t)
{ }
void frameBufferDone(void* data, zwlr_screencopy_frame_v1*)
{
    static_cast<Frame*>(data)->bufferDone = true;
}
const zwlr_screencopy_frame_v1_listener frameListener
    = {frameBuffer, frameFlags, frameReady, frameFailed, frameDamage, frameDmabuf, frameBufferDone};

void xdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    static_cast<Output*>(data)->info.logical.moveTopLeft(QPoint(x, y));
}
void xdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    static_cast<Output*>(data)->info.logical.setSize(QSize(width, height));
}
void xdgDone(void*, zxdg_output_v1*)
{ }
void xdgName(void* data, zxdg_output_v1*, const char* name)
{
    static_cast<Output*>(data)->info.name = QString::fromUtf8(name);
}
void xdgDescription(void*, zxdg_output_v1*, const char*)
{ }
const zxdg_output_v1_listener xdgOutputListener = {xdgPosition, xdgSize, xdgDone, xdgName, xdgDescription};

} // namespace

struct WlrScreencopy::State
{
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    zwlr_screencopy_manager_v1* manager = nullptr;
    zxdg_output_manager_v1* outputManager = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    ShmBuffer buffer;

    // Reads and dispatches events until `done` holds; false on a timeout or a lost connection.
    bool dispatchUntil(const std::function<bool()>& done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            while (wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0)
                    return false;
                if (done())
                    return true;
            }
            wl_display_flush(display);
            const int left = replyTimeoutMs - int(clock.elapsed());
            pollfd fd {wl_display_get_fd(display), POLLIN, 0};
            if (left <= 0 || poll(&fd, 1, left) <= 0) {
                wl_display_cancel_read(display);
                return false;
            }
            if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
                return false;
        }
        return true;
    }

    void describe(Output& output)
    {
        if (!outputManager || output.xdgOutput)
            return;
        output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(outputManager, output.output);
        zxdg_output_v1_add_listener(output.xdgOutput, &xdgOutputListener, &output);
    }

    bool ensureBuffer(const Frame& frame)
    {
        if (buffer.buffer && buffer.format == frame.format && buffer.width == frame.width
            && buffer.height == frame.height && buffer.stride == frame.stride)
            return true;
        buffer.release();
        const size_t size = size_t(frame.stride) * size_t(frame.height);
        const int fd = memfd_create("vantrel-screencopy", MFD_CLOEXEC);
        if (fd < 0)
            return false;
        if (ftruncate(fd, off_t(size)) != 0) {
            close(fd);
            return false;
        }
        void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            close(fd);
            return false;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
        buffer.buffer = wl_shm_pool_create_buffer(pool, 0, frame.width, frame.height, frame.stride, frame.format);
        wl_shm_pool_destroy(pool);
        close(fd);
        buffer.data = data;
        buffer.size = size;
        buffer.format = frame.format;
        buffer.width = frame.width;
        buffer.height = frame.height;
        buffer.stride = frame.stride;
        return true;
    }
};

namespace {

void registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* state = static_cast<WlrScreencopy::State*>(data);
    if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        state->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        state->manager = static_cast<zwlr_screencopy_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, std::min(version, 3u)));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && version >= 2) {
        state->outputManager = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min(version, 3u)));
        for (auto& output : state->outputs)
            state->describe(*output);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->globalName = name;
        output->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        state->describe(*output);
        state->outputs.push_back(std::move(output));
    }
}

void registryGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    auto* state = static_cast<WlrScreencopy::State*>(data);
    std::erase_if(state->outputs, [name](const std::unique_ptr<Output>& output) {
        if (output->globalName != name)
            return false;
        if (output->xdgOutput)
            zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
        return true;
    });
}

const wl_registry_listener registryListener = {registryGlobal, registryGlobalRemove};

} // namespace

WlrScreencopy::WlrScreencopy()
    : m_state(std::make_unique<State>())
{ }

WlrScreencopy::~WlrScreencopy()
{
    State& s = *m_state;
    if (!s.display)
        return;
    s.buffer.release();
    for (auto& output : s.outputs) {
        if (output->xdgOutput)
            zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
    }
    if (s.outputManager)
        zxdg_output_manager_v1_destroy(s.outputManager);
    if (s.manager)
        zwlr_screencopy_manager_v1_destroy(s.manager);
    if (s.shm)
        wl_shm_destroy(s.shm);
    if (s.registry)
        wl_registry_destroy(s.registry);
    wl_display_disconnect(s.display);
}

std::unique_ptr<WlrScreencopy> WlrScreencopy::connect()
{
    std::unique_ptr<WlrScreencopy> copy(new WlrScreencopy);
    State& s = *copy->m_state;
    s.display = wl_display_connect(nullptr);
    if (!s.display)
        return nullptr;
    s.registry = wl_display_get_registry(s.display);
    wl_registry_add_listener(s.registry, &registryListener, &s);
    // Globals first, then the outputs' names and places.
    if (wl_display_roundtrip(s.display) < 0 || wl_display_roundtrip(s.display) < 0)
        return nullptr;
    if (!s.manager || !s.shm || !s.outputManager)
        return nullptr;
    return copy;
}

std::vector<OutputInfo> WlrScreencopy::outputs()
{
    // Outputs come and go: take in what the compositor said since the last call.
    wl_display_roundtrip(m_state->display);
    std::vector<OutputInfo> result;
    for (const auto& output : m_state->outputs)
        result.push_back(output->info);
    return result;
}

Expected<QImage> WlrScreencopy::capture(const QString& outputName)
{
    State& s = *m_state;
    wl_display_dispatch_pending(s.display);
    Output* target = nullptr;
    for (const auto& output : s.outputs) {
        if (output->info.name == outputName)
            target = output.get();
    }
    if (!target)
        return failure(QStringLiteral("The compositor has no output %1").arg(outputName));

    Frame frame;
    zwlr_screencopy_frame_v1* handle = zwlr_screencopy_manager_v1_capture_output(s.manager, 0, target->output);
    zwlr_screencopy_frame_v1_add_listener(handle, &frameListener, &frame);
    const bool described = zwlr_screencopy_frame_v1_get_version(handle) >= 3;
    // Version 3 lists every buffer type it offers and ends with buffer_done; older ones offer
    // shared memory alone.
    if (!s.dispatchUntil([&] { return frame.failed || (frame.haveBuffer && (!described || frame.bufferDone)); })
        || frame.failed || !frame.haveBuffer) {
        zwlr_screencopy_frame_v1_destroy(handle);
        return failure(QStringLiteral("The compositor offered no picture of %1").arg(outputName));
    }
    if (!s.ensureBuffer(frame)) {
        zwlr_screencopy_frame_v1_destroy(handle);
        return failure(QStringLiteral("No shared memory for a picture of %1").arg(outputName));
    }
    zwlr_screencopy_frame_v1_copy(handle, s.buffer.buffer);
    const bool finished = s.dispatchUntil([&] { return frame.ready || frame.failed; });
    zwlr_screencopy_frame_v1_destroy(handle);
    wl_display_flush(s.display);
    if (!finished || !frame.ready)
        return failure(QStringLiteral("The compositor could not copy %1").arg(outputName));

    QImage::Format format;
    switch (frame.format) {
    case WL_SHM_FORMAT_XRGB8888:
    case WL_SHM_FORMAT_ARGB8888: format = QImage::Format_RGB32; break;
    case formatXBGR8888:
    case formatABGR8888: format = QImage::Format_RGBX8888; break;
    default: return failure(QStringLiteral("Unknown pixel format %1").arg(frame.format, 0, 16));
    }
    const QImage view(static_cast<const uchar*>(s.buffer.data), frame.width, frame.height, frame.stride, format);
    QImage image = format == QImage::Format_RGB32 ? view.copy() : view.convertToFormat(QImage::Format_RGB32);
    // Screen pixels are opaque whatever the compositor left in the padding byte.
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] |= 0xFF000000u;
    }
    if (frame.flags & yInvert)
        image = image.mirrored(false, true);
    return image;
}

} // namespace vantrel::wayland
