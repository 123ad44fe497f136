// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace vantrel {

// What one recognition found: the text's lines joined with "\n" in reading order (empty when
// there is none), and the text payload of every barcode in detection order.
struct RecognitionResult
{
    QString text;
    QStringList codes;
};

// The clipboard text of a result. With codes: the text, an empty line and the codes one per
// line when the text has at least 4 characters, else the first code alone. Without: the text.
QString composeRecognizedContent(const RecognitionResult& result);

// Clipboard text as a toast shows it: line feeds as spaces; 49 characters or more are cut to
// the first 48 followed by "…" (characters as the user sees them: an emoji is one).
QString recognitionPreview(const QString& content);

// "Capture Text": reads the text and barcodes of `image` off the UI thread and puts what it
// found on the clipboard, saying so in a toast ("Copied text: …", "Copied QR: …", or "No text
// found", which leaves the clipboard as it was). `scale` is the picture's pixels per point.
// Web links read from a code are logged, never opened. Nothing is saved or kept in the
// history. Main thread only; returns at once, and several may run at the same time.
void recognizeText(const QImage& image, double scale = 1.0);

// Recognitions started and not yet finished (their toast not yet shown).
int runningTextRecognitions();

} // namespace vantrel
