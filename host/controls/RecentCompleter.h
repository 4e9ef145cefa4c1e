#pragma once

#include "suite_export.h"

#include <QObject>
#include <QPointer>
#include <QRect>

class QCompleter;
class QLineEdit;
class QStandardItemModel;
class TMaskEdit;

// Offers in a code edit the codes this user used last (RecentValues), most recent first,
// each with its name: Down shows them all, typing while they are shown narrows them to the
// codes that start with the text. Choosing one writes it into the edit as if typed (its Change fires, and
// its exit validates it when the focus moves on).
class SUITE_EXPORT RecentCompleter : public QObject
{
    Q_OBJECT
public:
    // kind: the list the codes belong to ("Filial", "Produto"); nameBox: where the form
    // shows the code's name, remembered with it.
    RecentCompleter(TMaskEdit *edit, const QString &kind, QLineEdit *nameBox = nullptr);

    QString kind() const { return m_kind; }
    QCompleter *completer() const { return m_completer; }

    // Remembers the code in the edit (with the name beside it) as the most recent.
    void rememberCurrent();
    // Shows all the offers (Down).
    void showOffers();
    // Narrows the offers shown to the codes that start with the text typed so far.
    void narrowOffers();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reload();
    QRect popupRect() const;
    void choose(const QString &code);

    TMaskEdit *m_edit;
    QString m_kind;
    QPointer<QLineEdit> m_nameBox;
    QStandardItemModel *m_model;
    QCompleter *m_completer;
};
