#include "controls/lookup/LookupWindow.h"
#include "controls/DialogTitle.h"
#include "errors/ExceptionGuard.h"
#include "data/TDataSet.h"
#include "text/DelphiMask.h"
#include "controls/lookup/LookupModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

LookupWindow::LookupWindow(QWidget *parent, const QString &title, LookupModel *model, const QString &nameField,
                           bool byKey)
    : QDialog(parent), m_model(model), m_nameField(nameField)
{
    setObjectName(QStringLiteral("LookupDialog"));
    setWindowTitle(title.isEmpty() ? QStringLiteral("Pesquisa") : title);
    model->setParent(this);
    for (const auto &c : model->columns())
        if (c.name.compare(model->keyField(), Qt::CaseInsensitive) == 0)
            m_keyFieldDef = c.field;

    QLayout *top = buildSearchRow(byKey);
    const int listWidth = buildList();
    QLayout *bottom = buildBottomRow();
    QLabel *lblTitulo = dialogTitle(windowTitle(), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitulo);
    layout->addLayout(top);
    layout->addWidget(m_grdLista, 1);
    layout->addLayout(bottom);
    resize(qBound(420, listWidth + 60, 900), 440);
    // Tab goes from the search line to the Código/Nome switch, then to the list.
    setTabOrder(m_edtPesquisa, m_cbbCampo);
    setTabOrder(m_cbbCampo, m_grdLista);
    connectSearch();
}

QLayout *LookupWindow::buildSearchRow(bool byKey)
{
    auto *lblCampo = new QLabel(QStringLiteral("Pesquisar &por:"), this);
    m_cbbCampo = new QComboBox(this);
    lblCampo->setBuddy(m_cbbCampo);
    m_cbbCampo->setObjectName(QStringLiteral("cbbCampo"));
    m_cbbCampo->addItem(QStringLiteral("Código"));
    if (!m_nameField.isEmpty())
        m_cbbCampo->addItem(QStringLiteral("Nome"));
    m_cbbCampo->setCurrentIndex(byKey || m_nameField.isEmpty() ? 0 : 1);
    // Reached by Tab from the search line and by Alt+P.
    m_cbbCampo->setFocusPolicy(Qt::StrongFocus);

    m_edtPesquisa = new QLineEdit(this);
    m_edtPesquisa->setObjectName(QStringLiteral("edtPesquisa"));
    m_edtPesquisa->setPlaceholderText(QStringLiteral("Digite o início do código ou parte do nome"));
    m_edtPesquisa->installEventFilter(this);

    auto *top = new QHBoxLayout;
    top->addWidget(lblCampo);
    top->addWidget(m_cbbCampo);
    top->addWidget(m_edtPesquisa, 1);
    return top;
}

int LookupWindow::buildList()
{
    // A table, not a tree: a tree view reads one more page at every layout.
    m_grdLista = new QTableView(this);
    m_grdLista->setObjectName(QStringLiteral("grdLista"));
    m_grdLista->verticalHeader()->hide();
    m_grdLista->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grdLista->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_grdLista->setShowGrid(false);
    m_grdLista->setWordWrap(false);
    m_grdLista->setTabKeyNavigation(false);
    m_grdLista->setCornerButtonEnabled(false);
    m_grdLista->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grdLista->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdLista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdLista->setAlternatingRowColors(true);
    m_grdLista->setModel(m_model);
    m_grdLista->horizontalHeader()->setStretchLastSection(true);
    m_grdLista->horizontalHeader()->setSectionsClickable(false);
    m_grdLista->horizontalHeader()->setHighlightSections(false);
    m_grdLista->installEventFilter(this);

    const int charWidth = fontMetrics().averageCharWidth();
    int total = 0;
    for (int i = 0; i < m_model->columns().size(); ++i) {
        const int width = qBound(50, m_model->columns().at(i).chars * charWidth + 16, 420);
        m_grdLista->setColumnWidth(i, width);
        total += width;
    }
    return total;
}

