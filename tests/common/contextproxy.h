#pragma once

#include <QByteArray>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QtTest>

// An object the program hands to its window, reached as the window reaches it: by the name
// of its context property ("validatorManager", "network", "eventLogManager"). Fails the test
// (and returns null) when the name holds no object of that type.
template<typename T>
T* contextProxy(QQmlApplicationEngine& engine, const char* name)
{
    T* object = qobject_cast<T*>(engine.rootContext()->contextProperty(QString::fromLatin1(name)).value<QObject*>());
    if (!object)
        QTest::qFail(QByteArray("no context object ").append(name).constData(), __FILE__, __LINE__);
    return object;
}
