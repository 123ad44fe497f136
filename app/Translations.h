// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

namespace vantrel {

// Installs, on the running application object, Vantrel's translation for `locale`'s languages
// from `directory` ("vantrel_de.qm", "vantrel_pt_BR.qm"…) and Qt's own for its standard
// dialogs. Answers whether Vantrel's own was found; without it every text stays English.
bool installTranslations(const QString& directory, const QLocale& locale = QLocale());

// The same, from the folder at `relative` to the running executable (the build tree keeps the
// places of an installation).
bool installTranslationsBesideProgram(const QString& relative);

} // namespace vantrel
