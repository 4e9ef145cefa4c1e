#include "controls/pick/MultiSelectWindow.h"
#include "controls/DialogTitle.h"
#include "data/TDataSet.h"
#include "controls/pick/MultiSelectModel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

MultiSelectWindow::MultiSelectWindow(QWidget *parent, const QString &title, MultiSelectModel *model)
    : QDialog(parent), m_model(model)
{
    setObjectName(QStringLiteral("MultiSelectDialog"));
    setWindowTitle(title);
    model->setParent(this);

    const int listWidth = buildList();
    QLayout *marks = buildMarkButtons();
    QLayout *bottom = buildCloseButtons();
    connectList();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(dialogTitle(title, this));
    layout->addWidget(m_edtPesquisa);
    layout->addWidget(m_grdLista, 1);
    layout->addLayout(marks);
    layout->addLayout(bottom);

    resize(qBound(460, listWidth + 60, 1000), 480);
    updateCount();
    // The search's folded texts are made a slice at a time while the list is on screen.
    auto *prepare = new QTimer(this);
    connect(prepare, &QTimer::timeout, this, [this, prepare] {
        if (!m_model->prepareSearch(2000))
            prepare->stop();
    });
    prepare->start(0);
    if (m_model->rowCount() > 0)
        m_grdLista->setCurrentIndex(m_model->index(0, 0));
    m_grdLista->setFocus();
}

int MultiSelectWindow::buildList()
{
    m_edtPesquisa = new QLineEdit(this);
    m_edtPesquisa->setObjectName(QStringLiteral("edtPesquisa"));
    m_edtPesquisa->setPlaceholderText(QStringLiteral("Pesquisar (parte do código ou do nome)"));
    m_edtPesquisa->setClearButtonEnabled(true);
    m_edtPesquisa->installEventFilter(this);

    m_grdLista = new QTreeView(this);
    m_grdLista->setObjectName(QStringLiteral("grdLista"));
    m_grdLista->setRootIsDecorated(false);
    m_grdLista->setUniformRowHeights(true);
    m_grdLista->setItemsExpandable(false);
    m_grdLista->setAllColumnsShowFocus(true);
    m_grdLista->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grdLista->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdLista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdLista->setAlternatingRowColors(true);
    m_grdLista->setModel(m_model);
    m_grdLista->header()->setStretchLastSection(true);
    m_grdLista->header()->setSectionsClickable(false);
    m_grdLista->installEventFilter(this);

    // Widths from the fields' sizes, never from the contents (that would read every row).
    const int charWidth = fontMetrics().averageCharWidth();
    m_grdLista->setColumnWidth(
        0, 28 + (m_model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString().size() * charWidth));
    int total = m_grdLista->columnWidth(0);
    const QVector<TField *> fields = m_model->shownFields();
    for (int i = 0; i < fields.size(); ++i) {
        // The column title counts too: a title padded with blanks asks for a wider column.
        const int chars = std::max<int>(int(fields.at(i)->label().size()) + 1,
                                        fields.at(i)->DisplayWidth > 0 ? fields.at(i)->DisplayWidth
                                        : fields.at(i)->Size > 0       ? fields.at(i)->Size
                                                                       : 15);
        const int width = qBound(50, chars * charWidth + 16, 380);
        m_grdLista->setColumnWidth(i + 1, width);
        total += width;
    }
    return total;
}

QLayout *MultiSelectWindow::buildMarkButtons()
{
    auto *btnMarcarTodos = m_btnMarcarTodos = new QPushButton(QStringLiteral("Marcar todos"), this);
    btnMarcarTodos->setObjectName(QStringLiteral("btnMarcarTodos"));
    auto *btnDesmarcarTodos = new QPushButton(QStringLiteral("Desmarcar todos"), this);
    btnDesmarcarTodos->setObjectName(QStringLiteral("btnDesmarcarTodos"));
    m_lblMarcados = new QLabel(this);
    m_lblMarcados->setObjectName(QStringLiteral("lblMarcados"));
    for (QPushButton *b : {btnMarcarTodos, btnDesmarcarTodos})
        b->setFocusPolicy(Qt::NoFocus);
    // Marking follows the search (mark what was found); unmarking starts the choice over,
    // as its name says, hidden rows included: a clerk who clears the list and confirms a
    // new pick must not carry marks that the search happens to hide.
    connect(btnMarcarTodos, &QPushButton::clicked, this, [this] { m_model->setAllMarked(true); });
    connect(btnDesmarcarTodos, &QPushButton::clicked, this, [this] { m_model->clearMarks(); });

    auto *marks = new QHBoxLayout;
    marks->addWidget(btnMarcarTodos);
    marks->addWidget(btnDesmarcarTodos);
    marks->addStretch(1);
    marks->addWidget(m_lblMarcados);
    return marks;
}

QLayout *MultiSelectWindow::buildCloseButtons()
{
    auto *btnConfirmar = m_btnConfirmar = new QPushButton(QStringLiteral("Confirmar"), this);
    btnConfirmar->setObjectName(QStringLiteral("btnConfirmar"));
    btnConfirmar->setDefault(true);
    auto *btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    btnCancelar->setObjectName(QStringLiteral("btnCancelar"));
    for (QPushButton *b : {btnConfirmar, btnCancelar})
        b->setFocusPolicy(Qt::NoFocus);
    connect(btnConfirmar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnConfirmar);
    bottom->addWidget(btnCancelar);
    return bottom;
}

void MultiSelectWindow::connectList()
{
    connect(m_model, &MultiSelectModel::marksChanged, this, &MultiSelectWindow::updateCount);
    connect(m_grdLista, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.column() == 0)
            m_model->toggle({index.row()});
    });
    connect(m_grdLista, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.column() != 0)
            m_model->toggle({index.row()});
    });
    connect(m_edtPesquisa, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_model->setFilter(text);
        if (m_model->rowCount() > 0)
            m_grdLista->setCurrentIndex(m_model->index(0, 0));
        m_btnMarcarTodos->setText(text.trimmed().isEmpty() ? QStringLiteral("Marcar todos")
                                                           : QStringLiteral("Marcar os listados"));
        updateCount();
    });
}

QVector<int> MultiSelectWindow::selectedRows() const
{
    QVector<int> rows;
    for (const QModelIndex &index : m_grdLista->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty() && m_grdLista->currentIndex().isValid())
        rows << m_grdLista->currentIndex().row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MultiSelectWindow::updateCount()
{
    const int n = m_model->markedCount();
    m_btnConfirmar->setEnabled(n > 0);
    QString text = n == 1 ? QStringLiteral("1 marcado") : QStringLiteral("%1 marcados").arg(n);
    // Marks the search hides still count: the person sees they are there.
    if (const int hidden = m_model->hiddenMarkedCount(); hidden > 0)
        text += QStringLiteral(" (%1 fora da pesquisa)").arg(hidden);
    m_lblMarcados->setText(text);
}

bool MultiSelectWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_grdLista) {
        if (key->key() == Qt::Key_Space && !(key->modifiers() & Qt::ControlModifier)) {
            m_model->toggle(selectedRows());
            return true;
        }
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            // Typing on the list goes on in the search box.
            m_edtPesquisa->setFocus();
            QApplication::sendEvent(m_edtPesquisa, event);
            return true;
        }
    } else if (watched == m_edtPesquisa && (key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown)) {
        m_grdLista->setFocus();
        QApplication::sendEvent(m_grdLista, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
