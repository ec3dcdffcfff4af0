#pragma once
// The print command of the main window: the contacts' printout goes through the orchestrator's
// print job (built on the background queue) and, back on the main thread, through the print
// dialog to the chosen printer.

#include "exchange/KQExportKeys.h"

class QWidget;

class KQPrintExport
{
public:
    // isDefaultFields prints name, phone and address; otherwise every field the contacts have.
    // Returns at once; the dialog appears when the text is ready.
    static bool printContacts(QWidget* parent, const KQContactHelperList& contacts, bool isDefaultFields);
    // Shows the print dialog for text and prints it when the user confirms; false when cancelled
    // or when the printer could not be painted on.
    static bool presentPrintDialog(QWidget* parent, const QString& text);
};
