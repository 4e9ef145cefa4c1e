#pragma once

#include "controls/TControls.h"
#include "suite_export.h"

#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class TADOIBQuery;
class TBtnPesquisa;
class TDataSource;
class TMaskEdit;
class TMessages;

// The branch of a report screen: a panel with the code (masked, with its lookup), the
// branch's name and region beside it, the region's code kept hidden for the report, and the
// checks of a code against the branch table (Vd_CdFilial). The code's exit validates it with
// an empty code allowed; a screen validates it again before output with the code required.
//
// The messages come from the screen's table: FILI_DEVE (no code), FILI_NAO_CAD (no such
// branch), FILI_RESC (branch with its contract ended), FiliNCentCmp (purchasing module: the
// branch is not bought for by the processing branch).
class SUITE_EXPORT BranchField : public TPanel
{
    Q_OBJECT
public:
    // The object names of the parts: the names a screen's parameter sets and display-less
    // runs already know.
    struct Names
    {
        QString panel = QStringLiteral("PanFilial");
        QString label = QStringLiteral("lblFilial");
        QString code = QStringLiteral("medCdFilial");
        QString lookup = QStringLiteral("sbtFilial");
        QString name = QStringLiteral("edtNmFilial");
        QString region = QStringLiteral("edtNmRegiao");
        QString regionCode = QStringLiteral("edtCdRegiao");
        QString rule = QStringLiteral("Bevel1");
        QString query = QStringLiteral("qryFilial");
        QString source = QStringLiteral("__dtsFilial");
    };

    BranchField(TMessages *messages, QWidget *parent, const Names &names);
    BranchField(TMessages *messages, QWidget *parent) : BranchField(messages, parent, Names()) { }

    TMaskEdit *code() const { return m_code; }
    TBtnPesquisa *lookup() const { return m_lookup; }
    QLabel *label() const { return m_label; }
    QLineEdit *nameBox() const { return m_name; }
    QLineEdit *regionBox() const { return m_region; }
    QLineEdit *regionCodeBox() const { return m_regionCode; }
    TADOIBQuery *query() const { return m_query; }

    QString branch() const;
    QString regionCode() const;

    // Whether the purchasing module (34) refuses a branch whose purchasing centre is not the
    // processing branch (on for screens of purchases).
    void setCheckPurchasingCentre(bool on) { m_checkCentre = on; }

    // Checks the code against the branch table and shows its name and region; an empty code
    // is an error only when required. A refusal shows its message, puts the focus back on
    // the code (when the person can change it) and raises EAbort.
    void Vd_CdFilial(bool boObrigatorio);

    // The session's branch with its name and region; code and lookup disabled when the
    // user is tied to the branch.
    void fromSession();

private:
    void build(const Names &names);
    void bindEvents();
    void showRow();

    TMessages *m_messages;
    QLabel *m_label;
    TMaskEdit *m_code;
    TBtnPesquisa *m_lookup;
    QLineEdit *m_name;
    QLineEdit *m_region;
    QLineEdit *m_regionCode;
    QFrame *m_rule;
    TADOIBQuery *m_query;
    TDataSource *m_source;
    bool m_checkCentre = false;
};
