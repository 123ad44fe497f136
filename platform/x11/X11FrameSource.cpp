// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11FrameSource.h"

#include "ChromeWindow.h"
#include "x11/X11RawInput.h"
#include "x11/X11Reply.h"
#include "x11/X11ShmImage.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <sys/shm.h>

namespace vantrel::x11 {

namespace {

Error sourceError(const QString& what)
{
    return Error {.domain = QStringLiteral("X11"), .code = 0, .description = what};
}

// A whole-area grab is forced this often, in case a client drew without the server noticing.
constexpr auto fullRefreshInterval = std::chrono::seconds(1);

// The click highlight: a dark disc with a light ring, held while the button is down and fading
// out after the release (points and seconds).
constexpr double highlightRadius = 18.0;
constexpr double highlightGrowth = 8.0;
constexpr double highlightMinimumHold = 0.15;
constexpr double highlightFade = 0.3;

double secondsBetween(X11FrameSource::Clock::time_point from, X11FrameSource::Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    auto interned = reply(xcb_intern_atom_reply, c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name));
    return interned ? interned->atom : xcb_atom_t(XCB_ATOM_NONE);
}

struct Buffer
{
    uint8_t* data = nullptr;
    size_t size = 0;
    int shmId = -1;
    xcb_shm_seg_t segment = 0;
    std::atomic<bool> busy {false};
};

struct Highlight
{
    QPointF centre; // area pixels
    X11FrameSource::Clock::time_point pressed;
    std::optional<X11FrameSource::Clock::time_point> released;
};

// A child of the root window as the window list keeps it.
struct TopWindow
{
    xcb_window_t id = XCB_WINDOW_NONE;
    QRect rect; // root pixels, border included
    bool viewable = false;
    bool chrome = false;
};

} // namespace

std::vector<RowBand> mergeBands(std::vector<RowBand> bands, int height, int joinGap)
{
    std::vector<RowBand> aligned;
    for (RowBand band : bands) {
        band.top = std::clamp(band.top & ~1, 0, height);
        band.bottom = std::clamp((band.bottom + 1) & ~1, 0, height);
        if (band.bottom > band.top)
            aligned.push_back(band);
    }
    std::sort(aligned.begin(), aligned.end(), [](const RowBand& a, const RowBand& b) { return a.top < b.top; });
    std::vector<RowBand> merged;
    int covered = 0;
    for (const RowBand& band : aligned) {
        if (!merged.empty() && band.top <= merged.back().bottom + joinGap) {
            merged.back().bottom = std::max(merged.back().bottom, band.bottom);
            continue;
        }
        merged.push_back(band);
    }
    for (const RowBand& band : merged)
        covered += band.bottom - band.top;
    // Past three quarters of the picture, one request is cheaper than several.
    if (!merged.empty() && covered * 4 > height * 3)
        return {RowBand {0, height}};
    return merged;
}

struct X11FrameSource::State
{
    Options options;
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    QRect area; // root pixels
    int stride = 0;
    std::vector<std::unique_ptr<Buffer>> buffers;
    bool shm = false;

    bool damage = false;
    uint8_t damageEventBase = 0;
    xcb_damage_damage_t damageObject = 0;
    xcb_xfixes_region_t damageRegion = 0;
    bool damaged = false;

    bool xfixes = false;
    uint8_t xinputOpcode = 0;
    bool composite = false;
    xcb_atom_t roleAtom = XCB_ATOM_NONE;
    xcb_atom_t rootPixmapAtom = XCB_ATOM_NONE;

    bool first = true;
    Clock::time_point lastFull;
    std::vector<RowBand> pending; // changes that waited for a free buffer

    // The pointer as drawn into the last frame, and its picture.
    QRect drawnCursor; // area pixels
    uint32_t drawnSerial = 0;
    QImage cursorImage;
    uint32_t cursorSerial = 0;
    QPoint cursorHotSpot;
    QPoint pointer; // root pixels

    std::vector<Highlight> highlights;
    std::vector<QRect> drawnHighlights;
    bool buttonDown = false;

