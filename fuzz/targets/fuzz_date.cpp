// Dates as a person types them into a date box, and the week calendar: the first bytes
// pick a week and a year, the rest is typed into the box.
#include "validation/Consiste.h"
#include "FuzzTarget.h"
#include "controls/TDateEditPlus.h"

#include <QApplication>
#include <cstring>

namespace {
TDateEditPlus &dateEdit()
{
    static int argc = 1;
    static char name[] = "fuzz_date";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    static TDateEditPlus *edit = new TDateEditPlus;
    (void)app;
    return *edit;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TDateEditPlus &edit = dateEdit();
    qint16 week = 0;
    qint16 year = 2024;
    if (size >= 4) {
        std::memcpy(&week, data, 2);
        std::memcpy(&year, data + 2, 2);
        data += 4;
        size -= 4;
    }
    for (QChar which : {QLatin1Char('I'), QLatin1Char('F')}) {
        const QDate day = Consiste::DataSemana(week, which, year);
        if (day.isValid() && Consiste::NomeSemana(day).isEmpty())
            fuzz::violated("dia da semana sem nome");
    }

    edit.setText(fuzz::text(data, size));
    const QDate typed = edit.GetDate();
    (void)edit.Text();
    if (typed.isValid()) {
        const int number = Consiste::NumeroSemana(typed);
        if (number < 1 || number > Consiste::SemanasDoAno(typed.year()))
            fuzz::violated("semana fora do ano");
        if (Consiste::DataSemana(number, QLatin1Char('I'), typed.year()) > typed
            || Consiste::DataSemana(number, QLatin1Char('F'), typed.year()) < typed)
            fuzz::violated("a data não cai na própria semana");
    }
    return 0;
}
