#pragma once

// Registers the decision tables the screens bind to as singletons of the QML module
// "com.orvo.rules 1.0": StatusRules, ProductDetails, ReportQr and Sounds, and the controls' root
// item "com.orvo.controls 1.0" AccessibleControl. The program, the QML
// tests and the gallery call it once, before they load any QML.
namespace QmlRules {

void registerTypes();

} // namespace QmlRules
