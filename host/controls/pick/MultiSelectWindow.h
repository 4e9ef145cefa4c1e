#pragma once

#include "suite_export.h"

#include <QDialog>

class MultiSelectModel;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QTreeView;

// The window of the multi-selection dialog: search box, the rows with their marks,
// "Marcar todos", "Desmarcar todos", "Confirmar" and "Cancelar". A click on the mark
// column or Space on the selected rows marks and unmarks. "Confirmar" is enabled only
// while some row is marked: confirming an empty choice would silently keep the old one.
class SUITE_TEST_EXPORT MultiSelectWindow : public QDialog
{
    Q_OBJECT
public:
    MultiSelectWindow(QWidget *parent, const QString &title, MultiSelectModel *model);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVector<int> selectedRows() const;
    void updateCount();
    // The parts of the window, built in this order by the constructor.
    int buildList(); // returns the width the columns ask for
    QLayout *buildMarkButtons();
    QLayout *buildCloseButtons();
    void connectList();

    MultiSelectModel *m_model;
    QLineEdit *m_edtPesquisa;
    QTreeView *m_grdLista;
    QLabel *m_lblMarcados;
    QPushButton *m_btnConfirmar;
    QPushButton *m_btnMarcarTodos;
};
