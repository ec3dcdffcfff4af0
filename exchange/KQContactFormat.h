#pragma once
// One export or import file format and the options chosen for an export: which fields, whether
// the name is split into its parts and whether each postal address is one merged cell. Format
// type numbers are stored and compared; their names are shown to the user and looked up both ways.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

class KQContactFormat;
using KQContactFormatPtr = std::shared_ptr<KQContactFormat>;

class KQContactFormat : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int type READ type CONSTANT)
    Q_PROPERTY(bool splitContactName READ splitContactName WRITE setSplitContactName NOTIFY splitContactNameChanged)
    Q_PROPERTY(bool mergeAddress READ mergeAddress WRITE setMergeAddress NOTIFY mergeAddressChanged)
    Q_PROPERTY(int contactFields READ contactFields WRITE setContactFields NOTIFY contactFieldsChanged)
    Q_PROPERTY(QString contactFieldsName READ contactFieldsName WRITE setContactFieldsName NOTIFY contactFieldsChanged)
    Q_PROPERTY(bool customContactFields READ customContactFields NOTIFY contactFieldsChanged)
    Q_PROPERTY(bool canSplitContactName READ canSplitContactName NOTIFY contactFieldsChanged)
public:
    enum Type : qint32
    {
        VCard = 1,
        CSV = 2,
        CSVOutlook = 3,
        Docx = 4,
        Excel = 5,
        Numbers = 6,
        Pages = 7,
        TXT = 8,
        HTML = 9
    };
    enum Fields : qint32
    {
        AllFields = 0,
        ValidFields = 1,
        CustomFields = 2
    };

    explicit KQContactFormat(qint32 type = 0);
    // The format named name (type 0, "unknown", for a name that is no format's).
    static KQContactFormatPtr initWithName(const QString& name);
    static KQContactFormatPtr contactFormatWithType(qint32 type) { return std::make_shared<KQContactFormat>(type); }
    // A copy of every option, for a job that changes them on its own thread.
    KQContactFormatPtr copy() const;

    qint32 type() const { return m_type; }
    bool splitContactName() const { return m_splitContactName; }
    void setSplitContactName(bool split);
    bool mergeAddress() const { return m_mergeAddress; }
    void setMergeAddress(bool merge);
    qint32 contactFields() const { return m_contactFields; }
    void setContactFields(qint32 fields);

    QString name() const { return nameWithFormatType(m_type); }
    QString longName() const { return QStringLiteral("unknown"); }
    QStringList extensions() const { return extensionsWithFormatType(m_type); }
    // No split for custom fields, for CSV(Outlook) (always split) and for vCard.
    bool canSplitContactName() const;
    bool canMergeAddress() const { return true; }
    bool canChooseContactFields() const { return m_type != VCard; }
    bool customContactFields() const { return m_contactFields == CustomFields; }
    QString contactFieldsName() const;
    // Ignores any text that is no field choice's name.
    void setContactFieldsName(const QString& name);
    static QStringList availableContactFieldNames();

    static QString nameWithFormatType(qint32 type);
    static QStringList extensionsWithFormatType(qint32 type);
    // 0 when no format has that exact name.
    static qint32 formatTypeWithName(const QString& name);
    // The first format whose extensions hold the file's lower-cased extension; 0 when none.
    static qint32 contactFormatTypeFromURL(const QUrl& url);
    static qint32 contactFormatTypeFromPath(const QString& path);
    static QStringList availableFormatNames();

Q_SIGNALS:
    void splitContactNameChanged();
    void mergeAddressChanged();
    void contactFieldsChanged();

private:
    qint32 m_type = 0;
    bool m_splitContactName = false;
    bool m_mergeAddress = false;
    qint32 m_contactFields = ValidFields;
};
