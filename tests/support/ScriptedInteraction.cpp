#include "ScriptedInteraction.h"

ScriptedInteraction::ScriptedInteraction() : m_previous(Interaction::install(this)) { }

ScriptedInteraction::~ScriptedInteraction()
{
    Interaction::install(m_previous);
}

bool ScriptedInteraction::lookup(QWidget *, TDataSource *source, const QString &title, const QString &keyField,
                                 QString &key)
{
    ++lookupCalls;
    lastTitle = title;
    lastKeyField = keyField;
    return onLookup ? onLookup(source, title, keyField, key) : false;
}

QStringList ScriptedInteraction::pickList(QWidget *, TDataSource *source, const QString &keyField, const QString &title,
                                          const QStringList &preselected)
{
    ++pickListCalls;
    lastTitle = title;
    lastKeyField = keyField;
    return onPickList ? onPickList(source, keyField, title, preselected) : QStringList();
}

bool ScriptedInteraction::askText(QWidget *, const QString &, const QString &, QString &value)
{
    if (textAnswers.isEmpty())
        return false;
    value = textAnswers.takeFirst();
    return true;
}

QString ScriptedInteraction::saveFileName(QWidget *, const QString &, const QString &suggested, const QString &)
{
    lastSuggested = suggested;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}
