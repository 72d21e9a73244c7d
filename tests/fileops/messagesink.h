// Stands in for a task as the receiver of undo warnings: it has the `message` signal that
// the undo looks up by name, and keeps every text it was sent.
#pragma once

#include <QObject>
#include <QStringList>

class MessageSink : public QObject
{
    Q_OBJECT

public:
    MessageSink()
    {
        connect(this, &MessageSink::message, this, [this](const QString &m) { m_Texts << m; });
    }

    QStringList m_Texts;

signals:
    void message(QString text);
};
