// SPDX-License-Identifier: GPL-3.0-or-later
// A screen as a screen-cast stream shows it, for the recorder's tests and benchmarks: a PipeWire
// video source of known moving content on a private PipeWire daemon, which also links every
// video consumer that appears to itself (the part a session manager plays on a desktop).
//
//   vantrel-test-video-source [--size WxH] [--fps N] [--rgbx] [--cursor X,Y] [--still]
//
// Prints "node ID" once the stream exists, then runs until SIGTERM or SIGINT. The picture is
// described in TestVideoPattern.h; every buffer carries its presentation time (CLOCK_MONOTONIC)
// in its header, and with --cursor a 16 × 16 pointer at X,Y beside the picture (cursor metadata).
// With --still it sends pictures only for a moment after the stream starts (a desktop does so for
// a new consumer, which may take its first ones while it still sets up), then nothing, as a
// desktop does while nothing on screen changes.
#include "TestVideoPattern.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pipewire/pipewire.h>
#include <set>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <string>

namespace {

using vantrel::test::TestVideoPattern;

constexpr int cursorSide = 16;

struct Source
{
    pw_main_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_hook streamListener {};
    spa_hook registryListener {};
    spa_source* timer = nullptr;

    int width = 1280;
    int height = 720;
    int fps = 30;
    bool rgbx = false;
    bool cursor = false;
    bool still = false;
    int cursorX = 0;
    int cursorY = 0;

    uint32_t node = SPA_ID_INVALID;
    bool announced = false;
    uint64_t sequence = 0;
    int64_t streamingSinceNs = 0; // when the stream last started
    std::set<uint32_t> videoConsumers; // node ids
    std::set<uint32_t> linked;
    std::set<uint32_t> ourPorts;
    std::set<std::pair<uint32_t, uint32_t>> consumerPorts; // (node, port)
};

int64_t monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Links the consumer once both sides have their ports.
void linkWaiting(Source& s)
{
    if (s.ourPorts.empty())
        return;
    for (const auto& [node, port] : s.consumerPorts) {
        if (s.linked.count(node) || !s.videoConsumers.count(node))
            continue;
        s.linked.insert(node);
        // A new consumer gets the still screen's pictures too.
        s.streamingSinceNs = monotonicNs();
        pw_properties* props = pw_properties_new(nullptr, nullptr);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", s.node);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", *s.ourPorts.begin());
        pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", node);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", port);
        pw_properties_set(props, PW_KEY_OBJECT_LINGER, "true");
        auto* proxy = static_cast<pw_proxy*>(
            pw_core_create_object(s.core, "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &props->dict, 0));
        pw_properties_free(props);
        // The link lives on in the daemon (linger); the proxy is not needed.
        if (proxy)
            pw_proxy_destroy(proxy);
    }
}

uint32_t numberOf(const spa_dict* props, const char* key)
{
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? uint32_t(std::strtoul(value, nullptr, 10)) : SPA_ID_INVALID;
}

void onGlobal(void* data, uint32_t id, uint32_t, const char* type, uint32_t, const spa_dict* props)
{
    auto& s = *static_cast<Source*>(data);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        const char* mediaClass = props ? spa_dict_lookup(props, PW_KEY_MEDIA_CLASS) : nullptr;
        if (mediaClass && std::strcmp(mediaClass, "Stream/Input/Video") == 0)
            s.videoConsumers.insert(id);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
        const uint32_t node = numberOf(props, PW_KEY_NODE_ID);
        const char* direction = props ? spa_dict_lookup(props, PW_KEY_PORT_DIRECTION) : nullptr;
        if (!direction)
            return;
        if (node == s.node && std::strcmp(direction, "out") == 0)
            s.ourPorts.insert(id);
        else if (std::strcmp(direction, "in") == 0)
            s.consumerPorts.insert({node, id});
    }
    linkWaiting(s);
}

void onGlobalRemove(void* data, uint32_t id)
{
    auto& s = *static_cast<Source*>(data);
    s.videoConsumers.erase(id);
    s.linked.erase(id);
    std::erase_if(s.consumerPorts, [id](const auto& entry) { return entry.first == id || entry.second == id; });
}

