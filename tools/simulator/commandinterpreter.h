#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class BoardService;
class DeviceService;
class InspectorService;
class ValidationService;

// Turns one typed command (from the prompt or the control topic) into actions of the
// simulated services and returns the text to show. Errors start with "error: ".
class CommandInterpreter : public QObject
{
    Q_OBJECT
public:
    CommandInterpreter(ValidationService& validation, BoardService& board, DeviceService& device,
                       InspectorService& inspector, QObject* parent = nullptr);

    QString execute(const QString& line);
    static QString helpText();

signals:
    void demoRequested();
    void quitRequested();
    void republishRequested();

private:
    QString tap(const QStringList& args);
    QString scan(const QStringList& args);
    QString maintenance(const QStringList& args);
    QString show() const;

    ValidationService& m_validation;
    BoardService& m_board;
    DeviceService& m_device;
    InspectorService& m_inspector;
};
