#pragma once
// The popover that explains what a merge does, shown next to the compare view's information
// button. One per process; it closes on a click elsewhere or Escape, like any popup.

#include <QCoreApplication>
#include <QFrame>
#include <QPointer>

class QLabel;

class KQMergeInfoViewCtrl : public QFrame
{
    Q_DECLARE_TR_FUNCTIONS(KQMergeInfoViewCtrl)
public:
    static KQMergeInfoViewCtrl* sharedMergeInfoViewCtrl();

    // Shows the popover below anchor, kept on anchor's screen.
    void showRelativeToWidget(QWidget* anchor);
    QString text() const;

private:
    KQMergeInfoViewCtrl();

    QLabel* m_text = nullptr;
};
