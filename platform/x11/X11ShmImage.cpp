// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11ShmImage.h"

#include "ImageBuffers.h"
#include "x11/X11Reply.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace vantrel::x11 {

namespace {

Error xError(const QString& what, int code = 0)
{
    return Error {.domain = QStringLiteral("X11"), .code = code, .description = what};
}

// Copies rows out of the server's buffer into a fresh image, forcing alpha where the depth has
// none: the padding byte of a depth-24 pixel is undefined, and RGB32 requires 0xff there.
QImage copyOut(const unsigned char* data, int width, int height, int depth, QImage recycled)
{
    const QImage::Format format = depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    // A recycled buffer: the caller's spare frame, or else the pool's (the previous overlay's
    // still picture is usually free again by now). Faulting in fresh pages for every grab would
    // cost more than the grab. A spare still shared with someone else would be copied on write,
    // so it is not worth taking.
    QImage image = recycled.size() == QSize(width, height) && recycled.format() == format && recycled.isDetached()
        ? std::move(recycled)
        : imagebuffers::allocate(width, height, format);
    if (image.isNull())
        return image;
    const std::size_t rowBytes = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const quint32*>(data + rowBytes * y);
        auto* dst = reinterpret_cast<quint32*>(image.scanLine(y));
        if (depth == 32) {
            std::memcpy(dst, src, rowBytes);
        } else {
            for (int x = 0; x < width; ++x)
                dst[x] = src[x] | 0xff000000u;
        }
    }
    return image;
}

} // namespace

bool storesBgrxWords(xcb_connection_t* c, int depth)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    bool found = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == depth)
            found = it.data->bits_per_pixel == 32;
    }
    if (!found)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        if (d.data->depth != depth)
            continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff)
                return true;
        }
    }
    return false;
}

std::optional<ShmSegment> attachShmSegment(xcb_connection_t* c, std::size_t bytes)
{
    ShmSegment shm;
    shm.shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shm.shmId < 0)
        return std::nullopt;
    void* address = shmat(shm.shmId, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(shm.shmId, IPC_RMID, nullptr);
        return std::nullopt;
    }
    shm.data = static_cast<unsigned char*>(address);
    shm.size = bytes;
    shm.segment = xcb_generate_id(c);
    const ErrorReply error = check(c, xcb_shm_attach_checked(c, shm.segment, shm.shmId, 0));
    shmctl(shm.shmId, IPC_RMID, nullptr);
    if (error) {
        shmdt(shm.data);
        return std::nullopt;
    }
    return shm;
}

ShmImageReader::ShmImageReader(xcb_connection_t* connection)
    : m_connection(connection)
{
    if (!m_connection)
        return;
    m_shmAvailable
        = x11::reply(xcb_shm_query_version_reply, m_connection, xcb_shm_query_version(m_connection)) != nullptr;
}

ShmImageReader::~ShmImageReader()
{
    releaseSegment();
}

bool ShmImageReader::ensureSegment(std::size_t bytes)
{
    if (m_data && m_size >= bytes)
        return true;
    releaseSegment();
    // Round up to 1 MiB so that slightly larger grabs reuse the segment.
    const std::size_t size = (bytes + (1u << 20) - 1) & ~std::size_t((1u << 20) - 1);
    const std::optional<ShmSegment> shm = attachShmSegment(m_connection, size);
    if (!shm)
        return false;
    m_data = shm->data;
    m_size = shm->size;
    m_segment = shm->segment;
    m_shmId = shm->shmId;
    return true;
}

void ShmImageReader::releaseSegment()
{
    if (!m_data)
        return;
    if (m_connection && m_segment) {
        xcb_shm_detach(m_connection, m_segment);
        xcb_flush(m_connection);
    }
    shmdt(m_data);
    m_data = nullptr;
    m_size = 0;
    m_segment = 0;
    m_shmId = -1;
}

Expected<QImage> ShmImageReader::read(xcb_drawable_t drawable, const QRect& rect, int depth, QImage recycled)
{
    if (!m_connection)
        return xError(QCoreApplication::translate("ScreenCapture", "No X11 connection"));
    if (rect.isEmpty())
        return xError(QCoreApplication::translate("ScreenCapture", "Empty capture rectangle"));
    if ((depth != 24 && depth != 32) || QSysInfo::ByteOrder != QSysInfo::LittleEndian
        || !storesBgrxWords(m_connection, depth))
        return xError(QCoreApplication::translate("ScreenCapture", "Unsupported pixel format (depth %1)").arg(depth));
    const std::size_t bytes = std::size_t(rect.width()) * std::size_t(rect.height()) * 4;
    if (!m_shmAvailable || !ensureSegment(bytes))
        return readWithoutShm(drawable, rect, depth, std::move(recycled));

    ErrorReply error;
    const auto reply = x11::reply(xcb_shm_get_image_reply, m_connection,
        xcb_shm_get_image(m_connection, drawable, rect.x(), rect.y(), rect.width(), rect.height(), ~0u,
            XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment, 0),
        &error);
    if (!reply)
        return xError(QCoreApplication::translate("ScreenCapture", "The X server refused the screen grab"),
            error ? error->error_code : 0);
    QImage image = copyOut(m_data, rect.width(), rect.height(), depth, std::move(recycled));
    if (image.isNull())
        return xError(QCoreApplication::translate("ScreenCapture", "Out of memory for a %1 × %2 grab")
                          .arg(rect.width())
                          .arg(rect.height()));
    return image;
}

Expected<QImage> ShmImageReader::readWithoutShm(xcb_drawable_t drawable, const QRect& rect, int depth, QImage recycled)
{
    ErrorReply error;
    const auto reply = x11::reply(xcb_get_image_reply, m_connection,
        xcb_get_image(
            m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, rect.x(), rect.y(), rect.width(), rect.height(), ~0u),
        &error);
    if (!reply)
        return xError(QCoreApplication::translate("ScreenCapture", "The X server refused the screen grab"),
            error ? error->error_code : 0);
    const std::size_t expected = std::size_t(rect.width()) * std::size_t(rect.height()) * 4;
    QImage image;
    if (std::size_t(xcb_get_image_data_length(reply.get())) >= expected)
        image = copyOut(xcb_get_image_data(reply.get()), rect.width(), rect.height(), depth, std::move(recycled));
    if (image.isNull())
        return xError(QCoreApplication::translate("ScreenCapture", "The X server sent an incomplete image"));
    return image;
}

} // namespace vantrel::x11