    // Windows of the root, bottom to top, refreshed when the server reports a change.
    std::vector<TopWindow> windows;
    bool windowsChanged = true;
    std::map<xcb_window_t, bool> chromeCache;
    // Windows beneath chrome, kept off screen by the server too, and the damage object that
    // tells when they change (what they draw there does not reach the root window).
    std::map<xcb_window_t, xcb_damage_damage_t> beneath;
    bool beneathChanged = false;

    ~State()
    {
        if (!c)
            return;
        for (const auto& [window, watch] : beneath) {
            if (watch)
                xcb_damage_destroy(c, watch);
            xcb_composite_unredirect_window(c, window, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        }
        for (auto& buffer : buffers) {
            if (buffer->segment)
                xcb_shm_detach(c, buffer->segment);
        }
        if (damageObject)
            xcb_damage_destroy(c, damageObject);
        if (damageRegion)
            xcb_xfixes_destroy_region(c, damageRegion);
        xcb_flush(c);
        for (auto& buffer : buffers) {
            if (buffer->shmId >= 0)
                shmdt(buffer->data);
            else
                std::free(buffer->data);
        }
        xcb_disconnect(c);
    }

    bool setUpSharedMemory(size_t bytes)
    {
        // A request of an extension the server lacks would close the connection.
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_shm_id);
        if (!extension || !extension->present)
            return false;
        auto version = reply(xcb_shm_query_version_reply, c, xcb_shm_query_version(c));
        if (!version)
            return false;
        for (int i = 0; i < options.buffers; ++i) {
            auto buffer = std::make_unique<Buffer>();
            const std::optional<ShmSegment> shm = attachShmSegment(c, bytes);
            if (!shm)
                return false;
            buffer->data = shm->data;
            buffer->size = shm->size;
            buffer->shmId = shm->shmId;
            buffer->segment = shm->segment;
            buffers.push_back(std::move(buffer));
        }
        return true;
    }

    void dropSharedMemory()
    {
        for (auto& buffer : buffers) {
            if (buffer->segment)
                xcb_shm_detach(c, buffer->segment);
            shmdt(buffer->data);
        }
        buffers.clear();
    }

    bool setUpHeapBuffers(size_t bytes)
    {
        for (int i = 0; i < options.buffers; ++i) {
            auto buffer = std::make_unique<Buffer>();
            buffer->data = static_cast<uint8_t*>(std::malloc(bytes));
            if (!buffer->data)
                return false;
            buffer->size = bytes;
            buffers.push_back(std::move(buffer));
        }
        return true;
    }

    void setUpDamage()
    {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_damage_id);
        if (!extension || !extension->present || !xfixes)
            return;
        auto version = reply(xcb_damage_query_version_reply, c, xcb_damage_query_version(c, 1, 1));
        if (!version)
            return;
        damageEventBase = extension->first_event;
        damageObject = xcb_generate_id(c);
        xcb_damage_create(c, damageObject, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        damageRegion = xcb_generate_id(c);
        xcb_xfixes_create_region(c, damageRegion, 0, nullptr);
        damage = true;
    }

    void setUpXFixes()
    {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
        if (!extension || !extension->present)
            return;
        auto version = reply(xcb_xfixes_query_version_reply, c, xcb_xfixes_query_version(c, 4, 0));
        xfixes = version && version->major_version >= 2;
    }

    void setUpClicks() { xinputOpcode = selectRawInput(c, root, rawButtons).value_or(0); }

    void setUpComposite()
    {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_composite_id);
        if (!extension || !extension->present)
            return;
        auto version = reply(xcb_composite_query_version_reply, c, xcb_composite_query_version(c, 0, 4));
        if (!version || (version->major_version == 0 && version->minor_version < 2))
            return;
        composite = true;
        roleAtom = internAtom(c, "WM_WINDOW_ROLE");
        rootPixmapAtom = internAtom(c, "_XROOTPMAP_ID");
        // Structure changes of the root's children keep the window list current.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    }

    bool ownedByApplication(xcb_window_t window) const
    {
        return options.ownResourceMask && (window & ~options.ownResourceMask) == options.ownResourceBase;
    }

