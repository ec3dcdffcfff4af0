#pragma once
// One of the program's own labels for contacts; the contact store knows nothing of tags.

#include "platform/KQKeyedArchiver.h"

#include <QObject>
#include <QString>
#include <memory>

class KQTag;
using KQTagPtr = std::shared_ptr<KQTag>;

class KQTag : public QObject, public KQCoding
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(bool selected READ selected WRITE setSelected NOTIFY selectedChanged)
public:
    // A tag made without a name is called "unname tag".
    KQTag();
    explicit KQTag(const QString& name);
    static KQTagPtr create(const QString& name) { return std::make_shared<KQTag>(name); }

    QString name() const { return m_name; }
    void setName(const QString& name);
    // The sidebar's selection mark.
    bool selected() const { return m_selected; }
    void setSelected(bool selected);

    // Equal names (exact). Everywhere else tags are matched by identity, not by name.
    bool isEqualTo(const KQTag* other) const { return other != nullptr && other->m_name == m_name; }

    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static void registerArchiveClass();

Q_SIGNALS:
    void nameChanged();
    void selectedChanged();

private:
    QString m_name;
    bool m_selected = false;
};
