#pragma once

#include <QObject>
#include <QString>
#include <QVector>

class CommandInterpreter;
class QTimer;

// Walks the passenger screens one after another: each step is one prompt command, followed by
// a pause long enough to look at the screen it brings (a result screen stays 3 s).
class DemoScenario : public QObject
{
    Q_OBJECT
public:
    struct Step
    {
        QString command;
        QString screen;   // the screen the window should reach (its name in the program's log)
        QString expect;   // what the window should show
    };

    explicit DemoScenario(CommandInterpreter& interpreter, QObject* parent = nullptr);

    static QVector<Step> steps();
    void setPauseMillis(int msec);
    int pauseMillis() const;
    bool isRunning() const;

public slots:
    void start();
    void stop();

signals:
    void finished();

private slots:
    void runNext();

private:
    CommandInterpreter& m_interpreter;
    QTimer* m_timer;
    int m_next = -1;   // -1: not running
};
