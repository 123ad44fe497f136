# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs.
# The libraries Vantrel links are found by dpkg-shlibdeps; what it only loads or reads at run
# time is named here.
set(CPACK_PACKAGE_NAME "vantrel")
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screenshots, annotation and screen recording in the tray")
set(CPACK_PACKAGE_DESCRIPTION "Vantrel lives in the tray. From its menu, a global shortcut or the desktop's \
own shortcut settings it captures an area, a window, the screen, a scrolling page or the text in \
an area; annotates captures in its editor, pins them above other windows, keeps a capture \
history and records the screen to MP4 or GIF.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "vantrel")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vantrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded or read at run time, so no library dependency names them: fonts for text and counters,
# the English recognition data, the WebP reader (Open With), the icon theme's folders.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, tesseract-ocr-eng, qt6-image-formats-plugins, hicolor-icon-theme")
# A session bus for the hand-over between launches, a sound theme for the capture sound, a sound
# server for recording audio, SVG icons of the desktop's theme.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "dbus-user-session | dbus-x11, sound-theme-freedesktop, pulseaudio | pipewire-pulse, libqt6svg6")
include(CPack)