const pw_registry_events registryEvents = [] {
    pw_registry_events events {};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global = onGlobal;
    events.global_remove = onGlobalRemove;
    return events;
}();

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error)
{
    auto& s = *static_cast<Source*>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        std::fprintf(stderr, "test video source: stream error: %s\n", error ? error : "?");
        pw_main_loop_quit(s.loop);
        return;
    }
    if (s.node == SPA_ID_INVALID && pw_stream_get_node_id(s.stream) != SPA_ID_INVALID) {
        s.node = pw_stream_get_node_id(s.stream);
        // Only now can the registry tell our ports from a consumer's.
        s.registry = pw_core_get_registry(s.core, PW_VERSION_REGISTRY, 0);
        pw_registry_add_listener(s.registry, &s.registryListener, &registryEvents, &s);
    }
    if (!s.announced && s.node != SPA_ID_INVALID) {
        s.announced = true;
        std::printf("node %u\n", s.node);
        std::fflush(stdout);
    }
    if (state == PW_STREAM_STATE_STREAMING) {
        s.streamingSinceNs = monotonicNs();
        timespec interval {0, long(1000000000 / s.fps)};
        timespec first {0, 1};
        pw_loop_update_timer(pw_main_loop_get_loop(s.loop), s.timer, &first, &interval, false);
    } else {
        pw_loop_update_timer(pw_main_loop_get_loop(s.loop), s.timer, nullptr, nullptr, false);
    }
}

void onParamChanged(void* data, uint32_t id, const spa_pod* param)
{
    auto& s = *static_cast<Source*>(data);
    if (!param || id != SPA_PARAM_Format)
        return;
    const int stride = s.width * 4;
    uint8_t bytes[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof(bytes));
    const spa_pod* params[3];
    int count = 0;
    params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamBuffers,
        SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks,
        SPA_POD_Int(1), SPA_PARAM_BUFFERS_size, SPA_POD_Int(stride * s.height), SPA_PARAM_BUFFERS_stride,
        SPA_POD_Int(stride), SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd)));
    params[count++] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    if (s.cursor) {
        const int size = int(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + cursorSide * cursorSide * 4;
        params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta,
            SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size, SPA_POD_Int(size)));
    }
    pw_stream_update_params(s.stream, params, uint32_t(count));
}

void writeCursor(Source& s, spa_buffer* buffer)
{
    auto* cursor
        = static_cast<spa_meta_cursor*>(spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
    if (!cursor)
        return;
    const size_t needed = sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + size_t(cursorSide) * cursorSide * 4;
    spa_meta* meta = spa_buffer_find_meta(buffer, SPA_META_Cursor);
    if (!meta || meta->size < needed) {
        cursor->id = 0;
        return;
    }
    cursor->id = 1;
    cursor->flags = 0;
    cursor->position.x = s.cursorX;
    cursor->position.y = s.cursorY;
    cursor->hotspot.x = 0;
    cursor->hotspot.y = 0;
    cursor->bitmap_offset = sizeof(spa_meta_cursor);
    auto* bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, spa_meta_bitmap);
    bitmap->format = SPA_VIDEO_FORMAT_BGRA;
    bitmap->size.width = cursorSide;
    bitmap->size.height = cursorSide;
    bitmap->stride = cursorSide * 4;
    bitmap->offset = sizeof(spa_meta_bitmap);
    auto* pixels = SPA_PTROFF(bitmap, bitmap->offset, uint8_t);
    TestVideoPattern::fillCursor(pixels, cursorSide);
}

