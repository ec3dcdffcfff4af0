#include "app/windows/KQConflictCfgSheet.h"

#include "store/KQPreferences.h"

void KQConflictCfgSheet::prepareSheet(QWidget* window, std::function<void(bool)> handler)
{
    m_handler = std::move(handler);
    if (parentWidget() != window)
        setParent(window, windowFlags() | Qt::Sheet | Qt::Dialog);
    setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
}

void KQConflictCfgSheet::endSheet(int code)
{
    auto handler = std::move(m_handler);
    m_handler = nullptr;
    done(code);
    if (code == 1)
        KQPreferences::sharePreferences()->persistentConflictConfigs();
    if (handler)
        handler(code == 1);
}
