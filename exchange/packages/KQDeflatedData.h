#pragma once
// One zip entry's data already deflated (raw deflate, no zlib header), with what the archive's
// directory needs to know about it.

#include <QByteArray>
#include <QtGlobal>

struct KQDeflatedData
{
    QByteArray compressed;
    quint32 crc = 0;
    quint64 size = 0; // uncompressed
    bool ok = false;
};
