// SPDX-License-Identifier: GPL-3.0-or-later
#include "wayland/PipeWireFrameSource.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <linux/dma-buf.h>
#include <mutex>
#include <optional>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vantrel::wayland {

namespace {

constexpr uint64_t linearModifier = 0; // DRM_FORMAT_MOD_LINEAR
// Room for pointers up to 256 × 256 pixels beside each picture.
constexpr int cursorMetaSide = 256;
constexpr size_t cursorMetaSize
    = sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + size_t(cursorMetaSide) * cursorMetaSide * 4;

Error pipewireError(const QString& description)
{
    return Error {.domain = QStringLiteral("PipeWire"), .description = description};
}

void initialisePipeWire()
{
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

// The formats Vantrel reads: 32-bit pixels with red last or first. With `dmabuf`, only as
// linear DMA-BUF, the one layout a CPU can read without knowing the GPU's tiling.
const spa_pod* buildFormat(spa_pod_builder* builder, bool dmabuf, int framesPerSecond)
{
    spa_rectangle defaultSize = SPA_RECTANGLE(1920, 1080);
    spa_rectangle minSize = SPA_RECTANGLE(1, 1);
    spa_rectangle maxSize = SPA_RECTANGLE(16384, 16384);
    spa_fraction defaultRate = SPA_FRACTION(uint32_t(framesPerSecond), 1);
    spa_fraction minRate = SPA_FRACTION(0, 1);
    spa_fraction maxRate = SPA_FRACTION(1000, 1);
    spa_pod_frame frame;
    spa_pod_builder_push_object(builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
            SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        0);
    if (dmabuf) {
        spa_pod_builder_prop(builder, SPA_FORMAT_VIDEO_modifier, SPA_POD_PROP_FLAG_MANDATORY);
        spa_pod_builder_long(builder, int64_t(linearModifier));
    }
    spa_pod_builder_add(builder, SPA_FORMAT_VIDEO_size,
        SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize), SPA_FORMAT_VIDEO_framerate,
        SPA_POD_CHOICE_RANGE_Fraction(&defaultRate, &minRate, &maxRate), 0);
    return static_cast<const spa_pod*>(spa_pod_builder_pop(builder, &frame));
}

// Byte positions of blue, green, red and alpha in a cursor bitmap's pixel.
std::optional<std::array<int, 4>> cursorLayout(uint32_t format)
{
    switch (format) {
    case SPA_VIDEO_FORMAT_BGRA: return std::array {0, 1, 2, 3};
    case SPA_VIDEO_FORMAT_RGBA: return std::array {2, 1, 0, 3};
    case SPA_VIDEO_FORMAT_ARGB: return std::array {3, 2, 1, 0};
    case SPA_VIDEO_FORMAT_ABGR: return std::array {1, 2, 3, 0};
    default: return std::nullopt;
    }
}

} // namespace

QRect streamArea(const QRectF& area, const QSizeF& logicalSize, const QSize& streamSize, bool evenSize)
{
    const double sx = logicalSize.isEmpty() ? 1.0 : streamSize.width() / logicalSize.width();
    const double sy = logicalSize.isEmpty() ? 1.0 : streamSize.height() / logicalSize.height();
    const QRectF wanted
        = area.isEmpty() ? QRectF(QPointF(0, 0), logicalSize.isEmpty() ? QSizeF(streamSize) : logicalSize) : area;
    // Pixels of the area: its corner rounded, its size truncated (as the movie's size is).
    QRect pixels(int(std::lround(wanted.x() * sx)), int(std::lround(wanted.y() * sy)), int(wanted.width() * sx + 1e-6),
        int(wanted.height() * sy + 1e-6));
    pixels &= QRect(QPoint(0, 0), streamSize);
    if (evenSize && !pixels.isEmpty())
        pixels.setSize(QSize(pixels.width() & ~1, pixels.height() & ~1));
    return pixels.isEmpty() ? QRect() : pixels;
}

