#include "app/windows/KQPrintExport.h"

#include "exchange/KQContactPrintRenderer.h"
#include "exchange/KQImportExportMgr.h"

#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

bool KQPrintExport::printContacts(QWidget* parent, const KQContactHelperList& contacts, bool isDefaultFields)
{
    QPointer<QWidget> window(parent);
    return KQImportExportMgr::sharedImportExportMgr()->printContacts(
        contacts, isDefaultFields, [window](const QString& text) { presentPrintDialog(window.data(), text); });
}

bool KQPrintExport::presentPrintDialog(QWidget* parent, const QString& text)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Address Book Contacts"));
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return KQContactPrintRenderer::renderText(text, &printer);
}
