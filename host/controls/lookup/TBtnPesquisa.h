#pragma once

#include "suite_export.h"

#include <QPointer>
#include <QToolButton>
#include <functional>

class TDataSource;

// The lookup button: opens a lookup list over DataSource for the edit in Associate.
// Never takes the focus; F9 or Alt+Down in the Associate edit does what a click does.
class SUITE_EXPORT TBtnPesquisa : public QToolButton
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    QPointer<QWidget> Associate;
    QString Title;
    TDataSource *DataSource = nullptr;
    QString EmptyError;     // shown by the button when the data set has no rows
    bool PesqChave = false; // the list searches by the key column first
    QString KeyField;       // the column written into Associate (first visible one when empty)

    // Raised before the list is shown; a button without it opens its data set itself.
    std::function<void(QObject *sender, bool &flag)> OnBeforePesq;
    // Raised after the person chose a row, with the data set positioned on it.
    std::function<void(QObject *sender)> OnAfterPesq;

    // Runs the lookup (what a click does). True when a row was chosen.
    bool Execute();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Listens to the keys of the Associate edit (set after construction).
    void watchAssociate();
    QPointer<QWidget> m_watched;
};