QLayout *LookupWindow::buildBottomRow()
{
    m_lblVazio = new QLabel(QStringLiteral("Nenhum registro encontrado."), this);
    m_lblVazio->setObjectName(QStringLiteral("lblVazio"));
    m_lblVazio->hide();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("Selecionar"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnSelecionar"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    for (QPushButton *b : {ok, cancel})
        b->setFocusPolicy(Qt::NoFocus);
    connect(buttons, &QDialogButtonBox::accepted, this, &LookupWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LookupWindow::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_lblVazio, 1);
    bottom->addWidget(buttons);
    return bottom;
}

void LookupWindow::connectSearch()
{
    connect(m_edtPesquisa, &QLineEdit::textEdited, this, [this](const QString &text) {
        // A code starts with a digit: such a text always searches the code column.
        if (!text.isEmpty() && text.at(0).isDigit() && m_cbbCampo->currentIndex() != 0) {
            const QSignalBlocker block(m_cbbCampo);
            m_cbbCampo->setCurrentIndex(0);
        }
        guarded([this] { runSearch(); });
    });
    connect(m_cbbCampo, &QComboBox::currentIndexChanged, this, [this] {
        guarded([this] { runSearch(); });
        // Chosen with the mouse, the typing goes on in the search line; from the keyboard
        // the arrows keep choosing.
        if (!m_cbbCampo->hasFocus())
            m_edtPesquisa->setFocus();
    });
    connect(m_grdLista, &QAbstractItemView::doubleClicked, this, [this] { accept(); });
    // A search that ends a page early goes on as the list is shown: rows may come later.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        m_lblVazio->hide();
        if (!m_grdLista->currentIndex().isValid())
            selectRow(0);
    });
}

QString LookupWindow::searchField() const
{
    return m_cbbCampo->currentIndex() == 0 ? m_model->keyField() : m_nameField;
}

bool LookupWindow::nothingFound() const
{
    return m_model->rowCount() == 0 && !m_model->canFetchMore(QModelIndex());
}

void LookupWindow::runSearch()
{
    QString text = m_edtPesquisa->text();
    const bool byKey = searchField() == m_model->keyField();
    if (byKey && m_keyFieldDef && !m_keyFieldDef->EditMask.isEmpty())
        text = DelphiMask::parse(m_keyFieldDef->EditMask).stripLiterals(text);
    m_model->search(searchField(), text);
    // What starts no code is looked for in the names (the line asks for "the start of the
    // code or part of the name"): the list says so by switching to "Nome".
    if (byKey && nothingFound() && !m_nameField.isEmpty() && !m_edtPesquisa->text().trimmed().isEmpty()) {
        {
            const QSignalBlocker block(m_cbbCampo);
            m_cbbCampo->setCurrentIndex(1);
        }
        m_model->search(searchField(), m_edtPesquisa->text());
    }
    m_lblVazio->setVisible(nothingFound());
    selectRow(0);
}

void LookupWindow::start(const QString &key)
{
    m_model->search(searchField(), QString());
    m_lblVazio->setVisible(nothingFound());
    // The code in the edit is the row the list opens on, wherever it lies in the list.
    const int row = key.isEmpty() ? 0 : m_model->rowOfKey(key);
    selectRow(row < 0 ? 0 : row);
    m_edtPesquisa->setFocus();
}

void LookupWindow::selectRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 0);
    m_grdLista->setCurrentIndex(index);
    m_grdLista->scrollTo(index);
}

void LookupWindow::accept()
{
    const QModelIndex current = m_grdLista->currentIndex();
    if (!current.isValid())
        return; // nothing to choose: Enter on an empty list does nothing
    m_chosen = m_model->keyValue(current.row());
    QDialog::accept();
}

bool LookupWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_edtPesquisa) {
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // Moving through the list while the search line keeps the keyboard.
            QApplication::sendEvent(m_grdLista, event);
            return true;
        default: break;
        }
    } else if (watched == m_grdLista) {
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            // Typing on the list goes on in the search line.
            m_edtPesquisa->setFocus();
            QApplication::sendEvent(m_edtPesquisa, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
