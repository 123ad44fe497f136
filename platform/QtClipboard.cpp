// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clipboard.h"
#include "PngEncoder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vantrel {

namespace {

const QString pngType = QStringLiteral("image/png");

// Offers "image/png" without encoding at copy time: a 4K picture takes tens of milliseconds
// to compress, and most copies are never pasted as PNG.
class LazyPngMimeData : public QMimeData
{
public:
    void setPicture(const QImage& picture)
    {
        m_picture = picture;
        setImageData(picture);
    }
    bool hasFormat(const QString& mimeType) const override
    {
        return (mimeType == pngType && !m_picture.isNull()) || QMimeData::hasFormat(mimeType);
    }
    QStringList formats() const override
    {
        QStringList result = QMimeData::formats();
        if (!m_picture.isNull() && !result.contains(pngType))
            result.prepend(pngType);
        return result;
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (mimeType == pngType && !m_picture.isNull()) {
            if (m_png.isEmpty()) {
                if (auto bytes = encodePng(m_picture, PngSpeed::fast))
                    m_png = *bytes;
            }
            return m_png;
        }
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    QImage m_picture;
    mutable QByteArray m_png;
};

} // namespace

void QtClipboard::write(const ClipboardContents& contents)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto* mime = new LazyPngMimeData;
    if (contents.image)
        mime->setPicture(*contents.image);
    if (!contents.fileURLs.isEmpty()) {
        mime->setUrls(contents.fileURLs);
        QByteArray copied("copy");
        for (const QUrl& url : contents.fileURLs)
            copied += '\n' + url.toEncoded();
        mime->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    }
    if (!contents.text.isEmpty())
        mime->setText(contents.text);
    clipboard->setMimeData(mime, QClipboard::Clipboard);
}

void QtClipboard::clear()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->clear(QClipboard::Clipboard);
}

std::optional<QImage> QtClipboard::image()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return std::nullopt;
    const QMimeData* mime = clipboard->mimeData(QClipboard::Clipboard);
    if (!mime || !mime->hasImage())
        return std::nullopt;
    QImage picture = qvariant_cast<QImage>(mime->imageData());
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace vantrel
