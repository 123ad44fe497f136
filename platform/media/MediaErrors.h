// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

namespace vantrel::media {

// An FFmpeg error code as words: "<what>: <FFmpeg's description>".
Error ffmpegError(int code, const char* what);
// The same for failures to write the movie file, in the recorder's file error domain.
Error fileError(int code, const char* what);

// FFmpeg and libx264 print progress and statistics at their default level; Vantrel's standard
// error is its system log, so only errors may reach it.
void quietFfmpegLogs();

} // namespace vantrel::media
