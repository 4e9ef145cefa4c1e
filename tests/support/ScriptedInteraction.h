#pragma once

#include "app/Interaction.h"
#include "sets/ParameterSet.h"

#include <QStringList>
#include <functional>

// Stands in for every dialog while a test runs: records the messages shown and answers
// the questions from the script the test sets up. Installs itself on construction and
// restores the previous stand-in on destruction.
class ScriptedInteraction : public Interaction
{
public:
    ScriptedInteraction();
    ~ScriptedInteraction() override;

    QStringList errors; // texts of error boxes, in order
    QStringList infos;

    // Lookup list: return true and set key to pick; default cancels.
    std::function<bool(TDataSource *source, const QString &title, const QString &keyField, QString &key)> onLookup;
    // Multi-selection: the keys marked; default marks nothing.
    std::function<QStringList(TDataSource *source, const QString &keyField, const QString &title,
                              const QStringList &preselected)>
        onPickList;
    QStringList textAnswers;    // askText answers in order; none left = cancel
    QStringList saveAnswers;    // saveFileName answers in order; none left = cancel
    QList<bool> confirmAnswers; // confirm answers in order; none left = no
    QStringList questions;      // texts of the confirm questions asked, in order
    QString lastSuggested;      // the path the last saveFileName proposed
    // Saving a parameter set: answers in the question; default cancels.
    std::function<bool(ParameterSetQuestion &question)> onAskParameterSet;
    ParameterSetQuestion lastSetQuestion; // the last question as it was asked

    int lookupCalls = 0;
    int pickListCalls = 0;
    QString lastTitle; // title passed to the last lookup/pickList
    QString lastKeyField;

    void clear()
    {
        errors.clear();
        infos.clear();
        lookupCalls = pickListCalls = 0;
        lastTitle.clear();
    }

    void showError(const QString &text) override { errors << text; }
    void showInfo(const QString &text) override { infos << text; }
    bool lookup(QWidget *parent, TDataSource *source, const QString &title, const QString &keyField,
                QString &key) override;
    QStringList pickList(QWidget *parent, TDataSource *source, const QString &keyField, const QString &title,
                         const QStringList &preselected) override;
    bool askText(QWidget *parent, const QString &title, const QString &prompt, QString &value) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                         const QString &filter) override;
    bool askParameterSet(QWidget *, ParameterSetQuestion &question) override
    {
        lastSetQuestion = question;
        return onAskParameterSet && onAskParameterSet(question);
    }
    bool confirm(QWidget *, const QString &, const QString &text) override
    {
        questions << text;
        return !confirmAnswers.isEmpty() && confirmAnswers.takeFirst();
    }

private:
    Interaction *m_previous;
};
