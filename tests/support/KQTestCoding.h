#pragma once
// Test double: an archivable object that writes what a test gives it, under the class names it
// gives, so that tests can make archives with wrong types or foreign classes.

#include "platform/KQKeyedArchiver.h"

#include <functional>

class KQTestFreeObject : public KQCoding
{
public:
    using Body = std::function<void(KQKeyedArchiver&)>;

    KQTestFreeObject(QStringList classes, Body body) : m_classes(std::move(classes)), m_body(std::move(body)) {}
    QStringList archiveClassNames() const override { return m_classes; }
    void encodeWithCoder(KQKeyedArchiver& coder) const override { m_body(coder); }

private:
    QStringList m_classes;
    Body m_body;
};
