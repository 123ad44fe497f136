// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeyCombo.h"
#include "SettingsTypes.h"

#include <QDateTime>
#include <QObject>
#include <QString>

namespace vantrel {

class PreferenceStore;

// The sane range of a numeric setting. A value read or written outside it is brought to the
// nearest bound (logged), except where a value below the range would throw the user's captures
// away: that one gives the default. The stored value stays untouched until the user sets it.
struct IntSettingLimits
{
    int minimum;
    int maximum;
    int fallback; // the default
    bool belowUsesDefault = false;
};
struct DoubleSettingLimits
{
    double minimum;
    double maximum;
    double fallback; // the default; also for NaN and infinity
};

// Every user preference. Values are read from the preference store once, when the object is
// made; each write stores at once under the property's own name and tells observers first.
class Settings : public QObject
{
    Q_OBJECT
public:
    using IntLimits = IntSettingLimits;
    using DoubleLimits = DoubleSettingLimits;
    // Preset identifiers, not magnitudes: one outside the table's reach means the first preset.
    static constexpr IntLimits windowBackgroundPresetLimits {0, 1000, 0, true};
    static constexpr IntLimits selfTimerSecondsLimits {0, 60, 5}; // seconds; 0 captures at once
    static constexpr IntLimits overlayAutoCloseLimits {0, 3600, 10}; // seconds; 0 keeps thumbnails
    static constexpr DoubleLimits overlaySizeLimits {80.0, 1000.0, 220.0}; // points
    static constexpr IntLimits recordFPSLimits {1, 120, 60};
    static constexpr IntLimits gifFPSLimits {1, 50, 15}; // GIF delays count hundredths of a second
    static constexpr IntLimits gifMaxWidthLimits {16, 7680, 960}; // pixels
    // 0 or less would empty the history at the next start.
    static constexpr IntLimits historyDaysLimits {1, 36500, 30, true};

    // Reads every key from `store`, which must outlive the object.
    explicit Settings(PreferenceStore& store, QObject* parent = nullptr);

    // The process-wide instance over the installed preference store, made on first use. A
    // Settings installed with ScopedService<Settings> takes its place (tests).
    static Settings& shared();

    QString saveDirectory() const { return m_saveDirectory; }
    void setSaveDirectory(const QString& value);
    ImageFormat imageFormat() const { return m_imageFormat; }
    void setImageFormat(ImageFormat value);
    QString filePrefix() const { return m_filePrefix; }
    void setFilePrefix(const QString& value);
    bool playSound() const { return m_playSound; }
    void setPlaySound(bool value);

    bool afterShowOverlay() const { return m_afterShowOverlay; }
    void setAfterShowOverlay(bool value);
    bool afterCopy() const { return m_afterCopy; }
    void setAfterCopy(bool value);
    bool afterSave() const { return m_afterSave; }
    void setAfterSave(bool value);
    bool afterOpenEditor() const { return m_afterOpenEditor; }
    void setAfterOpenEditor(bool value);

    bool freezeScreen() const { return m_freezeScreen; }
    void setFreezeScreen(bool value);
    bool showCrosshair() const { return m_showCrosshair; }
    void setShowCrosshair(bool value);
    bool showMagnifier() const { return m_showMagnifier; }
    void setShowMagnifier(bool value);
    bool dropAnimation() const { return m_dropAnimation; }
    void setDropAnimation(bool value);

    bool windowShadow() const { return m_windowShadow; }
    void setWindowShadow(bool value);
    bool windowBackground() const { return m_windowBackground; }
    void setWindowBackground(bool value);
    int windowBackgroundPreset() const { return m_windowBackgroundPreset; }
    void setWindowBackgroundPreset(int value);
    int selfTimerSeconds() const { return m_selfTimerSeconds; }
    void setSelfTimerSeconds(int value);
    // Writing asks the desktop icon hider to apply the value, even when it is unchanged.
    bool hideDesktopIcons() const { return m_hideDesktopIcons; }
    void setHideDesktopIcons(bool value);