    bool hasChromeRole(xcb_window_t window)
    {
        auto property
            = reply(xcb_get_property_reply, c, xcb_get_property(c, 0, window, roleAtom, XCB_ATOM_STRING, 0, 64));
        if (!property || property->format != 8)
            return false;
        const QByteArray role(static_cast<const char*>(xcb_get_property_value(property.get())),
            xcb_get_property_value_length(property.get()));
        return role == chromeIdentifier;
    }

    // A root child is chrome when it is one of the application's chrome windows, or the frame a
    // window manager put around one.
    bool isChrome(xcb_window_t window)
    {
        if (auto it = chromeCache.find(window); it != chromeCache.end())
            return it->second;
        bool chrome = false;
        if (ownedByApplication(window)) {
            chrome = hasChromeRole(window);
        } else {
            auto tree = reply(xcb_query_tree_reply, c, xcb_query_tree(c, window));
            if (tree) {
                const xcb_window_t* children = xcb_query_tree_children(tree.get());
                for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
                    if (ownedByApplication(children[i]) && hasChromeRole(children[i])) {
                        chrome = true;
                        break;
                    }
                }
            }
        }
        chromeCache[window] = chrome;
        return chrome;
    }

    void handleEvent(xcb_generic_event_t* event)
    {
        const uint8_t type = event->response_type & 0x7f;
        if (damage && type == damageEventBase + XCB_DAMAGE_NOTIFY) {
            auto* notify = reinterpret_cast<xcb_damage_notify_event_t*>(event);
            if (notify->drawable == root) {
                damaged = true;
            } else {
                xcb_damage_subtract(c, notify->damage, XCB_NONE, XCB_NONE);
                beneathChanged = true;
            }
            return;
        }
        if (type == XCB_GE_GENERIC) {
            if (xinputOpcode && rawInputEvent(event, xinputOpcode))
                handleButton(reinterpret_cast<xcb_input_raw_button_press_event_t*>(event));
            return;
        }
        switch (type) {
        case XCB_REPARENT_NOTIFY: {
            // A window manager framing one of our chrome windows: its frame is chrome too.
            auto* reparent = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
            if (ownedByApplication(reparent->window) && reparent->parent != root && hasChromeRole(reparent->window))
                chromeCache[reparent->parent] = true;
            windowsChanged = true;
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
            chromeCache.erase(destroyed->window);
            beneath.erase(destroyed->window);
            windowsChanged = true;
            break;
        }
        case XCB_CREATE_NOTIFY:
        case XCB_MAP_NOTIFY:
        case XCB_UNMAP_NOTIFY:
        case XCB_CONFIGURE_NOTIFY:
        case XCB_CIRCULATE_NOTIFY:
        case XCB_GRAVITY_NOTIFY: windowsChanged = true; break;
        default: break;
        }
    }

    void handleButton(const xcb_input_raw_button_press_event_t* event)
    {
        // Buttons 4 to 7 are the scroll wheel.
        if (event->detail >= 4 && event->detail <= 7)
            return;
        const Clock::time_point now = Clock::now();
        if (event->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
            buttonDown = true;
            if (options.showClicks)
                highlights.push_back({QPointF(), now, std::nullopt});
        } else if (event->event_type == XCB_INPUT_RAW_BUTTON_RELEASE) {
            buttonDown = false;
            for (Highlight& highlight : highlights) {
                if (!highlight.released)
                    highlight.released = now;
            }
        }
    }

    void pollEvents()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            handleEvent(event);
            std::free(event);
        }
    }

    std::vector<RowBand> takeDamage()
    {
        std::vector<RowBand> bands;
        if (!damaged)
            return bands;
        damaged = false;
        xcb_damage_subtract(c, damageObject, XCB_NONE, damageRegion);
        auto region = reply(xcb_xfixes_fetch_region_reply, c, xcb_xfixes_fetch_region(c, damageRegion));
        if (!region) {
            bands.push_back({0, area.height()});
            return bands;
        }
        const xcb_rectangle_t* rects = xcb_xfixes_fetch_region_rectangles(region.get());
        for (int i = 0; i < xcb_xfixes_fetch_region_rectangles_length(region.get()); ++i) {
            const QRect changed = QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height) & area;
            if (!changed.isEmpty())
                bands.push_back({changed.top() - area.top(), changed.bottom() + 1 - area.top()});
        }
        return bands;
    }

    // Updates the pointer's position and picture; its rectangle in area pixels (empty when the
    // pointer is hidden or outside).
    QRect updatePointer()
    {
        if (options.showCursor && xfixes) {
            auto image = reply(xcb_xfixes_get_cursor_image_reply, c, xcb_xfixes_get_cursor_image(c));
            if (!image)
                return {};
            pointer = QPoint(image->x, image->y);
            if (image->cursor_serial != cursorSerial || cursorImage.isNull()) {
                cursorSerial = image->cursor_serial;
                cursorHotSpot = QPoint(image->xhot, image->yhot);
                // Cursor pictures are premultiplied ARGB words.
                QImage picture(image->width, image->height, QImage::Format_ARGB32_Premultiplied);
                const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(image.get());
                for (int y = 0; y < image->height; ++y)
                    std::memcpy(picture.scanLine(y), pixels + size_t(y) * image->width, size_t(image->width) * 4);
                cursorImage = picture;
            }
            return QRect(pointer - cursorHotSpot - area.topLeft(), cursorImage.size()) & QRect(QPoint(), area.size());
        }
        if (options.showClicks && !highlights.empty()) {
            if (auto position = reply(xcb_query_pointer_reply, c, xcb_query_pointer(c, root)))
                pointer = QPoint(position->root_x, position->root_y);
        }
        return {};
    }

    // The highlight's disc at `now`: radius in pixels and opacity, or none once it has faded.
    std::optional<std::pair<double, double>> highlightLook(const Highlight& highlight, Clock::time_point now) const
    {
        const double scale = options.pixelsPerPoint;
        if (!highlight.released)
            return std::pair {highlightRadius * scale, 1.0};
        const double releasedAt
            = std::max(secondsBetween(highlight.pressed, *highlight.released), highlightMinimumHold);
        const double age = secondsBetween(highlight.pressed, now) - releasedAt;
        if (age <= 0)
            return std::pair {highlightRadius * scale, 1.0};
        if (age >= highlightFade)
            return std::nullopt;
        const double progress = age / highlightFade;
        return std::pair {(highlightRadius + highlightGrowth * progress) * scale, 1.0 - progress};
    }

    QRect highlightBounds(const Highlight& highlight) const
    {
        const double reach = (highlightRadius + highlightGrowth + 2) * options.pixelsPerPoint;
        return QRectF(highlight.centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)).toAlignedRect()
            & QRect(QPoint(), area.size());
    }

    int acquireBuffer()
    {
        for (size_t i = 0; i < buffers.size(); ++i) {
            bool expected = false;
            if (buffers[i]->busy.compare_exchange_strong(expected, true))
                return int(i);
        }
        return -1;
    }

    std::optional<Error> grab(Buffer& buffer, const std::vector<RowBand>& bands)
    {
        if (shm) {
            std::vector<xcb_shm_get_image_cookie_t> cookies;
            for (const RowBand& band : bands) {
                cookies.push_back(xcb_shm_get_image(c, root, int16_t(area.x()), int16_t(area.y() + band.top),
                    uint16_t(area.width()), uint16_t(band.bottom - band.top), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                    buffer.segment, uint32_t(size_t(band.top) * stride)));
            }
            bool ok = true;
            for (auto cookie : cookies)
                ok = reply(xcb_shm_get_image_reply, c, cookie) && ok;
            if (!ok)
                return sourceError(
                    QCoreApplication::translate("Recording", "The recorded screen can no longer be read"));
            return std::nullopt;
        }
        for (const RowBand& band : bands) {
            auto image = reply(xcb_get_image_reply, c,
                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(area.x()), int16_t(area.y() + band.top),
                    uint16_t(area.width()), uint16_t(band.bottom - band.top), ~0u));
            const size_t bytes = size_t(band.bottom - band.top) * stride;
            if (!image || size_t(xcb_get_image_data_length(image.get())) < bytes)
                return sourceError(
                    QCoreApplication::translate("Recording", "The recorded screen can no longer be read"));
            std::memcpy(buffer.data + size_t(band.top) * stride, xcb_get_image_data(image.get()), bytes);
        }
        return std::nullopt;
    }

    void refreshWindows()
    {
        windowsChanged = false;
        windows.clear();
        auto tree = reply(xcb_query_tree_reply, c, xcb_query_tree(c, root));
        if (!tree)
            return;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
        std::vector<xcb_get_geometry_cookie_t> geometryCookies;
        for (int i = 0; i < count; ++i) {
            attributeCookies.push_back(xcb_get_window_attributes(c, children[i]));
            geometryCookies.push_back(xcb_get_geometry(c, children[i]));
        }
        for (int i = 0; i < count; ++i) {
            auto attributes = reply(xcb_get_window_attributes_reply, c, attributeCookies[i]);
            auto geometry = reply(xcb_get_geometry_reply, c, geometryCookies[i]);
            if (!attributes || !geometry || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
                continue;
            const int border = geometry->border_width;
            TopWindow window;
            window.id = children[i];
            window.rect = QRect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
            window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            windows.push_back(window);
        }
        for (TopWindow& window : windows) {
            if (window.viewable)
                window.chrome = isChrome(window.id);
        }
    }

    // Rectangles (root pixels) of our chrome windows over the area.
    std::vector<QRect> chromeOverArea()
    {
        std::vector<QRect> result;
        if (!composite)
            return result;
        if (windowsChanged)
            refreshWindows();
        for (const TopWindow& window : windows) {
            if (window.viewable && window.chrome && window.rect.intersects(area))
                result.push_back(window.rect & area);
        }
        return result;
    }

    void watchBeneath(xcb_window_t window)
    {
        if (beneath.count(window))
            return;
        // The server then keeps the whole window off screen as well, covered parts included;
        // the window repaints what chrome covered once it is told to.
        xcb_composite_redirect_window(c, window, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        xcb_damage_damage_t watch = 0;
        if (damage) {
            watch = xcb_generate_id(c);
            xcb_damage_create(c, watch, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        }
        beneath[window] = watch;
    }

    // Redirects the windows beneath chrome that covers the area before the first frame, so
    // they have repainted what the chrome hid by the time it is needed.
    void prepareBeneath()
    {
        for (const QRect& chrome : chromeOverArea()) {
            for (const TopWindow& window : windows) {
                if (window.viewable && !window.chrome && window.rect.intersects(chrome))
                    watchBeneath(window.id);
            }
        }
    }

    // Repaints `patch` (root pixels, inside the area) of the buffer from the windows that are
    // not chrome, bottom to top, read from their off-screen pixmaps.
    void paintBeneath(Buffer& buffer, const QRect& patch)
    {
        auto copyRows = [&](const uint8_t* source, int sourceStride, const QRect& target) {
            for (int y = 0; y < target.height(); ++y) {
                std::memcpy(
                    buffer.data + size_t(target.y() - area.y() + y) * stride + size_t(target.x() - area.x()) * 4,
                    source + size_t(y) * sourceStride, size_t(target.width()) * 4);
            }
        };
        auto read = [&](xcb_drawable_t drawable, const QRect& rect, const QPoint& origin) -> bool {
            auto image = reply(xcb_get_image_reply, c,
                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(rect.x() - origin.x()),
                    int16_t(rect.y() - origin.y()), uint16_t(rect.width()), uint16_t(rect.height()), ~0u));
            if (!image || size_t(xcb_get_image_data_length(image.get())) < size_t(rect.width()) * rect.height() * 4)
                return false;
            copyRows(xcb_get_image_data(image.get()), rect.width() * 4, rect);
            return true;
        };

        // The desktop's picture where no window covers it, black without one.
        bool background = false;
        if (rootPixmapAtom != XCB_ATOM_NONE) {
            auto property
                = reply(xcb_get_property_reply, c, xcb_get_property(c, 0, root, rootPixmapAtom, XCB_ATOM_PIXMAP, 0, 1));
            if (property && property->format == 32 && xcb_get_property_value_length(property.get()) >= 4) {
                const auto pixmap = *static_cast<const xcb_pixmap_t*>(xcb_get_property_value(property.get()));
                background = read(pixmap, patch, QPoint());
            }
        }
        if (!background) {
            for (int y = patch.top(); y <= patch.bottom(); ++y)
                std::memset(buffer.data + size_t(y - area.y()) * stride + size_t(patch.x() - area.x()) * 4, 0,
                    size_t(patch.width()) * 4);
        }

        for (const TopWindow& window : windows) {
            if (!window.viewable || window.chrome)
                continue;
            const QRect part = window.rect & patch;
            if (part.isEmpty())
                continue;
            watchBeneath(window.id);
            const xcb_pixmap_t pixmap = xcb_generate_id(c);
            xcb_composite_name_window_pixmap(c, window.id, pixmap);
            read(pixmap, part, window.rect.topLeft());
            xcb_free_pixmap(c, pixmap);
        }
    }

    void drawOverlays(Buffer& buffer, const QRect& cursor, Clock::time_point now, const QRegion& clip)
    {
        const bool anyHighlight = !highlights.empty();
        if (cursor.isEmpty() && !anyHighlight)
            return;
        QImage canvas(buffer.data, area.width(), area.height(), stride, QImage::Format_RGB32);
        QPainter painter(&canvas);
        painter.setClipRegion(clip);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const Highlight& highlight : highlights) {
            const auto look = highlightLook(highlight, now);
            if (!look)
                continue;
            const auto [radius, opacity] = *look;
            painter.setOpacity(opacity);
            painter.setPen(QPen(QColor(255, 255, 255, 200), 2 * options.pixelsPerPoint));
            painter.setBrush(QColor(0, 0, 0, 90));
            painter.drawEllipse(highlight.centre, radius, radius);
        }
        painter.setOpacity(1.0);
        if (!cursor.isEmpty())
            painter.drawImage(QPointF(pointer - cursorHotSpot - area.topLeft()), cursorImage);
    }
};

