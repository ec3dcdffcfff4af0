#include "exchange/KQContactCSVSerialization.h"

#include "exchange/KQContactFormat.h"
#include "platform/KQLog.h"

#include <QSaveFile>
#include <QStringEncoder>

void KQContactCSVSerialization::beginExport()
{
    KQLog(QStringLiteral("info: csv begin Export"));
    m_exportString.clear();
}

void KQContactCSVSerialization::resetOutLookLabel()
{
    m_outLookEmailLabels = {QStringLiteral("E-mail Address"), QStringLiteral("E-mail 2 Address"),
                            QStringLiteral("E-mail 3 Address")};
}

void KQContactCSVSerialization::beginSetTableHeader()
{
    m_tempIsFirstItem = true;
    if (formatType() == KQContactFormat::CSVOutlook)
        resetOutLookLabel();
}

QString KQContactCSVSerialization::standOutLookEmailLabel(const QString& title)
{
    if (m_outLookEmailLabels.empty())
        return title;
    QString renamed = m_outLookEmailLabels.front();
    m_outLookEmailLabels.pop_front();
    return renamed;
}

QString KQContactCSVSerialization::standOutLookAddressLabel(const QString& title)
{
    QString renamed = title;
    renamed.replace(QStringLiteral("Country"), QStringLiteral("Country/Region"));
    return renamed;
}

QString KQContactCSVSerialization::standOutLookLabel(const QString& title)
{
    if (curenPropertytKey() == CNContactEmailAddressesKey)
        return standOutLookEmailLabel(title);
    if (curenPropertytKey() == CNContactPostalAddressesKey)
        return standOutLookAddressLabel(title);
    return title;
}

void KQContactCSVSerialization::appendItem(const QString& text)
{
    if (!m_tempIsFirstItem)
        m_exportString.append(',');
    m_tempIsFirstItem = false;
    // Quote characters inside a value are written as they are.
    // Encoded straight into the file's buffer: no temporary per cell.
    const qsizetype start = m_exportString.size();
    m_exportString.resize(start + 2 + text.size() * 3);
    char* out = m_exportString.data() + start;
    *out++ = '"';
    QStringEncoder encoder(QStringEncoder::Utf8);
    out = encoder.appendToBuffer(out, text);
    *out++ = '"';
    m_exportString.truncate(out - m_exportString.constData());
}

void KQContactCSVSerialization::addTableHeaderItemWithTitle(const QString& title)
{
    appendItem(formatType() == KQContactFormat::CSVOutlook ? standOutLookLabel(title) : title);
}

void KQContactCSVSerialization::endSetTableHeader()
{
    m_exportString.append('\n');
}

void KQContactCSVSerialization::beginAddRow()
{
    m_tempIsFirstItem = true;
}

void KQContactCSVSerialization::addRowItemWithTitle(const QString& title)
{
    appendItem(title);
}

void KQContactCSVSerialization::endAddRow()
{
    m_exportString.append('\n');
}

void KQContactCSVSerialization::endExport()
{
    // Written whole or not at all: an existing file is replaced only when everything was written.
    QSaveFile file(exportFilePath());
    if (!file.open(QIODevice::WriteOnly)) {
        setErrorString(QStringLiteral("cannot create %1: %2").arg(exportFilePath(), file.errorString()));
        KQLog(errorString());
        return;
    }
    static const char bom[] = "\xEF\xBB\xBF";
    if (file.write(bom, 3) != 3 || file.write(m_exportString) != m_exportString.size() || !file.flush() ||
        file.error() != QFileDevice::NoError || !file.commit()) {
        setErrorString(QStringLiteral("cannot write %1: %2").arg(exportFilePath(), file.errorString()));
        KQLog(errorString());
        file.cancelWriting();
    }
    m_exportString.clear();
}