void copyFrame(const StreamFrame& frame, uint8_t* target, int targetStride, bool drawCursor)
{
    const int width = frame.size.width();
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < frame.size.height(); ++y) {
        const uint8_t* from = frame.pixels + size_t(y) * size_t(frame.stride);
        uint8_t* to = target + size_t(y) * size_t(targetStride);
        if (!frame.redFirst) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            to[4 * x] = from[4 * x + 2];
            to[4 * x + 1] = from[4 * x + 1];
            to[4 * x + 2] = from[4 * x];
            to[4 * x + 3] = 0xFF;
        }
    }
    if (!drawCursor || !frame.cursorPixels)
        return;
    // Premultiplied "over": target = cursor + target × (1 − alpha).
    const QRect cursor = QRect(frame.cursorPosition, frame.cursorSize) & QRect(QPoint(), frame.size);
    for (int y = cursor.top(); y <= cursor.bottom(); ++y) {
        const uint8_t* from = frame.cursorPixels
            + size_t(y - frame.cursorPosition.y()) * size_t(frame.cursorSize.width()) * 4
            + size_t(cursor.left() - frame.cursorPosition.x()) * 4;
        uint8_t* to = target + size_t(y) * size_t(targetStride) + size_t(cursor.left()) * 4;
        for (int x = 0; x < cursor.width(); ++x, from += 4, to += 4) {
            const int keep = 255 - from[3];
            for (int c = 0; c < 3; ++c)
                to[c] = uint8_t(std::min(255, from[c] + (to[c] * keep + 127) / 255));
        }
    }
}

struct PipeWireFrameSource::State
{
    Options options;
    FrameHandler frames;
    EndHandler ends;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener {};
    spa_hook registryListener {};
    spa_hook streamListener {};

    std::mutex lock;
    std::condition_variable changed;
    bool negotiated = false;
    std::optional<std::pair<StreamEnd, Error>> ending;
    QSize size;
    QRect cut;
    bool redFirst = false;
    bool dmabuf = false;
    bool dmabufRefused = false; // a DMA-BUF could not be mapped: shared memory from then on
    std::atomic<bool> running {false};
    std::atomic<bool> endReported {false};

    // PipeWire's thread: the pointer as last sent (the bitmap comes only when it changes).
    std::vector<uint8_t> cursorPixels; // premultiplied BGRA
    QSize cursorSize;
    QPoint cursorTopLeft; // stream pixels
    bool cursorVisible = false;

    // PipeWire's thread, and the start under the loop's lock: the newest picture that came
    // before the recording started. A screen that does not change sends one picture and then
    // nothing; without it such a recording would have no picture at all.
    std::vector<uint8_t> earlyPixels;
    std::optional<StreamFrame> early;

    void keepEarly(const StreamFrame& frame)
    {
        const size_t row = size_t(frame.size.width()) * 4;
        earlyPixels.resize(row * size_t(frame.size.height()));
        for (int y = 0; y < frame.size.height(); ++y)
            std::memcpy(earlyPixels.data() + row * size_t(y), frame.pixels + size_t(frame.stride) * size_t(y), row);
        early = frame;
        early->pixels = earlyPixels.data();
        early->stride = int(row);
        // The pointer is taken as it is at the start.
        early->cursorPixels = nullptr;
    }

    void report(StreamEnd how, const Error& error)
    {
        {
            std::lock_guard guard(lock);
            if (!ending)
                ending = std::pair {how, error};
            changed.notify_all();
        }
        if (running.load() && !endReported.exchange(true) && ends)
            ends(how, error);
    }

