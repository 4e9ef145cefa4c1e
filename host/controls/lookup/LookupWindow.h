#pragma once

#include "suite_export.h"

#include <QDialog>
#include <QVariant>

class LookupModel;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QTableView;
class TField;

// The window of the lookup list: a search line over the rows, searched by code or by
// name; Enter or a double click chooses the current row, Escape cancels.
class SUITE_TEST_EXPORT LookupWindow : public QDialog
{
    Q_OBJECT
public:
    LookupWindow(QWidget *parent, const QString &title, LookupModel *model, const QString &nameField, bool byKey);

    // Runs the first search (raises the database's error) and selects the row of key
    // when the first page has it.
    void start(const QString &key);
    QVariant chosenKey() const { return m_chosen; }

    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString searchField() const;
    bool nothingFound() const;
    void runSearch();
    // The parts of the window, built in this order by the constructor.
    QLayout *buildSearchRow(bool byKey);
    int buildList(); // returns the width the columns ask for
    QLayout *buildBottomRow();
    void connectSearch();
    void selectRow(int row);

    LookupModel *m_model;
    QString m_nameField;
    TField *m_keyFieldDef = nullptr;
    QComboBox *m_cbbCampo;
    QLineEdit *m_edtPesquisa;
    QTableView *m_grdLista;
    QLabel *m_lblVazio;
    QVariant m_chosen;
};