X11FrameSource::X11FrameSource()
    : m_state(std::make_unique<State>())
{ }

X11FrameSource::~X11FrameSource() = default;

Expected<std::unique_ptr<X11FrameSource>> X11FrameSource::open(const Options& options)
{
    std::unique_ptr<X11FrameSource> source(new X11FrameSource);
    State& s = *source->m_state;
    s.options = options;
    s.area = options.nativeArea;
    s.c = xcb_connect(nullptr, nullptr);
    if (!s.c || xcb_connection_has_error(s.c))
        return sourceError(QCoreApplication::translate("Recording", "Could not connect to the X server"));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(s.c)).data;
    s.root = screen->root;
    if (!storesBgrxWords(s.c, screen->root_depth))
        return sourceError(QCoreApplication::translate("Recording", "Unsupported screen pixel format (depth %1)")
                               .arg(screen->root_depth));
    const QRect rootRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    s.area = options.nativeArea & rootRect;
    if (s.area.width() < 2 || s.area.height() < 2)
        return sourceError(QCoreApplication::translate("Recording", "The recording area is not on the screen"));
    s.stride = s.area.width() * 4;

    const size_t bytes = size_t(s.stride) * s.area.height();
    s.shm = s.setUpSharedMemory(bytes);
    if (!s.shm) {
        s.dropSharedMemory();
        if (!s.setUpHeapBuffers(bytes))
            return sourceError(QCoreApplication::translate("Recording", "Out of memory for %1 × %2 frames")
                                   .arg(s.area.width())
                                   .arg(s.area.height()));
    }
    s.setUpXFixes();
    s.setUpDamage();
    if (options.showClicks)
        s.setUpClicks();
    s.setUpComposite();
    s.prepareBeneath();
    xcb_flush(s.c);
    if (xcb_connection_has_error(s.c))
        return sourceError(QCoreApplication::translate("Recording", "The X server closed the connection"));
    return source;
}