    void offerFormats(bool withDmaBuf)
    {
        uint8_t bytes[2048];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof(bytes));
        const spa_pod* params[2];
        uint32_t count = 0;
        if (withDmaBuf)
            params[count++] = buildFormat(&builder, true, options.framesPerSecond);
        params[count++] = buildFormat(&builder, false, options.framesPerSecond);
        pw_stream_update_params(stream, params, count);
    }

    void formatChanged(const spa_pod* param)
    {
        uint32_t mediaType = 0;
        uint32_t mediaSubtype = 0;
        if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video
            || mediaSubtype != SPA_MEDIA_SUBTYPE_raw)
            return;
        spa_video_info_raw info {};
        if (spa_format_video_raw_parse(param, &info) < 0)
            return;
        const bool withModifier = spa_pod_find_prop(param, nullptr, SPA_FORMAT_VIDEO_modifier) != nullptr;

        uint8_t bytes[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof(bytes));
        const int dataTypes = withModifier ? (1 << SPA_DATA_DmaBuf) : ((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr));
        const spa_pod* params[3];
        params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamBuffers,
            SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(8, 2, 16),
            SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(dataTypes)));
        params[1] = static_cast<const spa_pod*>(
            spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
                SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
        params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta,
            SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
            SPA_POD_CHOICE_RANGE_Int(int(cursorMetaSize), int(sizeof(spa_meta_cursor)), int(cursorMetaSize))));
        pw_stream_update_params(stream, params, 3);

        std::lock_guard guard(lock);
        const QSize newSize(int(info.size.width), int(info.size.height));
        redFirst = info.format == SPA_VIDEO_FORMAT_RGBx || info.format == SPA_VIDEO_FORMAT_RGBA;
        dmabuf = withModifier;
        if (negotiated && newSize != size) {
            // The monitor changed its mode while recording: the movie cannot follow.
            size = newSize;
            cut = QRect();
            return;
        }
        size = newSize;
        cut = streamArea(options.area, options.logicalSize, size, options.evenSize);
        if (cut.isEmpty() && !ending)
            ending = std::pair {StreamEnd::failed,
                pipewireError(
                    QCoreApplication::translate("Recording", "The recorded area lies outside the screen's stream"))};
        negotiated = true;
        changed.notify_all();
    }

    // Keeps the pointer's place and picture from a buffer's metadata.
    void updateCursor(spa_buffer* buffer)
    {
        const auto* cursor = static_cast<const spa_meta_cursor*>(
            spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
        if (!cursor)
            return;
        if (!spa_meta_cursor_is_valid(cursor)) {
            cursorVisible = false;
            return;
        }
        const spa_meta* meta = spa_buffer_find_meta(buffer, SPA_META_Cursor);
        if (cursor->bitmap_offset >= sizeof(spa_meta_cursor)
            && size_t(cursor->bitmap_offset) + sizeof(spa_meta_bitmap) <= meta->size) {
            const auto* bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, const spa_meta_bitmap);
            const auto layout = cursorLayout(bitmap->format);
            const size_t width = bitmap->size.width;
            const size_t height = bitmap->size.height;
            const size_t stride = bitmap->stride > 0 ? size_t(bitmap->stride) : width * 4;
            const size_t end
                = size_t(cursor->bitmap_offset) + bitmap->offset + (height ? (height - 1) * stride : 0) + width * 4;
            if (layout && width > 0 && height > 0 && width <= 1024 && height <= 1024
                && bitmap->offset >= sizeof(spa_meta_bitmap) && stride >= width * 4 && end <= meta->size) {
                const auto* pixels = SPA_PTROFF(bitmap, bitmap->offset, const uint8_t);
                cursorPixels.resize(width * height * 4);
                for (size_t y = 0; y < height; ++y) {
                    for (size_t x = 0; x < width; ++x) {
                        const uint8_t* p = pixels + y * stride + x * 4;
                        uint8_t* q = cursorPixels.data() + (y * width + x) * 4;
                        for (int c = 0; c < 4; ++c)
                            q[c] = p[(*layout)[size_t(c)]];
                    }
                }
                cursorSize = QSize(int(width), int(height));
            } else if (bitmap->size.width == 0 || bitmap->size.height == 0) {
                cursorSize = QSize();
            }
        }
        cursorTopLeft = QPoint(cursor->position.x - cursor->hotspot.x, cursor->position.y - cursor->hotspot.y);
        cursorVisible = !cursorSize.isEmpty();
    }

    // Whether the buffer holds a picture (not only the pointer's moves).
    static bool hasPicture(spa_buffer* buffer)
    {
        const spa_data& data = buffer->datas[0];
        return buffer->n_datas > 0 && data.chunk && data.chunk->size > 0
            && !(data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED);
    }

    void deliver(spa_buffer* buffer)
    {
        spa_data& data = buffer->datas[0];
        QRect area;
        bool red = false;
        QSize streamSize;
        {
            std::lock_guard guard(lock);
            area = cut;
            red = redFirst;
            streamSize = size;
        }
        if (area.isEmpty()) {
            report(StreamEnd::lost,
                pipewireError(QCoreApplication::translate("Recording", "The recorded screen changed its size")));
            return;
        }
        const int stride = data.chunk->stride > 0 ? data.chunk->stride : streamSize.width() * 4;
        // The last byte the area needs must lie within what the producer filled.
        const size_t needed
            = size_t(data.chunk->offset) + size_t(area.bottom()) * size_t(stride) + size_t(area.right() + 1) * 4;
        if (stride < streamSize.width() * 4 || needed > data.maxsize)
            return;

        const uint8_t* base = static_cast<const uint8_t*>(data.data);
        void* mapped = nullptr;
        size_t mappedSize = 0;
        const bool dmabufData = data.type == SPA_DATA_DmaBuf;
        if (dmabufData && !base) {
            mappedSize = size_t(data.maxsize) + data.mapoffset;
            mapped = mmap(nullptr, mappedSize, PROT_READ, MAP_SHARED, int(data.fd), 0);
            if (mapped == MAP_FAILED) {
                refuseDmaBuf();
                return;
            }
            base = static_cast<const uint8_t*>(mapped) + data.mapoffset;
        }
        if (!base)
            return;
        if (dmabufData) {
            dma_buf_sync sync {DMA_BUF_SYNC_START | DMA_BUF_SYNC_READ};
            ioctl(int(data.fd), DMA_BUF_IOCTL_SYNC, &sync);
        }
        StreamFrame frame;
        frame.pixels = base + data.chunk->offset + size_t(area.y()) * size_t(stride) + size_t(area.x()) * 4;
        frame.stride = stride;
        frame.size = area.size();
        frame.redFirst = red;
        const auto* header = static_cast<const spa_meta_header*>(
            spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
        frame.timestampNs = header && header->pts > 0 ? header->pts : 0;
        if (cursorVisible) {
            frame.cursorPixels = cursorPixels.data();
            frame.cursorSize = cursorSize;
            frame.cursorPosition = cursorTopLeft - area.topLeft();
        }
        if (running.load()) {
            if (frames)
                frames(frame);
        } else {
            keepEarly(frame);
        }
        if (dmabufData) {
            dma_buf_sync sync {DMA_BUF_SYNC_END | DMA_BUF_SYNC_READ};
            ioctl(int(data.fd), DMA_BUF_IOCTL_SYNC, &sync);
        }
        if (mapped)
            munmap(mapped, mappedSize);
    }

    // The producer's DMA-BUFs cannot be read here: ask again for shared memory only.
    void refuseDmaBuf()
    {
        {
            std::lock_guard guard(lock);
            if (dmabufRefused)
                return;
            dmabufRefused = true;
        }
        offerFormats(false);
    }
};

