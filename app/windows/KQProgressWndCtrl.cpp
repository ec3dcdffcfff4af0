#include "app/windows/KQProgressWndCtrl.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
QPointer<KQProgressWndCtrl> s_shared;
}

KQProgressWndCtrl* KQProgressWndCtrl::sharedProgressWndCtrl()
{
    if (!s_shared)
        s_shared = new KQProgressWndCtrl;
    return s_shared;
}

KQProgressWndCtrl::KQProgressWndCtrl(QWidget* parent)
    : QDialog(parent), m_text(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(tr("Cancel"), this))
{
    setObjectName(QStringLiteral("progressSheet"));
    setWindowTitle(tr("Progress"));
    m_text->setObjectName(QStringLiteral("progressLabel"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    // Long file paths wrap rather than widening the sheet past its window.
    m_text->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setRange(0, 10000);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(tr("Progress"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    connect(m_cancel, &QPushButton::clicked, this, &KQProgressWndCtrl::cancelOperation);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    reset();
}

void KQProgressWndCtrl::setProgressLabel(const QString& label)
{
    m_label = label;
    refresh();
}

void KQProgressWndCtrl::setPercent(double percent)
{
    m_percent = std::isfinite(percent) ? std::clamp(percent, 0.0, 100.0) : 0.0;
    refresh();
}

QString KQProgressWndCtrl::displayLabel() const
{
    return QStringLiteral("%1(%2%)").arg(m_label, QString::number(m_percent, 'f', 2));
}

void KQProgressWndCtrl::setCancelled(bool cancelled)
{
    m_cancelled.store(cancelled, std::memory_order_release);
    m_cancel->setEnabled(!cancelled);
}

void KQProgressWndCtrl::setHideCancelButton(bool hide)
{
    m_hideCancel = hide;
    m_cancel->setVisible(!hide);
}

void KQProgressWndCtrl::reset(const QString& label)
{
    setCancelled(false);
    m_label = label.isEmpty() ? tr("Waiting...") : label;
    setPercent(0);
}

void KQProgressWndCtrl::beginSheetForWindow(QWidget* window)
{
    if (window && parentWidget() != window) {
        const Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        setParent(window, flags);
    }
    setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    adjustSize();
    if (window) {
        // Centred near the top of its window, where a sheet belongs.
        const QRect frame = window->frameGeometry();
        move(frame.center().x() - width() / 2, frame.top() + std::min(80, frame.height() / 6));
    }
    show();
    raise();
}

void KQProgressWndCtrl::endSheet()
{
    hide();
}

void KQProgressWndCtrl::postProgress(double percent, const QString& label)
{
    QPointer<KQProgressWndCtrl> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, percent, label] {
            if (!self)
                return;
            if (!label.isNull())
                self->m_label = label;
            self->setPercent(percent);
        },
        Qt::QueuedConnection);
}

void KQProgressWndCtrl::cancelOperation()
{
    setCancelled(true);
    Q_EMIT cancelRequested();
}

void KQProgressWndCtrl::reject()
{
    if (!m_hideCancel && m_cancel->isEnabled())
        cancelOperation();
}

void KQProgressWndCtrl::closeEvent(QCloseEvent* event)
{
    // The window manager's close button counts as Cancel; the job closes the sheet when it ends.
    event->ignore();
    reject();
}

void KQProgressWndCtrl::refresh()
{
    m_text->setText(displayLabel());
    m_bar->setValue(static_cast<int>(std::lround(m_percent * 100)));
}
