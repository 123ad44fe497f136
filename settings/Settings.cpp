// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include "LoginItem.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "SystemLog.h"
#include "XdgPaths.h"

#include <cmath>
#include <limits>
#include <optional>

namespace vantrel {

namespace {

QString keyOf(const char* name)
{
    return QString::fromLatin1(name);
}

void logWrongType(const char* key, const char* type)
{
    systemLog(
        QStringLiteral("Vantrel: setting %1 is not a %2; using its default").arg(keyOf(key), QLatin1String(type)));
}

void load(const PreferenceStore& store, const char* key, bool& field)
{
    const auto v = store.value(keyOf(key));
    if (v && std::holds_alternative<bool>(*v))
        field = std::get<bool>(*v);
    else if (v)
        logWrongType(key, "Bool");
}

void load(const PreferenceStore& store, const char* key, QString& field)
{
    const auto v = store.value(keyOf(key));
    if (v && std::holds_alternative<QString>(*v))
        field = std::get<QString>(*v);
    else if (v)
        logWrongType(key, "String");
}

// Clamps `value` into `limits`, or gives the default where a value below the range would cost
// the user data; none when the value is already in range.
std::optional<qint64> limited(qint64 value, const Settings::IntLimits& limits)
{
    if (value < limits.minimum)
        return limits.belowUsesDefault ? limits.fallback : limits.minimum;
    if (value > limits.maximum)
        return limits.maximum;
    return std::nullopt;
}

std::optional<double> limited(double value, const Settings::DoubleLimits& limits)
{
    if (!std::isfinite(value))
        return limits.fallback;
    if (value < limits.minimum)
        return limits.minimum;
    if (value > limits.maximum)
        return limits.maximum;
    return std::nullopt;
}

// Every numeric value read is brought into its sane range; the stored value stays as it is until
// the user sets the property. `Stored` is how the store keeps such a value.
template <typename Stored, typename Field, typename Limits>
void loadLimited(const PreferenceStore& store, const char* key, Field& field, const Limits& limits, const char* type)
{
    const auto v = store.value(keyOf(key));
    if (!v)
        return;
    if (!std::holds_alternative<Stored>(*v)) {
        logWrongType(key, type);
        return;
    }
    const Stored value = std::get<Stored>(*v);
    if (const std::optional<Stored> fixed = limited(value, limits)) {
        systemLog(QStringLiteral("Vantrel: setting %1 of %2 is outside %3 to %4; using %5")
                      .arg(keyOf(key))
                      .arg(value)
                      .arg(limits.minimum)
                      .arg(limits.maximum)
                      .arg(*fixed));
        field = Field(*fixed);
    } else {
        field = Field(value);
    }
}

void load(const PreferenceStore& store, const char* key, int& field, const Settings::IntLimits& limits)
{
    loadLimited<qint64>(store, key, field, limits, "whole number");
}

void load(const PreferenceStore& store, const char* key, double& field, const Settings::DoubleLimits& limits)
{
    loadLimited<double>(store, key, field, limits, "number");
}

// An enumeration's raw string; anything else gives the first value, with a log line.
template <typename Enum, typename FromRaw>
Enum loadEnumeration(const PreferenceStore& store, const char* key, FromRaw fromRaw, Enum fallback)
{
    const auto v = store.value(keyOf(key));
    if (!v)
        return fallback;
    if (!std::holds_alternative<QString>(*v)) {
        logWrongType(key, "String");
        return fallback;
    }
    const QString raw = std::get<QString>(*v);
    const Enum value = fromRaw(raw);
    if (rawValue(value) != raw)
        systemLog(QStringLiteral("Vantrel: setting %1 \"%2\" names no choice; using %3")
                      .arg(keyOf(key), raw.left(64), rawValue(value)));
    return value;
}

PreferenceValue stored(bool v)
{
    return v;
}
PreferenceValue stored(int v)
{
    return static_cast<qint64>(v);
}
PreferenceValue stored(double v)
{
    return v;
}
PreferenceValue stored(const QString& v)
{
    return v;
}
PreferenceValue stored(ImageFormat v)
{
    return rawValue(v);
}
PreferenceValue stored(OverlayCorner v)
{
    return rawValue(v);
}

} // namespace

Settings::Settings(PreferenceStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_saveDirectory(xdg::desktopDir())
    , m_filePrefix(QStringLiteral("Vantrel"))
{
    load(m_store, "saveDirectory", m_saveDirectory);
    m_imageFormat = loadEnumeration(m_store, "imageFormat", imageFormatFromRaw, ImageFormat::png);
    load(m_store, "filePrefix", m_filePrefix);
    load(m_store, "playSound", m_playSound);
    load(m_store, "afterShowOverlay", m_afterShowOverlay);
    load(m_store, "afterCopy", m_afterCopy);
    load(m_store, "afterSave", m_afterSave);
    load(m_store, "afterOpenEditor", m_afterOpenEditor);
    load(m_store, "freezeScreen", m_freezeScreen);
    load(m_store, "showCrosshair", m_showCrosshair);
    load(m_store, "showMagnifier", m_showMagnifier);
    load(m_store, "dropAnimation", m_dropAnimation);
    load(m_store, "windowShadow", m_windowShadow);
    load(m_store, "windowBackground", m_windowBackground);
    load(m_store, "windowBackgroundPreset", m_windowBackgroundPreset, windowBackgroundPresetLimits);
    load(m_store, "selfTimerSeconds", m_selfTimerSeconds, selfTimerSecondsLimits);
    load(m_store, "hideDesktopIcons", m_hideDesktopIcons);
    m_overlayCorner = loadEnumeration(m_store, "overlayCorner", overlayCornerFromRaw, OverlayCorner::left);
    load(m_store, "overlayAutoClose", m_overlayAutoClose, overlayAutoCloseLimits);
    load(m_store, "overlaySize", m_overlaySize, overlaySizeLimits);
    load(m_store, "recordFPS", m_recordFPS, recordFPSLimits);
    load(m_store, "recordShowCursor", m_recordShowCursor);
    load(m_store, "recordShowClicks", m_recordShowClicks);
    load(m_store, "recordMicrophone", m_recordMicrophone);
    load(m_store, "recordSystemAudio", m_recordSystemAudio);
    load(m_store, "recordCamera", m_recordCamera);
    load(m_store, "recordKeystrokes", m_recordKeystrokes);
    load(m_store, "recordRetina", m_recordRetina);
    load(m_store, "gifFPS", m_gifFPS, gifFPSLimits);
    load(m_store, "gifMaxWidth", m_gifMaxWidth, gifMaxWidthLimits);
    load(m_store, "historyDays", m_historyDays, historyDaysLimits);

    // A map that decodes is used as it is, even when empty: the user may have cleared every
    // shortcut. Only missing or unreadable data brings the defaults back.
    std::optional<HotKeyMap> hotKeys;
    if (auto data = m_store.typed<QByteArray>(QStringLiteral("hotKeys")))
        hotKeys = decodeHotKeys(*data);
    m_hotKeys = hotKeys ? *hotKeys : defaultHotKeys();
}

Settings& Settings::shared()
{
    // Tests put a fresh instance in the slot; the application gets one over its store.
    if (Settings* installed = Service<Settings>::find())
        return *installed;
    static Settings* instance = new Settings(Service<PreferenceStore>::get());
    Service<Settings>::install(instance);
    return *instance;
}

template <typename T, typename Limits> T Settings::withinLimits(const char* key, T value, const Limits& limits)
{
    if (const auto fixed = limited(value, limits)) {
        systemLog(QStringLiteral("Vantrel: setting %1 of %2 is outside %3 to %4; storing %5")
                      .arg(keyOf(key))
                      .arg(value)
                      .arg(limits.minimum)
                      .arg(limits.maximum)
                      .arg(T(*fixed)));
        return T(*fixed);
    }
    return value;
}

template <typename T> void Settings::store(const char* key, T& field, const T& value)
{
    const QString name = keyOf(key);
    Q_EMIT aboutToChange(name);
    field = value;
    m_store.setValue(name, stored(value));
    Q_EMIT changed(name);
}

void Settings::setSaveDirectory(const QString& value)
{
    store("saveDirectory", m_saveDirectory, value);
}
void Settings::setImageFormat(ImageFormat value)
{
    store("imageFormat", m_imageFormat, value);
}
void Settings::setFilePrefix(const QString& value)
{
    store("filePrefix", m_filePrefix, value);
}
void Settings::setPlaySound(bool value)
{
    store("playSound", m_playSound, value);
}
void Settings::setAfterShowOverlay(bool value)
{
    store("afterShowOverlay", m_afterShowOverlay, value);
}
void Settings::setAfterCopy(bool value)
{
    store("afterCopy", m_afterCopy, value);
}
void Settings::setAfterSave(bool value)
{
    store("afterSave", m_afterSave, value);
}
void Settings::setAfterOpenEditor(bool value)
{
    store("afterOpenEditor", m_afterOpenEditor, value);
}
void Settings::setFreezeScreen(bool value)
{
    store("freezeScreen", m_freezeScreen, value);
}
void Settings::setShowCrosshair(bool value)
{
    store("showCrosshair", m_showCrosshair, value);
}
void Settings::setShowMagnifier(bool value)
{
    store("showMagnifier", m_showMagnifier, value);
}
void Settings::setDropAnimation(bool value)
{
    store("dropAnimation", m_dropAnimation, value);
}
void Settings::setWindowShadow(bool value)
{
    store("windowShadow", m_windowShadow, value);
}
void Settings::setWindowBackground(bool value)
{
    store("windowBackground", m_windowBackground, value);
}
void Settings::setWindowBackgroundPreset(int value)
{
    store("windowBackgroundPreset", m_windowBackgroundPreset,
        withinLimits("windowBackgroundPreset", value, windowBackgroundPresetLimits));
}
void Settings::setSelfTimerSeconds(int value)
{
    store("selfTimerSeconds", m_selfTimerSeconds, withinLimits("selfTimerSeconds", value, selfTimerSecondsLimits));
}
void Settings::setHideDesktopIcons(bool value)
{
    store("hideDesktopIcons", m_hideDesktopIcons, value);
    Q_EMIT hideDesktopIconsWritten(value);
}
void Settings::setOverlayCorner(OverlayCorner value)
{
    store("overlayCorner", m_overlayCorner, value);
}
void Settings::setOverlayAutoClose(int value)
{
    store("overlayAutoClose", m_overlayAutoClose, withinLimits("overlayAutoClose", value, overlayAutoCloseLimits));
}
void Settings::setOverlaySize(double value)
{
    store("overlaySize", m_overlaySize, withinLimits("overlaySize", value, overlaySizeLimits));
}
void Settings::setRecordFPS(int value)
{
    store("recordFPS", m_recordFPS, withinLimits("recordFPS", value, recordFPSLimits));
}
void Settings::setRecordShowCursor(bool value)
{
    store("recordShowCursor", m_recordShowCursor, value);
}
void Settings::setRecordShowClicks(bool value)
{
    store("recordShowClicks", m_recordShowClicks, value);
}
void Settings::setRecordMicrophone(bool value)
{
    store("recordMicrophone", m_recordMicrophone, value);
}
void Settings::setRecordSystemAudio(bool value)
{
    store("recordSystemAudio", m_recordSystemAudio, value);
}
void Settings::setRecordCamera(bool value)
{
    store("recordCamera", m_recordCamera, value);
}
void Settings::setRecordKeystrokes(bool value)
{
    store("recordKeystrokes", m_recordKeystrokes, value);
}
void Settings::setRecordRetina(bool value)
{
    store("recordRetina", m_recordRetina, value);
}
void Settings::setGifFPS(int value)
{
    store("gifFPS", m_gifFPS, withinLimits("gifFPS", value, gifFPSLimits));
}
void Settings::setGifMaxWidth(int value)
{
    store("gifMaxWidth", m_gifMaxWidth, withinLimits("gifMaxWidth", value, gifMaxWidthLimits));
}
void Settings::setHistoryDays(int value)
{
    store("historyDays", m_historyDays, withinLimits("historyDays", value, historyDaysLimits));
}

void Settings::setHotKeys(const HotKeyMap& value)
{
    const QString name = QStringLiteral("hotKeys");
    Q_EMIT aboutToChange(name);
    m_hotKeys = value;
    m_store.setValue(name, encodeHotKeys(value));
    Q_EMIT changed(name);
    Q_EMIT hotKeysWritten();
}

bool Settings::launchAtLogin() const
{
    LoginItem* item = Service<LoginItem>::find();
    return item && item->isEnabled();
}

void Settings::setLaunchAtLogin(bool value)
{
    const QString name = QStringLiteral("launchAtLogin");
    Q_EMIT aboutToChange(name);
    LoginItem* item = Service<LoginItem>::find();
    const std::optional<QString> error = item ? item->setEnabled(value) : QStringLiteral("no login item service");
    if (error)
        systemLog(QStringLiteral("Launch at login failed: ") + *error);
    Q_EMIT changed(name);
}

QString Settings::fileName(const QString& extension, const QString& label) const
{
    return fileName(extension, label, QDateTime::currentDateTime());
}

QString Settings::fileName(const QString& extension, const QString& label, const QDateTime& when) const
{
    // A prefix is text, not a path: a slash in it must not send captures into another folder.
    QString prefix = m_filePrefix;
    prefix.replace(QLatin1Char('/'), QLatin1Char('-'));
    prefix.remove(QChar(0));
    QString name = prefix;
    if (!label.isEmpty())
        name += QLatin1Char(' ') + label;
    name += QLatin1Char(' ') + when.toString(QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss"));
    name += QLatin1Char('.') + extension;
    return name;
}

} // namespace vantrel