namespace {

using State = PipeWireFrameSource::State;

void onCoreError(void* data, uint32_t id, int, int res, const char* message)
{
    if (id == PW_ID_CORE)
        static_cast<State*>(data)->report(StreamEnd::failed,
            pipewireError(QCoreApplication::translate("Recording", "PipeWire failed: %1 (%2)")
                              .arg(QString::fromUtf8(message ? message : ""), QString::fromUtf8(spa_strerror(res)))));
}

void onGlobalRemove(void* data, uint32_t id)
{
    auto* self = static_cast<State*>(data);
    if (id == self->options.node)
        self->report(
            StreamEnd::lost, pipewireError(QCoreApplication::translate("Recording", "The screen's stream ended")));
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error)
{
    auto* self = static_cast<State*>(data);
    if (state == PW_STREAM_STATE_ERROR)
        self->report(StreamEnd::failed,
            pipewireError(QCoreApplication::translate("Recording", "The screen's stream failed: %1")
                              .arg(QString::fromUtf8(error ? error : ""))));
}

void onParamChanged(void* data, uint32_t id, const spa_pod* param)
{
    if (param && id == SPA_PARAM_Format)
        static_cast<State*>(data)->formatChanged(param);
}

void onProcess(void* data)
{
    auto* self = static_cast<State*>(data);
    // Only the newest picture matters: older ones queued meanwhile go back unread, once their
    // pointer updates are kept.
    pw_buffer* newest = nullptr;
    while (pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream)) {
        self->updateCursor(buffer->buffer);
        if (!State::hasPicture(buffer->buffer)) {
            pw_stream_queue_buffer(self->stream, buffer);
            continue;
        }
        if (newest)
            pw_stream_queue_buffer(self->stream, newest);
        newest = buffer;
    }
    if (!newest)
        return;
    self->deliver(newest->buffer);
    pw_stream_queue_buffer(self->stream, newest);
}

