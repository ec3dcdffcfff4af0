#pragma once
// The contact pane's default right-hand side: a read-only summary of the selected record (picture,
// names, phone numbers, e-mail and postal addresses, web pages, tags, note), or how many are
// selected. The full editor replaces it through KQContactsViewController::setDetailView.

#include "model/KQContactHelper.h"

#include <QWidget>
#include <vector>

class QLabel;
class QScrollArea;

class KQContactSummaryView : public QWidget
{
    Q_OBJECT
public:
    explicit KQContactSummaryView(QWidget* parent = nullptr);

    void setContactHelpers(const std::vector<KQContactHelperPtr>& contacts);
    const std::vector<KQContactHelperPtr>& contactHelpers() const { return m_contacts; }
    // The text shown, for tests and screen readers.
    QString summaryText() const;

private:
    void refresh();
    QString detailsHtml(KQContactHelper& contact) const;

    std::vector<KQContactHelperPtr> m_contacts;
    std::vector<QMetaObject::Connection> m_watch;
    QLabel* m_picture;
    QLabel* m_name;
    QLabel* m_subtitle;
    QLabel* m_details;
    QLabel* m_empty;
    QScrollArea* m_scroll;
};
