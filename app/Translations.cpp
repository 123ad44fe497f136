// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace vantrel {

bool installTranslations(const QString& directory, const QLocale& locale)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // Qt's own first, so that Vantrel's texts win where both translate the same words.
    auto* qt = new QTranslator(app);
    if (qt->load(
            locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;

    auto* own = new QTranslator(app);
    if (!own->load(locale, QStringLiteral("vantrel"), QStringLiteral("_"), directory)) {
        delete own;
        return false;
    }
    QCoreApplication::installTranslator(own);
    return true;
}

bool installTranslationsBesideProgram(const QString& relative)
{
    return installTranslations(QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(relative)));
}

} // namespace vantrel
