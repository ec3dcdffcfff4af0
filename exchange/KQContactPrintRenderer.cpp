#include "exchange/KQContactPrintRenderer.h"

#include "platform/KQLog.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextOption>

bool KQContactPrintRenderer::renderText(const QString& text, QPagedPaintDevice* device)
{
    if (!device)
        return false;
    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    // No ligatures: "fi" stays two letters, so text copied or extracted from the pages reads
    // as it was typed (any letter spacing turns shaping ligatures off).
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.01);
    document.setDefaultFont(font);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    // CR LF is the record text's line end; the layout wants one break per line.
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    document.setPlainText(plain);
    document.setDocumentMargin(0);
    document.print(device);
    return true;
}

bool KQContactPrintRenderer::printToPdf(const QString& text, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("cannot create %1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("Address Book Contacts"));
        writer.setCreator(QStringLiteral("Peoplekeeper"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 18, 18, 18),
                                         QPageLayout::Millimeter));
        writer.setResolution(300);
        renderText(text, &writer);
    }
    if (!file.flush() || file.error() != QFileDevice::NoError || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        KQLog(QStringLiteral("error: cannot write %1").arg(path));
        return false;
    }
    return true;
}
