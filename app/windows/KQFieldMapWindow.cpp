#include "app/windows/KQFieldMapWindow.h"

#include "exchange/KQFieldMapWndCtrl.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

KQFieldMapWindow::KQFieldMapWindow(KQFieldMapWndCtrl& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller), m_table(new QTableWidget(this))
{
    setObjectName(QStringLiteral("fieldMapWindow"));
    setWindowTitle(QStringLiteral("Import CSV"));
    setWindowModality(Qt::ApplicationModal);
    m_table->setObjectName(QStringLiteral("fieldMapTable"));
    m_table->setAccessibleName(QStringLiteral("Columns and fields"));
    m_table->setColumnCount(2);
    m_table->setHorizontalHeaderLabels({controller.fieldsTitle(), QStringLiteral("Field")});
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QStringList labels = KQFieldMapItem::labelPropertyKeys();
    m_table->setRowCount(controller.countOfFieldMapItems());
    for (int row = 0; row < controller.countOfFieldMapItems(); ++row) {
        const KQFieldMapItemPtr item = controller.objectInFieldMapItemsAtIndex(row);
        m_table->setItem(row, 0, new QTableWidgetItem(item->field()));
        auto* choice = new QComboBox(m_table);
        choice->setObjectName(QStringLiteral("fieldChoice%1").arg(row));
        choice->setAccessibleName(QStringLiteral("Field for %1").arg(item->field()));
        choice->addItems(labels);
        choice->setCurrentText(item->labelPropertyKey());
        const std::weak_ptr<KQFieldMapItem> weak = item;
        connect(choice, &QComboBox::currentTextChanged, this, [weak](const QString& text) {
            if (auto target = weak.lock())
                target->setLabelPropertyKey(text);
        });
        m_table->setCellWidget(row, 1, choice);
    }
    auto* hint = new QLabel(QStringLiteral("Choose the field each column of the file goes to."), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("fieldMapButtons"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Import"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    resize(520, 480);
}

void KQFieldMapWindow::installPresenter(QWidget* parent)
{
    QPointer<QWidget> owner(parent);
    KQFieldMapWndCtrl::shared()->setPresenter([owner](KQFieldMapWndCtrl& controller) {
        KQFieldMapWindow window(controller, owner);
        return window.exec() == QDialog::Accepted;
    });
}
