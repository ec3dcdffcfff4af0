#pragma once
// The export options: the format, which fields (all, those in use, or the custom list of the
// preferences), whether names are split into their parts and each address is one cell.

#include "exchange/KQContactFormat.h"

#include <QDialog>

class QCheckBox;
class QComboBox;

class KQExportOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    KQExportOptionsDialog(const QList<qint32>& formats, int contactCount, QWidget* parent = nullptr);

    // The chosen format with its options.
    KQContactFormatPtr contactFormat() const;
    void setFormatType(qint32 type);

private:
    void formatChanged();

    QComboBox* m_format;
    QComboBox* m_fields;
    QCheckBox* m_split;
    QCheckBox* m_merge;
};