QSize X11FrameSource::size() const
{
    return m_state->area.size();
}

bool X11FrameSource::usesSharedMemory() const
{
    return m_state->shm;
}

bool X11FrameSource::tracksDamage() const
{
    return m_state->damage;
}

void X11FrameSource::release(int buffer)
{
    if (buffer >= 0 && size_t(buffer) < m_state->buffers.size())
        m_state->buffers[size_t(buffer)]->busy.store(false);
}

Expected<X11FrameSource::Outcome> X11FrameSource::capture(Clock::time_point now, GrabbedFrame& frame)
{
    State& s = *m_state;
    if (xcb_connection_has_error(s.c))
        return sourceError(QCoreApplication::translate("Recording", "The X server closed the connection"));
    s.pollEvents();

    const int height = s.area.height();
    std::vector<RowBand> dirty = std::move(s.pending);
    s.pending.clear();
    const bool full = s.first || !s.damage || now - s.lastFull >= fullRefreshInterval;
    if (s.damage) {
        const std::vector<RowBand> damage = s.takeDamage();
        dirty.insert(dirty.end(), damage.begin(), damage.end());
    }

    // The pointer and the highlights: where they were drawn last time and where they are now.
    const QRect cursor = s.updatePointer();
    if (cursor != s.drawnCursor || (!cursor.isEmpty() && s.cursorSerial != s.drawnSerial)) {
        if (!s.drawnCursor.isEmpty())
            dirty.push_back({s.drawnCursor.top(), s.drawnCursor.bottom() + 1});
        if (!cursor.isEmpty())
            dirty.push_back({cursor.top(), cursor.bottom() + 1});
    }
    for (Highlight& highlight : s.highlights) {
        if (highlight.centre.isNull())
            highlight.centre = QPointF(s.pointer - s.area.topLeft());
    }
    std::erase_if(s.highlights, [&](const Highlight& h) { return !s.highlightLook(h, now); });
    std::vector<QRect> highlightRects;
    for (const Highlight& highlight : s.highlights)
        highlightRects.push_back(s.highlightBounds(highlight));
    for (const QRect& rect : s.drawnHighlights)
        dirty.push_back({rect.top(), rect.bottom() + 1});
    for (const QRect& rect : highlightRects) {
        if (!rect.isEmpty())
            dirty.push_back({rect.top(), rect.bottom() + 1});
    }

    if (s.beneathChanged) {
        // A window beneath chrome changed: its part under the chrome is read again.
        s.beneathChanged = false;
        for (const QRect& chrome : s.chromeOverArea())
            dirty.push_back({chrome.top() - s.area.top(), chrome.bottom() + 1 - s.area.top()});
    }
    std::vector<RowBand> bands = full ? std::vector<RowBand> {{0, height}} : mergeBands(std::move(dirty), height);
    if (bands.empty())
        return Outcome::unchanged;

    const int index = s.acquireBuffer();
    if (index < 0) {
        s.pending = std::move(bands);
        return Outcome::busy;
    }
    Buffer& buffer = *s.buffers[size_t(index)];
    if (auto failure = s.grab(buffer, bands)) {
        release(index);
        return *failure;
    }

    QRegion clip;
    for (const RowBand& band : bands)
        clip += QRect(0, band.top, s.area.width(), band.bottom - band.top);
    for (const QRect& chrome : s.chromeOverArea()) {
        const QRegion patch = clip & QRegion(chrome.translated(-s.area.topLeft()));
        for (const QRect& rect : patch)
            s.paintBeneath(buffer, rect.translated(s.area.topLeft()));
    }
    s.drawOverlays(buffer, cursor, now, clip);

    s.drawnCursor = cursor;
    s.drawnSerial = s.cursorSerial;
    s.drawnHighlights = highlightRects;
    if (full)
        s.lastFull = now;
    s.first = false;
    xcb_flush(s.c);

    frame.buffer = index;
    frame.pixels = buffer.data;
    frame.stride = s.stride;
    frame.bands = std::move(bands);
    return Outcome::frame;
}

} // namespace vantrel::x11
