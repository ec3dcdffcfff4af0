#pragma once
// The column-to-field map of a CSV import as a model: one item per file column with the property
// key it goes to. The main window shows it in its own window; peoplekeeper-cli answers it from a
// map file. runModalWithField() asks the presenter (the window, or nothing) for the user's choice.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class KQFieldMapItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString field READ field CONSTANT)
    Q_PROPERTY(QString propertyKey READ propertyKey WRITE setPropertyKey NOTIFY propertyKeyChanged)
    Q_PROPERTY(QString labelPropertyKey READ labelPropertyKey WRITE setLabelPropertyKey NOTIFY propertyKeyChanged)
public:
    KQFieldMapItem(QString field, QString propertyKey);

    const QString& field() const { return m_field; }
    const QString& propertyKey() const { return m_propertyKey; }
    void setPropertyKey(const QString& key);
    // "Don't import", "Tags" or the key's display name.
    QString labelPropertyKey() const;
    // The first offered key whose text equals text, else "unknown column".
    void setLabelPropertyKey(const QString& text);

    // The keys a column may go to, in the order offered, and their texts.
    static const QStringList& availablePropertyKeys();
    static QStringList labelPropertyKeys();
    static QString labelForPropertyKey(const QString& key);

Q_SIGNALS:
    void propertyKeyChanged();

private:
    QString m_field;
    QString m_propertyKey;
};

using KQFieldMapItemPtr = std::shared_ptr<KQFieldMapItem>;

class KQFieldMapWndCtrl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString fieldsTitle READ fieldsTitle WRITE setFieldsTitle NOTIFY fieldsTitleChanged)
public:
    // Shows the items and answers true when the user confirmed, false when the window was closed.
    using Presenter = std::function<bool(KQFieldMapWndCtrl&)>;

    static KQFieldMapWndCtrl* shared();
    KQFieldMapWndCtrl();

    // One row per title with its proposed key; the answer is the rows' keys in row order, or an
    // empty list when the user closed the window. Without a presenter the proposal is confirmed.
    QStringList runModalWithField(const QStringList& titles, const QStringList& propertyKeys);
    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

    const QString& fieldsTitle() const { return m_fieldsTitle; }
    void setFieldsTitle(const QString& title);

    // --- observable item list
    const std::vector<KQFieldMapItemPtr>& fieldMapItems() const { return m_items; }
    int countOfFieldMapItems() const { return static_cast<int>(m_items.size()); }
    KQFieldMapItemPtr objectInFieldMapItemsAtIndex(int index) const;
    void insertObjectInFieldMapItemsAtIndex(const KQFieldMapItemPtr& item, int index);
    void removeObjectFromFieldMapItemsAtIndex(int index);
    void removeAllFieldMapItems();
    QStringList propertyKeys() const;

Q_SIGNALS:
    void fieldsTitleChanged();
    void fieldMapItemsInserted(const QList<int>& indexes);
    void fieldMapItemsRemoved(const QList<int>& indexes);

private:
    QString m_fieldsTitle = QStringLiteral("Source");
    std::vector<KQFieldMapItemPtr> m_items;
    Presenter m_presenter;
};
