#pragma once
// Reading a picture file chosen for a contact: the size limit first (a large file is never read),
// then the read itself, then whether the data is a picture. A refusal names its reason in the text
// the windows show under "Can not add this image.".

#include <QByteArray>
#include <QString>
#include <optional>

class QWidget;

namespace KQContactImageFile {
// The file's data, or none with the informative text of the refusal.
std::optional<QByteArray> read(const QString& path, QString* refusal);
// read(), showing the refusal as an alert on window.
std::optional<QByteArray> readOrAlert(const QString& path, QWidget* window);
QString refusedMessage();
} // namespace KQContactImageFile
