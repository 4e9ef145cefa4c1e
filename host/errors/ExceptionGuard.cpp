#include "errors/ExceptionGuard.h"
#include "errors/EAbort.h"
#include "app/Interaction.h"

bool guarded(const std::function<void()> &call)
{
    try {
        call();
        return true;
    } catch (const EAbort &) {
    } catch (const ESuiteError &e) {
        Interaction::instance()->showError(e.message());
    } catch (const std::exception &e) {
        Interaction::instance()->showError(QStringLiteral("Erro inesperado: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        Interaction::instance()->showError(QStringLiteral("Erro inesperado."));
    }
    return false;
}