void onProcess(void* data)
{
    auto& s = *static_cast<Source*>(data);
    pw_buffer* held = pw_stream_dequeue_buffer(s.stream);
    if (!held)
        return;
    spa_buffer* buffer = held->buffer;
    spa_data& plane = buffer->datas[0];
    const int stride = s.width * 4;
    if (!plane.data || plane.maxsize < uint32_t(stride * s.height)) {
        pw_stream_queue_buffer(s.stream, held);
        return;
    }
    const int64_t now = monotonicNs();
    TestVideoPattern::draw(static_cast<uint8_t*>(plane.data), stride, s.width, s.height, now / 1000000, s.rgbx);
    plane.chunk->offset = 0;
    plane.chunk->size = uint32_t(stride * s.height);
    plane.chunk->stride = stride;
    plane.chunk->flags = 0;
    if (auto* header
        = static_cast<spa_meta_header*>(spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)))) {
        header->pts = now;
        header->flags = 0;
        header->seq = s.sequence++;
        header->dts_offset = 0;
    }
    if (s.cursor)
        writeCursor(s, buffer);
    pw_stream_queue_buffer(s.stream, held);
}

const pw_stream_events streamEvents = [] {
    pw_stream_events events {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    return events;
}();

void onTimeout(void* data, uint64_t)
{
    auto& s = *static_cast<Source*>(data);
    // Still: the pictures of the first 300 ms of each start, then none.
    if (s.still && monotonicNs() - s.streamingSinceNs > 300'000'000)
        return;
    pw_stream_trigger_process(s.stream);
}

void onQuit(void* data, int)
{
    pw_main_loop_quit(static_cast<Source*>(data)->loop);
}

bool parseArguments(Source& s, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--size" && next && std::sscanf(next, "%dx%d", &s.width, &s.height) == 2)
            ++i;
        else if (arg == "--fps" && next && std::sscanf(next, "%d", &s.fps) == 1)
            ++i;
        else if (arg == "--cursor" && next && std::sscanf(next, "%d,%d", &s.cursorX, &s.cursorY) == 2) {
            s.cursor = true;
            ++i;
        } else if (arg == "--rgbx")
            s.rgbx = true;
        else if (arg == "--still")
            s.still = true;
        else
            return false;
    }
    return s.width >= 16 && s.height >= 16 && s.fps >= 1 && s.fps <= 240;
}

} // namespace

int main(int argc, char** argv)
{
    Source s;
    if (!parseArguments(s, argc, argv)) {
        std::fprintf(
            stderr, "usage: vantrel-test-video-source [--size WxH] [--fps N] [--rgbx] [--cursor X,Y] [--still]\n");
        return 2;
    }
    pw_init(&argc, &argv);
    s.loop = pw_main_loop_new(nullptr);
    pw_loop* loop = pw_main_loop_get_loop(s.loop);
    pw_loop_add_signal(loop, SIGINT, onQuit, &s);
    pw_loop_add_signal(loop, SIGTERM, onQuit, &s);
    s.context = pw_context_new(loop, nullptr, 0);
    s.core = s.context ? pw_context_connect(s.context, nullptr, 0) : nullptr;
    if (!s.core) {
        std::fprintf(stderr, "test video source: no PipeWire daemon: %s\n", std::strerror(errno));
        return 1;
    }
    s.timer = pw_loop_add_timer(loop, onTimeout, &s);
    s.stream = pw_stream_new(s.core, "vantrel-test-screen",
        pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
            "Source", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    pw_stream_add_listener(s.stream, &s.streamListener, &streamEvents, &s);

    uint8_t bytes[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof(bytes));
    spa_rectangle size = SPA_RECTANGLE(uint32_t(s.width), uint32_t(s.height));
    spa_fraction rate = SPA_FRACTION(uint32_t(s.fps), 1);
    spa_fraction none = SPA_FRACTION(0, 1);
    const spa_pod* format = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
            SPA_FORMAT_VIDEO_format, SPA_POD_Id(s.rgbx ? SPA_VIDEO_FORMAT_RGBx : SPA_VIDEO_FORMAT_BGRx),
            SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&none),
            SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_Fraction(&rate)));
    if (pw_stream_connect(s.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            pw_stream_flags(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), &format, 1)
        < 0) {
        std::fprintf(stderr, "test video source: the stream did not connect\n");
        return 1;
    }
    pw_main_loop_run(s.loop);

    pw_stream_destroy(s.stream);
    if (s.registry)
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(s.registry));
    pw_core_disconnect(s.core);
    pw_context_destroy(s.context);
    pw_main_loop_destroy(s.loop);
    pw_deinit();
    return 0;
}
