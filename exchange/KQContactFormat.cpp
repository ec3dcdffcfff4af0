#include "exchange/KQContactFormat.h"

#include <QFileInfo>
#include <iterator>

namespace {

struct FormatRow
{
    const char* name;
    const char* extensions[2];
};

constexpr FormatRow kFormats[] = {
    {"vCard", {"vcf", "vcard"}},   {"CSV", {"csv", nullptr}},    {"CSV(Outlook)", {"csv", nullptr}},
    {"Docx", {"docx", nullptr}},   {"Excel", {"xlsx", nullptr}}, {"Numbers", {"numbers", nullptr}},
    {"Pages", {"pages", nullptr}}, {"TXT", {"txt", nullptr}},    {"HTML", {"html", "htm"}},
};
constexpr qint32 kFormatCount = static_cast<qint32>(std::size(kFormats));

const FormatRow* row(qint32 type)
{
    return type >= 1 && type <= kFormatCount ? &kFormats[type - 1] : nullptr;
}

} // namespace

KQContactFormat::KQContactFormat(qint32 type) : m_type(type) {}

KQContactFormatPtr KQContactFormat::initWithName(const QString& name)
{
    return std::make_shared<KQContactFormat>(formatTypeWithName(name));
}

KQContactFormatPtr KQContactFormat::copy() const
{
    auto format = std::make_shared<KQContactFormat>(m_type);
    format->m_splitContactName = m_splitContactName;
    format->m_mergeAddress = m_mergeAddress;
    format->m_contactFields = m_contactFields;
    return format;
}

void KQContactFormat::setSplitContactName(bool split)
{
    if (split == m_splitContactName)
        return;
    m_splitContactName = split;
    Q_EMIT splitContactNameChanged();
}

void KQContactFormat::setMergeAddress(bool merge)
{
    if (merge == m_mergeAddress)
        return;
    m_mergeAddress = merge;
    Q_EMIT mergeAddressChanged();
}

void KQContactFormat::setContactFields(qint32 fields)
{
    if (fields == m_contactFields)
        return;
    m_contactFields = fields;
    Q_EMIT contactFieldsChanged();
}

bool KQContactFormat::canSplitContactName() const
{
    return !(m_contactFields == CustomFields || m_type == CSVOutlook || m_type == VCard);
}

QString KQContactFormat::contactFieldsName() const
{
    switch (m_contactFields) {
    case AllFields:
        return QStringLiteral("All Fields");
    case ValidFields:
        return QStringLiteral("Valid Fields");
    case CustomFields:
        return QStringLiteral("Custom Fields");
    default:
        return {};
    }
}

void KQContactFormat::setContactFieldsName(const QString& name)
{
    if (name == QLatin1String("All Fields"))
        setContactFields(AllFields);
    else if (name == QLatin1String("Custom Fields"))
        setContactFields(CustomFields);
    else if (name == QLatin1String("Valid Fields"))
        setContactFields(ValidFields);
}

QStringList KQContactFormat::availableContactFieldNames()
{
    return {QStringLiteral("All Fields"), QStringLiteral("Valid Fields"), QStringLiteral("Custom Fields")};
}

QString KQContactFormat::nameWithFormatType(qint32 type)
{
    const FormatRow* format = row(type);
    return format ? QString::fromLatin1(format->name) : QStringLiteral("unknown");
}

QStringList KQContactFormat::extensionsWithFormatType(qint32 type)
{
    QStringList extensions;
    if (const FormatRow* format = row(type))
        for (const char* extension : format->extensions)
            if (extension != nullptr)
                extensions.append(QString::fromLatin1(extension));
    return extensions;
}

qint32 KQContactFormat::formatTypeWithName(const QString& name)
{
    for (qint32 type = 1; type <= kFormatCount; ++type)
        if (name == QLatin1String(kFormats[type - 1].name))
            return type;
    return 0;
}

qint32 KQContactFormat::contactFormatTypeFromURL(const QUrl& url)
{
    return contactFormatTypeFromPath(url.isLocalFile() ? url.toLocalFile() : url.path());
}

qint32 KQContactFormat::contactFormatTypeFromPath(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    for (qint32 type = 1; type <= kFormatCount; ++type)
        if (extensionsWithFormatType(type).contains(extension))
            return type;
    return 0;
}

QStringList KQContactFormat::availableFormatNames()
{
    QStringList names;
    for (qint32 type = 1; type <= kFormatCount; ++type)
        names.append(nameWithFormatType(type));
    return names;
}
