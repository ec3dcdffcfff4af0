#include "app/windows/KQAlert.h"

#include <QPushButton>

QMessageBox* KQAlert::show(QWidget* parent, const QString& message, const QString& informative,
                           QMessageBox::StandardButtons buttons,
                           std::function<void(QMessageBox::StandardButton)> answer)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("alert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setText(message);
    box->setInformativeText(informative);
    box->setStandardButtons(buttons);
    // The texts the program shows, not the style's translations.
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->setText(QMessageBox::tr("OK"));
    if (QAbstractButton* cancel = box->button(QMessageBox::Cancel))
        cancel->setText(QMessageBox::tr("Cancel"));
    if (parent != nullptr)
        box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, answer](int) {
        if (answer) {
            QAbstractButton* clicked = box->clickedButton();
            answer(clicked ? box->standardButton(clicked) : QMessageBox::NoButton);
        }
    });
    box->open();
    return box;
}
