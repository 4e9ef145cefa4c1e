#pragma once

#include "suite_export.h"

#include <QString>
#include <QStringList>

class QWidget;
class TDataSource;
struct ParameterSetQuestion;

// Everything that waits for a person goes through here: the Qt dialogs in the
// application, a scripted stand-in in the tests.
class SUITE_EXPORT Interaction
{
public:
    virtual ~Interaction() = default;

    // Error and information boxes.
    virtual void showError(const QString &text) = 0;
    virtual void showInfo(const QString &text) = 0;

    // The lookup list of a TBtnPesquisa. Returns true when the person chose a row;
    // the data set of source is then positioned on it (key holds its key value).
    virtual bool lookup(QWidget *parent, TDataSource *source, const QString &title, const QString &keyField,
                        QString &key) = 0;

    // The multi-selection dialog of Pesqlista. Returns the keys the person marked
    // (empty when cancelled or nothing marked).
    virtual QStringList pickList(QWidget *parent, TDataSource *source, const QString &keyField, const QString &title,
                                 const QStringList &preselected) = 0;

    // Asks for a line of text; false when cancelled.
    virtual bool askText(QWidget *parent, const QString &title, const QString &prompt, QString &value) = 0;

    // A yes/no question; true for yes.
    virtual bool confirm(QWidget *parent, const QString &title, const QString &text) = 0;
    // A yes/no question whose yes throws work away: the dialog's default button is "Não",
    // so Enter keeps the work. A stand-in that does not tell the two apart answers it as
    // confirm().
    virtual bool confirmDiscard(QWidget *parent, const QString &title, const QString &text);

    // Asks for a file to save to; empty when cancelled. filter uses Qt's filter syntax.
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                                 const QString &filter) = 0;

    // Asks for an existing file to read; empty when cancelled (and by default: a stand-in
    // that does not answer it).
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &filter);

    // Saving a report form's choices as a parameter set: the name, the period and whether
    // the screen applies it when it opens. False when cancelled (and by default: a
    // stand-in that does not answer it).
    virtual bool askParameterSet(QWidget *parent, ParameterSetQuestion &question);

    static Interaction *instance();
    // Installs a stand-in (tests); nullptr restores the Qt dialogs. Returns the previous one.
    static Interaction *install(Interaction *interaction);
};
