#include "displayhost.h"

#include "qmlrules.h"
#include "symbolimageprovider.h"

#include <QQmlContext>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>

DisplayHost::DisplayHost()
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    QmlRules::registerTypes();
    m_engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    QQmlContext* context = m_engine.rootContext();
    context->setContextProperty(QStringLiteral("manager"), &m_manager);
    m_services.install(context, m_manager);
    context->setContextProperty(QStringLiteral("transaction"), &m_transaction);
}

DisplayHost::~DisplayHost()
{
    // The window goes first, while the manager its bindings read still exists.
    const QList<QObject*> roots = m_engine.rootObjects();
    for (QObject* root : roots)
        delete root;
}

bool DisplayHost::load()
{
    m_engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    const QList<QObject*> roots = m_engine.rootObjects();
    m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    return m_window != nullptr;
}

void DisplayHost::setTransaction(const QJsonObject& transaction)
{
    m_transaction.setTransaction(transaction);
}

QQuickItem* DisplayHost::screen(const QString& name) const
{
    return m_window ? findItem(m_window->contentItem(), name) : nullptr;
}

QQuickItem* findItem(QQuickItem* root, const QString& objectName)
{
    if (!root)
        return nullptr;
    if (root->objectName() == objectName)
        return root;
    const QList<QQuickItem*> children = root->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

QQuickItem* findVisibleItem(QQuickItem* root, const QString& objectName)
{
    if (!root || !root->isVisible())
        return nullptr;
    if (root->objectName() == objectName)
        return root;
    const QList<QQuickItem*> children = root->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = findVisibleItem(child, objectName))
            return found;
    }
    return nullptr;
}
