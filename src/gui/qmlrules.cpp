#include "qmlrules.h"

#include "accessiblecontrol.h"

#include "productdetails.h"
#include "reportqr.h"
#include "sounds.h"
#include "statusrules.h"

#include <qqml.h>

namespace {

template<typename T>
void registerSingleton(const char* name)
{
    qmlRegisterSingletonType<T>("com.orvo.rules", 1, 0, name, [](QQmlEngine*, QJSEngine*) -> QObject* { return new T; });
}

} // namespace

void QmlRules::registerTypes()
{
    // The program and a test may both get here in one process.
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    registerSingleton<StatusRules>("StatusRules");
    registerSingleton<ProductDetails>("ProductDetails");
    registerSingleton<ReportQr>("ReportQr");
    registerSingleton<Sounds>("Sounds");
    AccessibleControl::registerType();
}
