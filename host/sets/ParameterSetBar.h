#pragma once

#include "sets/ParameterSetStore.h"
#include "suite_export.h"

#include <QFrame>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QToolButton;
class ReportScreen;

// The parameter sets of a report form, on a row under the report list: the list of the
// screen's sets (choosing one applies it), "Salvar conjunto", and a menu to rename or
// delete the chosen set and to have it applied when the screen opens. Shared sets are
// listed after the user's and cannot be renamed or deleted; files that are not valid sets
// are listed greyed, with the reason as their hint.
class SUITE_EXPORT ParameterSetBar : public QFrame
{
    Q_OBJECT
public:
    // parent: the screen's window, where the row sits.
    ParameterSetBar(ReportScreen *screen, QWidget *parent);
    ~ParameterSetBar() override;

    QLabel *lblConjunto;
    QComboBox *cbbConjuntos;
    QToolButton *sbtSalvarConjunto;
    QToolButton *sbtConjuntos; // menu: Renomear..., Excluir..., Aplicar ao abrir a tela
    QAction *actRenomear;
    QAction *actExcluir;
    QAction *actPadrao;

    // The screen's sets (made when first asked: the screen's code is known by then).
    ParameterSetStore &store();

    // Reads the sets again and shows current as the chosen one ("" for none).
    void refresh(const QString &current = QString());
    // The set last applied or saved ("" for none).
    QString currentName() const;

    // Applies the set of that name; one message says what was left out.
    void apply(const QString &name);
    // Applies the user's default set of the screen, if there is one.
    void applyDefault();
    // Asks for a name and a period and saves the form's choices under it.
    void saveCurrent();
    void renameCurrent();
    void removeCurrent();
    // Has the chosen set applied when the screen opens, or no longer.
    void toggleDefault();

private:
    void updateActions();
    bool currentIsShared() const;

    ReportScreen *m_screen;
    std::unique_ptr<ParameterSetStore> m_store;
};
