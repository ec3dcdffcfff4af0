#pragma once
// The general panel: the picture, the name and job fields, the nickname, and the call, message,
// e-mail and video-call buttons. Outside edit mode it shows the composed name and job lines.

#include "app/windows/KQContactPropertyViewCtrl.h"

class QToolButton;

class KQContactPropertyGeneralViewCtrl : public KQContactPropertyViewCtrl
{
    Q_OBJECT
public:
    explicit KQContactPropertyGeneralViewCtrl(QWidget* parent);
    QString localizedCategoryName() const override { return tr("General"); }

    // The image button: an open panel for the record's picture formats.
    void chooseImage();
    // Reads path as the contact's picture. A file over the size limit, one that cannot be read or
    // one that is no picture is refused with an alert and changes nothing; true when taken.
    bool loadImageFile(const QString& path);

protected:
    void buildRows(QVBoxLayout* body) override;

private:
    void addActionButtons(class QHBoxLayout* line);
    void runAction(QToolButton* button, const QStringList& names, const std::function<void(const QString&)>& act);
};
