// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace vantrel {

class EditorDocument;

// Checks Vantrel's own image logic without a display and prints one line per check to standard
// output; writes "editor-render.png" into `outputDirectory` (created when missing).
// Returns the process exit status: 0 when every check passed, 1 otherwise.
int runSelfTest(const QString& outputDirectory);
// The same, with each line handed to `print` instead of standard output.
int runSelfTest(const QString& outputDirectory, const std::function<void(const QString&)>& print);

// The closing line: "ALL PASSED", or the number of failures followed by " FAILED".
QString selfTestSummary(int failures);

// The editor test document: a 1400 × 900 picture of text lines at scale 2 with 19 annotations
// covering every kind (counters 1 and 2) over a gradient background.
std::unique_ptr<EditorDocument> makeSelfTestDocument();
// 400 × 1400 pixels of 6-pixel grey bands, each with a 40-pixel block of the inverse grey.
QImage makeScrollTestPicture();
// 300 × 200: black at alpha 0.3 with an opaque white 220 × 120 rectangle at (40, 50).
QImage makeShadowTestPicture();

} // namespace vantrel