    OverlayCorner overlayCorner() const { return m_overlayCorner; }
    void setOverlayCorner(OverlayCorner value);
    int overlayAutoClose() const { return m_overlayAutoClose; } // seconds; 0 keeps thumbnails
    void setOverlayAutoClose(int value);
    double overlaySize() const { return m_overlaySize; } // points
    void setOverlaySize(double value);

    int recordFPS() const { return m_recordFPS; }
    void setRecordFPS(int value);
    bool recordShowCursor() const { return m_recordShowCursor; }
    void setRecordShowCursor(bool value);
    bool recordShowClicks() const { return m_recordShowClicks; }
    void setRecordShowClicks(bool value);
    bool recordMicrophone() const { return m_recordMicrophone; }
    void setRecordMicrophone(bool value);
    bool recordSystemAudio() const { return m_recordSystemAudio; }
    void setRecordSystemAudio(bool value);
    bool recordCamera() const { return m_recordCamera; }
    void setRecordCamera(bool value);
    bool recordKeystrokes() const { return m_recordKeystrokes; }
    void setRecordKeystrokes(bool value);
    bool recordRetina() const { return m_recordRetina; }
    void setRecordRetina(bool value);
    int gifFPS() const { return m_gifFPS; }
    void setGifFPS(int value);
    int gifMaxWidth() const { return m_gifMaxWidth; } // pixels
    void setGifMaxWidth(int value);

    int historyDays() const { return m_historyDays; }
    void setHistoryDays(int value);

    // Writing stores the map and has every shortcut registered again, even when unchanged.
    const HotKeyMap& hotKeys() const { return m_hotKeys; }
    void setHotKeys(const HotKeyMap& value);

    // Whether the desktop starts Vantrel at login; read from the desktop each time.
    bool launchAtLogin() const;
    void setLaunchAtLogin(bool value);

    // The name of a new capture file: prefix, optional label, local date and time, extension,
    // e.g. "Vantrel 2026-03-12 at 14.05.09.png".
    QString fileName(const QString& extension, const QString& label) const;
    QString fileName(const QString& extension, const QString& label, const QDateTime& when) const;

Q_SIGNALS:
    // Sent before a new value is stored, so views can prepare to refresh.
    void aboutToChange(const QString& key);
    // Sent after the value is stored.
    void changed(const QString& key);
    // Write side effects: whoever applies them listens here.
    void hideDesktopIconsWritten(bool hidden);
    void hotKeysWritten();

private:
    template <typename T> void store(const char* key, T& field, const T& value);
    template <typename T, typename Limits> static T withinLimits(const char* key, T value, const Limits& limits);

    PreferenceStore& m_store;

    QString m_saveDirectory;
    ImageFormat m_imageFormat = ImageFormat::png;
    QString m_filePrefix;
    bool m_playSound = true;
    bool m_afterShowOverlay = true;
    bool m_afterCopy = true;
    bool m_afterSave = false;
    bool m_afterOpenEditor = false;
    bool m_freezeScreen = true;
    bool m_showCrosshair = true;
    bool m_showMagnifier = true;
    bool m_dropAnimation = true;
    bool m_windowShadow = true;
    bool m_windowBackground = false;
    int m_windowBackgroundPreset = windowBackgroundPresetLimits.fallback;
    int m_selfTimerSeconds = selfTimerSecondsLimits.fallback;
    bool m_hideDesktopIcons = false;
    OverlayCorner m_overlayCorner = OverlayCorner::left;
    int m_overlayAutoClose = overlayAutoCloseLimits.fallback;
    double m_overlaySize = overlaySizeLimits.fallback;
    int m_recordFPS = recordFPSLimits.fallback;
    bool m_recordShowCursor = true;
    bool m_recordShowClicks = true;
    bool m_recordMicrophone = false;
    bool m_recordSystemAudio = false;
    bool m_recordCamera = false;
    bool m_recordKeystrokes = false;
    bool m_recordRetina = true;
    int m_gifFPS = gifFPSLimits.fallback;
    int m_gifMaxWidth = gifMaxWidthLimits.fallback;
    int m_historyDays = historyDaysLimits.fallback;
    HotKeyMap m_hotKeys;
};

} // namespace vantrel
