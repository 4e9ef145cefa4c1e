#include "report/designer/DesignerDocument.h"

#include <QHash>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

// Two definitions are the same when they write the same file.
bool same(const ReportDefinition &a, const ReportDefinition &b)
{
    return a.toJson() == b.toJson();
}

int idOf(const QString &mergeKey)
{
    if (mergeKey.isEmpty())
        return -1;
    static QHash<QString, int> ids;
    return ids.contains(mergeKey) ? ids.value(mergeKey) : ids.insert(mergeKey, int(ids.size()) + 1).value();
}

} // namespace

class DesignerDocument::Step : public QUndoCommand
{
public:
    Step(DesignerDocument &document, const QString &text, ReportDefinition before, ReportDefinition after, int id)
        : QUndoCommand(text), m_document(document), m_before(std::move(before)), m_after(std::move(after)), m_id(id)
    { }
    void undo() override { m_document.set(m_before); }
    void redo() override { m_document.set(m_after); }
    int id() const override { return m_id; }
    bool mergeWith(const QUndoCommand *other) override
    {
        if (other->id() != m_id)
            return false;
        m_after = static_cast<const Step *>(other)->m_after;
        return true;
    }

private:
    DesignerDocument &m_document;
    ReportDefinition m_before, m_after;
    int m_id;
};

DesignerDocument::DesignerDocument(const ReportDefinition &definition, QObject *parent)
    : QObject(parent), m_definition(definition), m_stack(new QUndoStack(this))
{
    m_stack->setClean();
}

DesignerDocument::~DesignerDocument() = default;

bool DesignerDocument::change(const QString &text, const std::function<void(ReportDefinition &)> &edit,
                              const QString &mergeKey)
{
    ReportDefinition after = m_definition;
    edit(after);
    if (same(after, m_definition))
        return false;
    m_stack->push(new Step(*this, text, m_definition, std::move(after), idOf(mergeKey)));
    return true;
}

void DesignerDocument::set(const ReportDefinition &definition)
{
    m_definition = definition;
    emit changed();
}

bool DesignerDocument::isModified() const
{
    return !m_stack->isClean();
}

void DesignerDocument::markSaved()
{
    m_stack->setClean();
}
