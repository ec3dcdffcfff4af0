#include "exchange/KQContactHtmlSerialization.h"

#include "exchange/packages/KQXmlText.h"
#include "platform/KQLog.h"

#include <QSaveFile>

namespace {

constexpr qsizetype kFlushSize = 1 << 20;

} // namespace

KQContactHtmlSerialization::KQContactHtmlSerialization() = default;
KQContactHtmlSerialization::~KQContactHtmlSerialization() = default;

void KQContactHtmlSerialization::failWith(const QString& error)
{
    KQLog(QStringLiteral("error: ") + error);
    if (errorString().isEmpty())
        setErrorString(error);
    if (m_file)
        m_file->cancelWriting();
    m_file.reset();
}

void KQContactHtmlSerialization::flushBuffer(bool force)
{
    if (!m_file || (!force && m_buffer.size() < kFlushSize))
        return;
    if (m_file->write(m_buffer) != m_buffer.size())
        failWith(QStringLiteral("cannot write %1: %2").arg(exportFilePath(), m_file->errorString()));
    m_buffer.clear();
}

void KQContactHtmlSerialization::beginExport()
{
    m_buffer.clear();
    m_file = std::make_unique<QSaveFile>(exportFilePath());
    if (!m_file->open(QIODevice::WriteOnly)) {
        failWith(QStringLiteral("cannot create %1: %2").arg(exportFilePath(), m_file->errorString()));
        return;
    }
    m_buffer.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
                    "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
                    "  <head>\n"
                    "    <meta http-equiv=\"Content-Type\" content=\"text/html\" charset=\"utf-8\"/>\n"
                    "    <title>Address Book Contacts</title>\n"
                    "  </head>\n"
                    "  <body bgcolor=\"#FFFFFF\">\n"
                    "    <table cellspacing=\"0\" border=\"1\">\n");
}

void KQContactHtmlSerialization::addCell(const QString& text)
{
    if (!m_file)
        return;
    m_buffer.append("        <td>");
    KQXmlText::appendEscaped(m_buffer, text);
    m_buffer.append("</td>\n");
}

void KQContactHtmlSerialization::beginSetTableHeader()
{
    if (m_file)
        m_buffer.append("      <tr>\n");
}

void KQContactHtmlSerialization::addTableHeaderItemWithTitle(const QString& title)
{
    addCell(title);
}

void KQContactHtmlSerialization::endSetTableHeader()
{
    endAddRow();
}

void KQContactHtmlSerialization::beginAddRow()
{
    beginSetTableHeader();
}

void KQContactHtmlSerialization::addRowItemWithTitle(const QString& title)
{
    addCell(title);
}

void KQContactHtmlSerialization::endAddRow()
{
    if (!m_file)
        return;
    m_buffer.append("      </tr>\n");
    flushBuffer(false);
}

void KQContactHtmlSerialization::endExport()
{
    if (!m_file)
        return;
    m_buffer.append("    </table>\n  </body>\n</html>\n");
    flushBuffer(true);
    if (!m_file)
        return;
    if (!m_file->flush() || m_file->error() != QFileDevice::NoError || !m_file->commit()) {
        failWith(QStringLiteral("cannot write %1: %2").arg(exportFilePath(), m_file->errorString()));
        return;
    }
    m_file.reset();
}
