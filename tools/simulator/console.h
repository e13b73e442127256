#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The terminal side of the simulator: reads command lines from standard input, shows the
// prompt when a person is typing, and turns Ctrl-C and termination requests into one signal
// delivered on the event loop (so that the simulator stops cleanly).
class Console : public QObject
{
    Q_OBJECT
public:
    explicit Console(bool showPrompt, QObject* parent = nullptr);
    ~Console() override;

    void print(const QString& text);
    void prompt();

signals:
    void lineEntered(const QString& line);
    void endOfInput();
    void interrupted();

private slots:
    void onInput();
    void onSignal();

private:
    QSocketNotifier* m_input = nullptr;
    QSocketNotifier* m_signals = nullptr;
    QByteArray m_buffer;
    bool m_showPrompt;
};
