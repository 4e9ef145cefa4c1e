#include "form/ReportScreen.h"

#include <QWidget>

namespace {
bool g_applyDefaultSets = true;
} // namespace

ReportScreen::~ReportScreen() = default;

ReportScreen *ReportScreen::of(QWidget *window)
{
    return dynamic_cast<ReportScreen *>(window);
}

void ReportScreen::setApplyDefaultSets(bool on)
{
    g_applyDefaultSets = on;
}

bool ReportScreen::applyDefaultSets()
{
    return g_applyDefaultSets;
}
