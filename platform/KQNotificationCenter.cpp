#include "platform/KQNotificationCenter.h"

KQNotificationCenter* KQNotificationCenter::defaultCenter()
{
    static KQNotificationCenter* center = new KQNotificationCenter;
    return center;
}

void KQNotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    Q_EMIT posted(KQNotification{name, object, userInfo});
}

QMetaObject::Connection KQNotificationCenter::addObserver(const QString& name, const QObject* context,
                                                          std::function<void(const KQNotification&)> handler,
                                                          const void* object)
{
    return connect(
        this, &KQNotificationCenter::posted, context,
        [name, object, handler = std::move(handler)](const KQNotification& n) {
            if (n.name == name && (object == nullptr || n.object == object))
                handler(n);
        },
        Qt::DirectConnection);
}
