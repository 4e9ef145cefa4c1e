#pragma once

#include "report/ReportDefinition.h"
#include "suite_export.h"

#include <QObject>
#include <QString>
#include <functional>

class QUndoStack;

// The definition the designer edits and the history of its changes. Every change goes
// through change(): it records the definition before and after, so undo and redo give back
// each earlier state exactly, whatever the change was.
class SUITE_TEST_EXPORT DesignerDocument : public QObject
{
    Q_OBJECT
public:
    explicit DesignerDocument(const ReportDefinition &definition, QObject *parent = nullptr);
    ~DesignerDocument() override;

    const ReportDefinition &definition() const { return m_definition; }
    QUndoStack *undoStack() const { return m_stack; }

    // Applies edit to a copy of the definition and records it as one step named text (the
    // Undo menu shows it). A change that leaves the definition as it was records nothing.
    // Changes with the same non-empty mergeKey in a row (typing in one field, nudging with
    // the arrows) become one step.
    bool change(const QString &text, const std::function<void(ReportDefinition &)> &edit,
                const QString &mergeKey = QString());

    // Whether there are changes since it was opened or last saved.
    bool isModified() const;
    void markSaved();

signals:
    // After every change, undo and redo.
    void changed();

private:
    class Step;
    void set(const ReportDefinition &definition);

    ReportDefinition m_definition;
    QUndoStack *m_stack;
};
