// The settings file (gui.conf) as the program reads it back at start and after an outside edit:
// every key with its declared type, the log print with its secrets hidden, and the "/config"
// answer built from it. Input: the file's bytes.
#include "config.h"
#include "fuzzsupport.h"
#include "guimanager.h"
#include "owntopics.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString fileName = fuzz::scratchDir() + QStringLiteral("/settings.conf");
    fuzz::writeFile(fileName, fuzz::bytes(data, size));
    {
        Config config(fileName, GUIManager::Defaults);
        config.setHiddenKeys(manager::OwnTopics::secretKeys());
        config.print();
        const QStringList keys = config.keys();
        for (const QString& key : keys)
            config.get(key);
        QJsonDocument(config.toJson()).toJson(QJsonDocument::Compact);
        // What the program writes back must read back the same.
        config.save();
    }
    fuzz::settle();
    return 0;
}
