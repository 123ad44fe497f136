// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaErrors.h"

#include "ScreenRecording.h"

#include <QCoreApplication>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <mutex>

namespace vantrel::media {

Error ffmpegError(int code, const char* what)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return Error {.domain = QStringLiteral("FFmpeg"),
        .code = code,
        .description
        = QCoreApplication::translate("Recording", what) + QStringLiteral(": ") + QString::fromLocal8Bit(text)};
}

Error fileError(int code, const char* what)
{
    Error error = ffmpegError(code, what);
    error.domain = QString::fromLatin1(recordingFileErrorDomain);
    return error;
}

void quietFfmpegLogs()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

} // namespace vantrel::media
