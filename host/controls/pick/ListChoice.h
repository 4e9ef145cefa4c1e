#pragma once

#include "suite_export.h"

#include <QGroupBox>
#include <functional>

class QHBoxLayout;
class QLabel;
class TADOIBQuery;
class TButtonFlat;
class TDataSource;
class TMessages;
class TRadioButton;

// A "Todos"/"Lista" choice of a report screen: the pair, the button that opens the
// multi-selection dialog (also F9 on "Lista"), and below them how many the list holds, with
// the first few named in the button's hint. It keeps the list string: "T" while "Todos" is
// marked, empty when "Lista" is marked and nothing is picked, else the picked keys.
class SUITE_EXPORT ListChoice : public QGroupBox
{
    Q_OBJECT
public:
    struct Names
    {
        QString group;   // "rdgFornecedor"
        QString caption; // "Fornecedor"
        QString todos;   // "rbtTodosForn"
        QString lista;   // "rbtListaForn"
        QString button;  // "sbtFornecedor"
        QString count;   // "lblQtForn"
    };

    ListChoice(const Names &names, QWidget *parent);

    TRadioButton *todos() const { return m_todos; }
    TRadioButton *lista() const { return m_lista; }
    TButtonFlat *button() const { return m_button; }
    QLabel *count() const { return m_count; }
    // The row of the pair, where a screen adds its own controls after the button.
    QHBoxLayout *row() const { return m_row; }

    // What the dialog shows: the rows of source (query, when given, is opened again before
    // each pick), their key and the name that the hint shows beside a key. The messages
    // come from the screen's table: emptyKey when there is nothing to pick, titleKey the
    // dialog's title.
    void setRows(TDataSource *source, TADOIBQuery *query, const QString &keyField, const QString &nameField);
    void setMessages(TMessages *messages, const QString &emptyKey, const QString &titleKey);

    QString list() const { return m_list; }
    // The list as an opening sets it; the pair is left as it is.
    void setList(const QString &list) { m_list = list; }

    // Runs before the dialog opens; raising stops it (the rows come from something that may
    // not have been read yet).
    void setBeforePick(std::function<void()> check) { m_beforePick = std::move(check); }
    // Opens the dialog over the rows (refused with its message when there are none).
    void pick();
    // Shows how many the list holds and names the first few in the button's hint.
    void showCount();

    // The multi-selection dialog over a data source, for a list no group shows: reopens
    // query (when given), refuses an empty list with emptyText, leaves the keys in list.
    static void pickInto(TDataSource *source, TADOIBQuery *query, const QString &keyField, const QString &emptyText,
                         const QString &title, QString &list);

private:
    void bindEvents();

    TRadioButton *m_todos;
    TRadioButton *m_lista;
    TButtonFlat *m_button;
    QLabel *m_count;
    QHBoxLayout *m_row;
    TDataSource *m_source = nullptr;
    TADOIBQuery *m_query = nullptr;
    QString m_keyField;
    QString m_nameField;
    TMessages *m_messages = nullptr;
    QString m_emptyKey;
    QString m_titleKey;
    QString m_list = QStringLiteral("T");
    std::function<void()> m_beforePick;
};
