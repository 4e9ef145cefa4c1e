#include "app/TApplication.h"

TApplication &TApplication::instance()
{
    static TApplication app;
    return app;
}

void TApplication::setMainForm(QWidget *mainForm, QMdiArea *mdiArea)
{
    m_mainForm = mainForm;
    m_mdiArea = mdiArea;
}

TApplication &Application()
{
    return TApplication::instance();
}
