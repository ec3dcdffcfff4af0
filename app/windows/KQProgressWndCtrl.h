#pragma once
// The progress sheet every long operation shows: a label, a percentage and Cancel, window-modal on
// the window that started the job. One shared instance; each operation resets it before showing it.
//
// The sheet never closes itself: the running job reads cancelled() (from any thread) and ends, and
// whoever started the job calls endSheet(). Setters belong to the main thread; a worker reports
// through postProgress(), which hops to the main thread.

#include <QDialog>
#include <QString>
#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;

class KQProgressWndCtrl : public QDialog
{
    Q_OBJECT
public:
    // Created on first use; made again if the window it was attached to was destroyed with it.
    static KQProgressWndCtrl* sharedProgressWndCtrl();

    QString progressLabel() const { return m_label; }
    void setProgressLabel(const QString& label);
    double percent() const { return m_percent; }
    void setPercent(double percent);
    // Always "label(percent%)" with two decimals, e.g. "Waiting...(0.00%)".
    QString displayLabel() const;

    bool cancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    void setCancelled(bool cancelled);
    bool hideCancelButton() const { return m_hideCancel; }
    void setHideCancelButton(bool hide);

    // Not cancelled, the label ("Waiting..." when empty), 0%.
    void reset(const QString& label = QString());
    // Shows the sheet window-modal on window (a null window: application-modal on its own).
    void beginSheetForWindow(QWidget* window);
    void endSheet();

    // Thread-safe: the label (when not null) and percent are applied on the main thread.
    void postProgress(double percent, const QString& label = QString());

public Q_SLOTS:
    // The Cancel button: only sets the flag; the job decides when it stops.
    void cancelOperation();

Q_SIGNALS:
    void cancelRequested();

protected:
    void reject() override; // Escape cancels like the button, but never closes the sheet
    void closeEvent(QCloseEvent* event) override;

private:
    explicit KQProgressWndCtrl(QWidget* parent = nullptr);
    void refresh();

    QLabel* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QString m_label;
    double m_percent = 0;
    bool m_hideCancel = false;
    std::atomic<bool> m_cancelled{false};
};