const pw_core_events coreEvents = [] {
    pw_core_events events {};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = onCoreError;
    return events;
}();

const pw_registry_events registryEvents = [] {
    pw_registry_events events {};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global_remove = onGlobalRemove;
    return events;
}();

const pw_stream_events streamEvents = [] {
    pw_stream_events events {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    return events;
}();

} // namespace

PipeWireFrameSource::PipeWireFrameSource()
    : m_state(std::make_unique<State>())
{ }

PipeWireFrameSource::~PipeWireFrameSource()
{
    stop();
    State& s = *m_state;
    if (s.loop)
        pw_thread_loop_stop(s.loop);
    if (s.stream) {
        spa_hook_remove(&s.streamListener);
        pw_stream_destroy(s.stream);
    }
    if (s.registry) {
        spa_hook_remove(&s.registryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(s.registry));
    }
    if (s.core) {
        spa_hook_remove(&s.coreListener);
        pw_core_disconnect(s.core);
    }
    if (s.context)
        pw_context_destroy(s.context);
    if (s.loop)
        pw_thread_loop_destroy(s.loop);
}

Expected<std::unique_ptr<PipeWireFrameSource>> PipeWireFrameSource::open(
    const Options& options, FrameHandler frames, EndHandler ends)
{
    initialisePipeWire();
    std::unique_ptr<PipeWireFrameSource> source(new PipeWireFrameSource);
    State& s = *source->m_state;
    s.options = options;
    s.frames = std::move(frames);
    s.ends = std::move(ends);
    s.loop = pw_thread_loop_new("vantrel-pipewire", nullptr);
    if (!s.loop)
        return pipewireError(QCoreApplication::translate("Recording", "No PipeWire loop"));
    s.context = pw_context_new(pw_thread_loop_get_loop(s.loop), nullptr, 0);
    if (!s.context)
        return pipewireError(QCoreApplication::translate("Recording", "No PipeWire context"));
    if (pw_thread_loop_start(s.loop) < 0)
        return pipewireError(QCoreApplication::translate("Recording", "The PipeWire thread did not start"));

    pw_thread_loop_lock(s.loop);
    // PipeWire takes the descriptor it is given; the caller keeps its own.
    const int fd = options.fd >= 0 ? fcntl(options.fd, F_DUPFD_CLOEXEC, 3) : -1;
    if (options.fd >= 0 && fd < 0) {
        const int error = errno;
        pw_thread_loop_unlock(s.loop);
        return pipewireError(QCoreApplication::translate("Recording", "Could not use the screen's stream: %1")
                                 .arg(QString::fromUtf8(strerror(error))));
    }
    s.core = fd >= 0 ? pw_context_connect_fd(s.context, fd, nullptr, 0) : pw_context_connect(s.context, nullptr, 0);
    if (!s.core) {
        const int error = errno;
        pw_thread_loop_unlock(s.loop);
        return pipewireError(QCoreApplication::translate("Recording", "Could not connect to PipeWire: %1")
                                 .arg(QString::fromUtf8(strerror(error))));
    }
    pw_core_add_listener(s.core, &s.coreListener, &coreEvents, &s);
    if (options.node != PW_ID_ANY) {
        // The node's removal is how the end of sharing shows when no session manager says more.
        s.registry = pw_core_get_registry(s.core, PW_VERSION_REGISTRY, 0);
        if (s.registry)
            pw_registry_add_listener(s.registry, &s.registryListener, &registryEvents, &s);
    }
    s.stream = pw_stream_new(s.core, "Vantrel recording",
        pw_properties_new(
            PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!s.stream) {
        pw_thread_loop_unlock(s.loop);
        return pipewireError(QCoreApplication::translate("Recording", "No PipeWire stream"));
    }
    pw_stream_add_listener(s.stream, &s.streamListener, &streamEvents, &s);
    uint8_t bytes[2048];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof(bytes));
    const spa_pod* params[2]
        = {buildFormat(&builder, true, options.framesPerSecond), buildFormat(&builder, false, options.framesPerSecond)};
    const int connected = pw_stream_connect(s.stream, PW_DIRECTION_INPUT, options.node,
        pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_DONT_RECONNECT),
        params, 2);
    pw_thread_loop_unlock(s.loop);
    if (connected < 0)
        return pipewireError(QCoreApplication::translate("Recording", "Could not connect the stream: %1")
                                 .arg(QString::fromUtf8(spa_strerror(connected))));

    std::unique_lock guard(s.lock);
    if (!s.changed.wait_for(
            guard, std::chrono::milliseconds(options.negotiateTimeoutMs), [&] { return s.negotiated || s.ending; }))
        return pipewireError(QCoreApplication::translate("Recording", "The screen's stream sent no picture format"));
    if (s.ending)
        return s.ending->second;
    return source;
}

