#pragma once
// The program's notification centre: named notifications with a sender and optional details.
// Observers are called on the thread that posts, in the order they were added.

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

struct KQNotification
{
    QString name;
    const void* object = nullptr; // the sender, compared by identity only
    QVariantMap userInfo;
};

class KQNotificationCenter : public QObject
{
    Q_OBJECT
public:
    static KQNotificationCenter* defaultCenter();

    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

    // Calls handler for every notification with this name (and, when object is given, this sender)
    // until context is destroyed or the returned connection is disconnected.
    QMetaObject::Connection addObserver(const QString& name, const QObject* context,
                                        std::function<void(const KQNotification&)> handler,
                                        const void* object = nullptr);

Q_SIGNALS:
    void posted(const KQNotification& notification);
};
