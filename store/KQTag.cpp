#include "store/KQTag.h"

#include "platform/KQKeyedArchiver.h"

KQTag::KQTag() : m_name(QStringLiteral("unname tag")) {}

KQTag::KQTag(const QString& name) : m_name(name) {}

void KQTag::setName(const QString& name)
{
    if (name == m_name)
        return;
    m_name = name;
    Q_EMIT nameChanged();
}

void KQTag::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    Q_EMIT selectedChanged();
}

QStringList KQTag::archiveClassNames() const
{
    return {QStringLiteral("KQTag"), QStringLiteral("NSObject")};
}

void KQTag::encodeWithCoder(KQKeyedArchiver& coder) const
{
    coder.encodeString(m_name, QStringLiteral("name"));
    coder.encodeBool(m_selected, QStringLiteral("selected"));
}

void KQTag::registerArchiveClass()
{
    KQRegisterArchiveClass(QStringLiteral("KQTag"), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
        auto tag = std::make_shared<KQTag>(coder.decodeString(QStringLiteral("name")).value_or(QString()));
        tag->m_selected = coder.decodeBool(QStringLiteral("selected"));
        return tag;
    });
}
