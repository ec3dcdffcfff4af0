#pragma once
// Lays the printout's text out on pages and paints it onto a paged device (a printer chosen in the
// print dialog, or a PDF writer). Lines that do not fit the page width wrap; records keep their
// blank lines between them. Needs a GUI application object (fonts), and runs on the main thread.

#include <QString>

class QPagedPaintDevice;

class KQContactPrintRenderer
{
public:
    // False when the device could not be painted on.
    static bool renderText(const QString& text, QPagedPaintDevice* device);
    // Writes the printed pages as a PDF file, whole or not at all; error says why not.
    static bool printToPdf(const QString& text, const QString& path, QString* error = nullptr);
};
