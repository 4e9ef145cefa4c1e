#pragma once

#include "sets/ParameterSet.h"
#include "suite_export.h"

#include <QList>
#include <QString>
#include <QStringList>

// Where a screen's parameter sets live. The screen's database connection is read-only,
// so the sets are files: the user's own in their configuration folder
// (…/Suite/conjuntos/SCREEN/NAME.json), written whole under a temporary name that becomes
// the file only when complete; and the shared ones that an administrator places in the
// folder the session names ([Relatorios] ConjuntosCompartilhados, in SCREEN/ under it),
// which the screens read and never write. A user's set takes precedence over a shared set
// of the same name. The user's default set of the screen is kept beside their sets.
//
// Failures raise ESuiteError with what failed and why.
class SUITE_EXPORT ParameterSetStore
{
public:
    // A file in one of the folders that is not a valid set.
    struct Damaged
    {
        QString file;
        QString why;
    };

    // userFolder and sharedFolder hold one sub-folder per screen; empty: the defaults
    // (the user's configuration folder; the session's shared folder, or none).
    explicit ParameterSetStore(const QString &screen, const QString &userFolder = QString(),
                               const QString &sharedFolder = QString());

    static QString defaultUserFolder();

    QString screen() const { return m_screen; }
    QString userDir() const;
    QString sharedDir() const;

    // Reads both folders: the valid sets, the user's first and then by name; the files
    // that are not valid sets go to damaged() (read again on every call).
    QList<ParameterSet> sets();
    const QList<Damaged> &damaged() const { return m_damaged; }

    // The set of that name (the user's before a shared one). nullopt when there is none;
    // raises ESuiteError when its file cannot be read or is not a valid set.
    std::optional<ParameterSet> find(const QString &name);

    // Writes a user set (replacing the user's set of that name). A name is a person's
    // name for it: blanks trimmed, not empty.
    void save(ParameterSet set);
    // Renames a user set; refused for a shared set or when the new name is taken.
    void rename(const QString &from, const QString &to);
    // Deletes a user set; refused for a shared set.
    void remove(const QString &name);

    // The set applied when the screen opens ("" when none).
    QString defaultName() const;
    void setDefaultName(const QString &name);

    // The file name of a set: its name, with the characters a file name cannot hold as %XX.
    static QString fileNameFor(const QString &name);

private:
    QString userFile(const QString &name) const;
    void readFolder(const QString &dir, bool shared, QList<ParameterSet> &sets);
    // The user set of that name, or the refusal: a shared one is read-only, none is none.
    ParameterSet ownSet(const QString &name);
    void write(const QString &file, const QByteArray &data) const;
    void removeLeftovers() const;

    QString m_screen;
    QString m_userFolder;
    QString m_sharedFolder;
    QList<Damaged> m_damaged;
};
