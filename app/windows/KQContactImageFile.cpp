#include "app/windows/KQContactImageFile.h"

#include "app/windows/KQAlert.h"
#include "model/KQContactHelper.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("KQContactImageFile", text);
}

} // namespace

QString KQContactImageFile::refusedMessage()
{
    return tr("Can not add this image.");
}

std::optional<QByteArray> KQContactImageFile::read(const QString& path, QString* refusal)
{
    QFile file(path);
    const auto tooLarge = [&] {
        *refusal = tr("The image is tool large, it should not over than %1 MB.")
                       .arg(static_cast<double>(KQContactHelper::maxIconDataBytes) / 1000000.0, 0, 'f', 2);
        return std::nullopt;
    };
    if (file.exists() && file.size() > KQContactHelper::maxIconDataBytes)
        return tooLarge();
    if (!file.open(QIODevice::ReadOnly)) {
        *refusal = tr("The file \"%1\" could not be read: it may have been moved or deleted.").arg(path);
        return std::nullopt;
    }
    // Read no more than one byte past the limit: a file that grew since the check is refused too.
    const QByteArray data = file.read(KQContactHelper::maxIconDataBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *refusal = tr("The file \"%1\" could not be read.").arg(path);
        return std::nullopt;
    }
    if (data.size() > KQContactHelper::maxIconDataBytes)
        return tooLarge();
    if (QImage::fromData(data).isNull()) {
        *refusal = tr("The file \"%1\" is not a picture this program can show.").arg(path);
        return std::nullopt;
    }
    return data;
}

std::optional<QByteArray> KQContactImageFile::readOrAlert(const QString& path, QWidget* window)
{
    QString refusal;
    std::optional<QByteArray> data = read(path, &refusal);
    if (!data)
        KQAlert::show(window, refusedMessage(), refusal);
    return data;
}
