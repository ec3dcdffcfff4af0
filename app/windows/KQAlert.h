#pragma once
// The windows' alerts: a message, an informative text and buttons, window-modal on a window and
// never blocking the event loop (open(), not exec()), so that background jobs keep reporting and
// tests can read and answer them. Every alert carries the object name "alert".

#include <QMessageBox>
#include <functional>

namespace KQAlert {
// Shows the alert; answer receives the button pressed (or QMessageBox::NoButton when closed).
QMessageBox* show(QWidget* parent, const QString& message, const QString& informative,
                  QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                  std::function<void(QMessageBox::StandardButton)> answer = {});
} // namespace KQAlert