void PipeWireFrameSource::start()
{
    State& s = *m_state;
    // Not under the loop's lock, which PipeWire's thread may hold for a while: the start would
    // come that much after the recording's clock began.
    s.running = true;
    if (s.loop) {
        pw_thread_loop_lock(s.loop);
        // A picture that came while the recording was being set up opens the movie; a newer
        // one delivered since makes it redundant, and the session leaves it out.
        if (std::optional<StreamFrame> early = std::exchange(s.early, std::nullopt); early && s.frames) {
            if (s.cursorVisible) {
                early->cursorPixels = s.cursorPixels.data();
                early->cursorSize = s.cursorSize;
                QRect area;
                {
                    std::lock_guard guard(s.lock);
                    area = s.cut;
                }
                early->cursorPosition = s.cursorTopLeft - area.topLeft();
            }
            s.frames(*early);
        }
        pw_thread_loop_unlock(s.loop);
    }
    std::optional<std::pair<StreamEnd, Error>> ended;
    {
        std::lock_guard guard(s.lock);
        ended = s.ending;
    }
    // An end that came before the start is reported now (once, whichever thread gets there).
    if (ended && !s.endReported.exchange(true) && s.ends)
        s.ends(ended->first, ended->second);
}

void PipeWireFrameSource::stop()
{
    State& s = *m_state;
    if (!s.loop)
        return;
    // Taking the loop's lock waits for a frame handler that is running.
    pw_thread_loop_lock(s.loop);
    s.running = false;
    if (s.stream)
        pw_stream_set_active(s.stream, false);
    pw_thread_loop_unlock(s.loop);
}

QSize PipeWireFrameSource::streamSize() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->size;
}

QRect PipeWireFrameSource::cutArea() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->cut;
}

bool PipeWireFrameSource::usesDmaBuf() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->dmabuf;
}

} // namespace vantrel::wayland
